#include "runtime/graphics/bgra_decoder.h"

#include <cstring>

#include "runtime/core/byte_reader.h"

namespace graphics {

bool DecodeBgra(const uint8_t* data, size_t size, GraphImage* image) {
  runtime::ByteReader in(data, size);
  uint8_t magic[4];
  in.Read(magic, 4);
  const uint32_t code = in.U32();
  const uint32_t width = in.U32();
  const uint32_t height = in.U32();
  if (!in.ok() || std::memcmp(magic, "BGRA", 4) != 0) return false;
  if (code != 0x08080808u && code != 0x10101010u) return false;
  if (width == 0 || height == 0 || width > kMaxPictureSide || height > kMaxPictureSide)
    return false;
  const size_t channel_bytes = code == 0x08080808u ? 1 : 2;
  const size_t pixels = static_cast<size_t>(width) * height;
  if (pixels * 4 * channel_bytes > in.remaining()) return false;  // a short file
  image->layout = Alpha32Layout();
  image->width = static_cast<int>(width);
  image->height = static_cast<int>(height);
  image->pitch = static_cast<int>(width * 4);
  image->pixels.resize(pixels * 4);
  const uint8_t* source = data + in.offset();
  if (channel_bytes == 1) {
    std::memcpy(image->pixels.data(), source, pixels * 4);
  } else {
    for (size_t i = 0; i < pixels * 4; ++i) image->pixels[i] = source[2 * i + 1];  // high byte
  }
  return true;
}

}  // namespace graphics
