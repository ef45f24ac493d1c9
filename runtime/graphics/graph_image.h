// A decoded picture: its pixel layout, size and rows (top-down). Owned by whoever asked for it;
// the loaders copy it into graphs and let it go.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "runtime/graphics/pixel_layout.h"

namespace graphics {

// The largest picture any decoder accepts, in either direction.
inline constexpr int kMaxPictureSide = 16384;

struct GraphImage {
  PixelLayout layout;
  int width = 0;
  int height = 0;
  int pitch = 0;  // bytes from one row to the next
  std::vector<uint8_t> pixels;

  const uint8_t* Row(int y) const { return pixels.data() + static_cast<size_t>(y) * pitch; }
  uint8_t* Row(int y) { return pixels.data() + static_cast<size_t>(y) * pitch; }
};

// Reverses every row left to right.
void MirrorImage(GraphImage* image);

// The picture's pixel at (x, y) as 0xAARRGGBB (alpha 255 when the layout has none).
uint32_t ImageArgb(const GraphImage& image, int x, int y);

}  // namespace graphics
