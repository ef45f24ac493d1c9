// Colour formats: a pixel layout says how many bits and bytes a pixel has and where each of the
// red, green, blue and alpha channels sits (width, shift, mask). Used by decoded pictures, graphs
// and the display.
#pragma once

#include <cstdint>

namespace graphics {

struct PixelLayout {
  uint8_t bits_per_pixel = 0;
  uint8_t bytes_per_pixel = 0;
  uint8_t red_width = 0, green_width = 0, blue_width = 0, alpha_width = 0;
  uint8_t red_shift = 0, green_shift = 0, blue_shift = 0, alpha_shift = 0;
  uint32_t red_mask = 0, green_mask = 0, blue_mask = 0, alpha_mask = 0;
};

// Bytes blue, green, red.
PixelLayout Standard24Layout();
// Bytes blue, green, red, alpha.
PixelLayout Alpha32Layout();
// One byte that serves as every channel (grey pictures and alpha planes).
PixelLayout Plane8Layout();
// A layout from a pixel format's bit count and masks.
PixelLayout LayoutFromMasks(int bits, uint32_t red, uint32_t green, uint32_t blue, uint32_t alpha);

// A colour as a pixel value of `layout`: each channel's top `width` bits at its shift.
uint32_t MapRgbToLayout(const PixelLayout& layout, int r, int g, int b);

// Reads and writes a pixel of 1 to 4 bytes (little-endian).
uint32_t ReadPixel(const uint8_t* at, int bytes);
void WritePixel(uint8_t* at, int bytes, uint32_t value);

// One channel of a pixel, moved from the source layout's width to `to_width` bits.
uint32_t ChannelValue(uint32_t pixel, uint32_t mask, int shift, int from_width, int to_width);

}  // namespace graphics
