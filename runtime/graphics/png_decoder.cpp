#include "runtime/graphics/png_decoder.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <vector>

namespace graphics {
namespace {

struct MemorySource {
  const uint8_t* data;
  size_t size;
  size_t at;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
  auto* source = static_cast<MemorySource*>(png_get_io_ptr(png));
  if (count > source->size - source->at) png_error(png, "Read Error");
  std::memcpy(out, source->data + source->at, count);
  source->at += count;
}

// A damaged picture is refused quietly: the error jumps back to the decoder, nothing is printed.
[[noreturn]] void QuietError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void IgnoreWarning(png_structp, png_const_charp) {}

}  // namespace

bool DecodePng(const uint8_t* data, size_t size, GraphImage* image) {
  if (size < 8 || png_sig_cmp(data, 0, 8) != 0) return false;
  png_structp png =
      png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, QuietError, IgnoreWarning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  // Kept outside the jump's reach: the rows and the result are only built after set-up.
  std::vector<png_bytep> rows;
  GraphImage result;
  MemorySource source{data, size, 0};
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, &source, ReadFromMemory);
  png_set_user_limits(png, kMaxPictureSide, kMaxPictureSide);
  png_read_info(png, info);
  const int colour_type = png_get_color_type(png, info);
  const int bit_depth = png_get_bit_depth(png, info);
  png_set_strip_16(png);
  png_set_packing(png);
  png_set_packswap(png);
  if (colour_type == PNG_COLOR_TYPE_PALETTE) png_set_expand(png);
  if (colour_type == PNG_COLOR_TYPE_GRAY && bit_depth <= 8) png_set_expand(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_expand(png);
  png_set_bgr(png);
  // Grey with alpha fits none of the layouts: it is widened to colour with alpha.
  if ((colour_type & PNG_COLOR_MASK_ALPHA) && !(colour_type & PNG_COLOR_MASK_COLOR))
    png_set_gray_to_rgb(png);
  if (colour_type == PNG_COLOR_TYPE_GRAY && png_get_valid(png, info, PNG_INFO_tRNS))
    png_set_gray_to_rgb(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);

  const int width = static_cast<int>(png_get_image_width(png, info));
  const int height = static_cast<int>(png_get_image_height(png, info));
  const int channels = png_get_channels(png, info);
  const size_t row_bytes = png_get_rowbytes(png, info);
  result.width = width;
  result.height = height;
  result.pitch = static_cast<int>(row_bytes);
  result.layout = channels == 1   ? Plane8Layout()
                  : channels == 4 ? Alpha32Layout()
                                  : Standard24Layout();
  if (channels == 2) png_error(png, "unexpected channel count");
  result.pixels.resize(row_bytes * static_cast<size_t>(height));
  rows.resize(static_cast<size_t>(height));
  for (int y = 0; y < height; ++y) rows[static_cast<size_t>(y)] = result.Row(y);
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  *image = std::move(result);
  return true;
}

}  // namespace graphics
