#include "runtime/graphics/graph_image.h"

#include <algorithm>

namespace graphics {

void MirrorImage(GraphImage* image) {
  const int bytes = image->layout.bytes_per_pixel;
  for (int y = 0; y < image->height; ++y) {
    uint8_t* row = image->Row(y);
    for (int left = 0, right = image->width - 1; left < right; ++left, --right)
      std::swap_ranges(row + left * bytes, row + (left + 1) * bytes, row + right * bytes);
  }
}

uint32_t ImageArgb(const GraphImage& image, int x, int y) {
  const PixelLayout& l = image.layout;
  const uint32_t pixel = ReadPixel(image.Row(y) + x * l.bytes_per_pixel, l.bytes_per_pixel);
  const uint32_t r = ChannelValue(pixel, l.red_mask, l.red_shift, l.red_width, 8);
  const uint32_t g = ChannelValue(pixel, l.green_mask, l.green_shift, l.green_width, 8);
  const uint32_t b = ChannelValue(pixel, l.blue_mask, l.blue_shift, l.blue_width, 8);
  const bool plane = l.bytes_per_pixel == 1;  // a grey picture: no alpha of its own
  const uint32_t a = (l.alpha_width && !plane)
                         ? ChannelValue(pixel, l.alpha_mask, l.alpha_shift, l.alpha_width, 8)
                         : 255;
  return (a << 24) | (r << 16) | (g << 8) | b;
}

}  // namespace graphics
