#include "runtime/graphics/pixel_layout.h"

namespace graphics {
namespace {

void MaskShape(uint32_t mask, uint8_t* shift, uint8_t* width) {
  *shift = 0;
  *width = 0;
  if (mask == 0) return;
  while (!((mask >> *shift) & 1u)) ++*shift;
  while (*shift + *width < 32 && ((mask >> (*shift + *width)) & 1u)) ++*width;
}

}  // namespace

PixelLayout LayoutFromMasks(int bits, uint32_t red, uint32_t green, uint32_t blue, uint32_t alpha) {
  PixelLayout layout;
  layout.bits_per_pixel = static_cast<uint8_t>(bits);
  layout.bytes_per_pixel = static_cast<uint8_t>(bits / 8);
  layout.red_mask = red;
  layout.green_mask = green;
  layout.blue_mask = blue;
  layout.alpha_mask = alpha;
  MaskShape(red, &layout.red_shift, &layout.red_width);
  MaskShape(green, &layout.green_shift, &layout.green_width);
  MaskShape(blue, &layout.blue_shift, &layout.blue_width);
  MaskShape(alpha, &layout.alpha_shift, &layout.alpha_width);
  return layout;
}

PixelLayout Standard24Layout() { return LayoutFromMasks(24, 0xFF0000, 0xFF00, 0xFF, 0); }

PixelLayout Alpha32Layout() { return LayoutFromMasks(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u); }

PixelLayout Plane8Layout() {
  PixelLayout layout;
  layout.bits_per_pixel = 8;
  layout.bytes_per_pixel = 1;
  layout.red_width = layout.green_width = layout.blue_width = layout.alpha_width = 8;
  layout.red_mask = layout.green_mask = layout.blue_mask = layout.alpha_mask = 0xFF;
  return layout;
}

uint32_t MapRgbToLayout(const PixelLayout& layout, int r, int g, int b) {
  auto place = [](int value, int width, int shift) -> uint32_t {
    if (width == 0) return 0;
    return (static_cast<uint32_t>(value & 0xFF) >> (8 - (width > 8 ? 8 : width))) << shift;
  };
  return place(r, layout.red_width, layout.red_shift) |
         place(g, layout.green_width, layout.green_shift) |
         place(b, layout.blue_width, layout.blue_shift);
}

uint32_t ReadPixel(const uint8_t* at, int bytes) {
  uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) value |= static_cast<uint32_t>(at[i]) << (8 * i);
  return value;
}

void WritePixel(uint8_t* at, int bytes, uint32_t value) {
  for (int i = 0; i < bytes; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t ChannelValue(uint32_t pixel, uint32_t mask, int shift, int from_width, int to_width) {
  const uint32_t value = (pixel & mask) >> shift;
  if (from_width > to_width) return value >> (from_width - to_width);
  return value << (to_width - from_width);
}

}  // namespace graphics
