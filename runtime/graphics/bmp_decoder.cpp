#include "runtime/graphics/bmp_decoder.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "runtime/core/byte_reader.h"

namespace graphics {
namespace {

constexpr uint32_t kRgb = 0;
constexpr uint32_t kRle8 = 1;
constexpr uint32_t kRle4 = 2;
constexpr uint32_t kBitFields = 3;
constexpr uint32_t kAlphaBitFields = 6;

struct Header {
  uint32_t data_offset = 0;
  uint32_t header_size = 0;
  int64_t width = 0;
  int64_t height = 0;
  int bits = 0;
  uint32_t compression = kRgb;
  uint32_t colours_used = 0;
  uint32_t masks[4] = {};
  bool os2 = false;
  bool core = false;  // the 12-byte header with 3-byte palette entries
};

struct Colour {
  uint8_t b = 0, g = 0, r = 0;
};

bool ReadHeader(runtime::ByteReader& in, Header* h) {
  uint8_t magic[2];
  in.Read(magic, 2);
  if (!in.ok() || magic[0] != 'B' || magic[1] != 'M') return false;
  in.Seek(10);
  h->data_offset = in.U32();
  h->header_size = in.U32();
  if (h->header_size == 12) {
    h->core = true;
    h->width = static_cast<int16_t>(in.U16());
    h->height = static_cast<int16_t>(in.U16());
    in.U16();  // planes
    h->bits = in.U16();
    return in.ok();
  }
  if (h->header_size < 16) return false;
  h->os2 = h->header_size != 40 && h->header_size != 52 && h->header_size != 56 &&
           h->header_size != 108 && h->header_size != 124;
  h->width = static_cast<int32_t>(in.U32());
  h->height = static_cast<int32_t>(in.U32());
  in.U16();  // planes
  h->bits = in.U16();
  if (h->header_size >= 20) h->compression = in.U32();
  if (h->header_size >= 36) {
    in.Seek(14 + 32);
    h->colours_used = in.U32();
  }
  if (h->os2 && h->compression >= kBitFields) return false;  // OS/2 Huffman and RLE24
  if (h->compression == kBitFields || h->compression == kAlphaBitFields) {
    // Version 3 keeps the masks after its 40 bytes; later headers hold them inside.
    in.Seek(14 + 40);
    for (int i = 0; i < 3; ++i) h->masks[i] = in.U32();
    if (h->compression == kAlphaBitFields || h->header_size >= 56) h->masks[3] = in.U32();
  } else if (h->bits == 16) {
    h->masks[0] = 0x7C00;
    h->masks[1] = 0x03E0;
    h->masks[2] = 0x001F;
  } else if (h->bits == 32) {
    h->masks[0] = 0xFF0000;
    h->masks[1] = 0x00FF00;
    h->masks[2] = 0x0000FF;
  }
  return in.ok();
}

bool Acceptable(const Header& h) {
  if (h.width <= 0 || h.height == 0 || h.width > kMaxPictureSide || h.height > kMaxPictureSide ||
      h.height < -kMaxPictureSide)
    return false;
  switch (h.compression) {
    case kRgb:
      return h.bits == 1 || h.bits == 2 || h.bits == 4 || h.bits == 8 || h.bits == 16 ||
             h.bits == 24 || h.bits == 32;
    case kRle8:
      return h.bits == 8;
    case kRle4:
      return h.bits == 4;
    case kBitFields:
    case kAlphaBitFields:
      return h.bits == 16 || h.bits == 32;
    default:
      return false;  // JPEG, PNG and unknown compressions
  }
}

// The colour table; entries the file does not hold stay black.
std::vector<Colour> ReadPalette(const uint8_t* data, size_t size, const Header& h) {
  if (h.bits > 8) return {};
  const size_t full = size_t{1} << h.bits;
  size_t count = h.colours_used && h.colours_used < full ? h.colours_used : full;
  std::vector<Colour> palette(full);
  size_t at = 14 + h.header_size;
  if (!h.core && h.header_size == 40 &&
      (h.compression == kBitFields || h.compression == kAlphaBitFields))
    at += h.compression == kAlphaBitFields ? 16 : 12;
  const size_t entry = h.core ? 3 : 4;
  for (size_t i = 0; i < count && at + entry <= size; ++i, at += entry)
    palette[i] = {data[at], data[at + 1], data[at + 2]};
  return palette;
}

uint8_t Scale(uint32_t pixel, uint32_t mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (!((mask >> shift) & 1u)) ++shift;
  int width = 0;
  while (shift + width < 32 && ((mask >> (shift + width)) & 1u)) ++width;
  const uint32_t value = (pixel & mask) >> shift;
  if (width >= 8) return static_cast<uint8_t>(value >> (width - 8));
  const uint32_t top = (1u << width) - 1;
  return static_cast<uint8_t>((value * 255 + top / 2) / top);
}

// Palette indices of an RLE picture, by rows as stored (row 0 is the bottom for bottom-up files).
// Pixels the data skips keep index 0.
bool DecodeRle(const uint8_t* data, size_t size, const Header& h, int width, int height,
               std::vector<uint8_t>* indices) {
  indices->assign(static_cast<size_t>(width) * height, 0);
  size_t at = h.data_offset;
  int x = 0;
  int y = 0;
  const bool four = h.compression == kRle4;
  auto put = [&](uint8_t index) {
    if (x < width && y < height) (*indices)[static_cast<size_t>(y) * width + x] = index;
    ++x;
  };
  while (y < height) {
    if (at + 2 > size) return true;  // the data ends early: what was decoded stays
    const uint8_t count = data[at];
    const uint8_t value = data[at + 1];
    at += 2;
    if (count > 0) {
      for (int i = 0; i < count; ++i) put(four ? ((i & 1) ? (value & 0x0F) : (value >> 4)) : value);
    } else if (value == 0) {
      x = 0;
      ++y;
    } else if (value == 1) {
      return true;
    } else if (value == 2) {
      if (at + 2 > size) return true;
      x += data[at];
      y += data[at + 1];
      at += 2;
    } else {
      const size_t bytes = four ? (value + 1u) / 2u : value;
      if (at + bytes > size) return true;
      for (int i = 0; i < value; ++i)
        put(four ? ((i & 1) ? (data[at + i / 2] & 0x0F) : (data[at + i / 2] >> 4)) : data[at + i]);
      at += (bytes + 1) & ~size_t{1};  // runs are padded to a 16-bit boundary
    }
  }
  return true;
}

uint32_t SampleAt(const uint8_t* row, int x, int bits) {
  switch (bits) {
    case 1:
      return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    case 2:
      return (row[x >> 2] >> (6 - 2 * (x & 3))) & 3u;
    case 4:
      return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15u;
    case 8:
      return row[x];
    case 16:
      return static_cast<uint32_t>(row[2 * x] | (row[2 * x + 1] << 8));
    case 24:
      return static_cast<uint32_t>(row[3 * x] | (row[3 * x + 1] << 8) | (row[3 * x + 2] << 16));
    default:
      return static_cast<uint32_t>(row[4 * x]) | (static_cast<uint32_t>(row[4 * x + 1]) << 8) |
             (static_cast<uint32_t>(row[4 * x + 2]) << 16) |
             (static_cast<uint32_t>(row[4 * x + 3]) << 24);
  }
}

Colour ColourOf(uint32_t sample, const Header& h, const std::vector<Colour>& palette) {
  if (h.bits <= 8) return palette[sample < palette.size() ? sample : 0];  // past the table: entry 0
  if (h.bits == 24)
    return {static_cast<uint8_t>(sample), static_cast<uint8_t>(sample >> 8),
            static_cast<uint8_t>(sample >> 16)};
  return {Scale(sample, h.masks[2]), Scale(sample, h.masks[1]), Scale(sample, h.masks[0])};
}

}  // namespace

bool DecodeBmp(const uint8_t* data, size_t size, GraphImage* image) {
  runtime::ByteReader in(data, size);
  Header h;
  if (!ReadHeader(in, &h) || !Acceptable(h)) return false;
  const int width = static_cast<int>(h.width);
  const int height = static_cast<int>(h.height < 0 ? -h.height : h.height);
  const bool top_down = h.height < 0;
  const std::vector<Colour> palette = ReadPalette(data, size, h);
  const bool rle = h.compression == kRle8 || h.compression == kRle4;

  const uint64_t row_bytes = (static_cast<uint64_t>(h.bits) * width + 31) / 32 * 4;
  std::vector<uint8_t> rle_indices;
  if (rle) {
    if (h.data_offset >= size) return false;
    DecodeRle(data, size, h, width, height, &rle_indices);
  } else if (h.data_offset > size || row_bytes * height > size - h.data_offset) {
    return false;  // the pixel rows are not all there
  }

  image->layout = Standard24Layout();
  image->width = width;
  image->height = height;
  image->pitch = (width * 3 + 3) & ~3;
  image->pixels.assign(static_cast<size_t>(image->pitch) * height, 0);
  for (int stored = 0; stored < height; ++stored) {
    const int y = top_down ? stored : height - 1 - stored;
    uint8_t* out = image->Row(y);
    const uint8_t* row = rle ? nullptr : data + h.data_offset + row_bytes * stored;
    for (int x = 0; x < width; ++x) {
      const uint32_t sample =
          rle ? rle_indices[static_cast<size_t>(stored) * width + x] : SampleAt(row, x, h.bits);
      const Colour c = ColourOf(sample, h, palette);
      out[3 * x] = c.b;
      out[3 * x + 1] = c.g;
      out[3 * x + 2] = c.r;
    }
  }
  return true;
}

}  // namespace graphics
