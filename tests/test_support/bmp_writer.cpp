#include "test_support/bmp_writer.h"

namespace test_support {

std::vector<uint8_t> MakeBmp24(int width, int height, bool top_down,
                               const std::function<uint32_t(int x, int y)>& colour) {
  const int row = (width * 3 + 3) & ~3;
  std::vector<uint8_t> b(54 + static_cast<size_t>(row) * height, 0);
  auto u32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  b[0] = 'B';
  b[1] = 'M';
  u32(2, static_cast<uint32_t>(b.size()));
  u32(10, 54);
  u32(14, 40);
  u32(18, static_cast<uint32_t>(width));
  u32(22, static_cast<uint32_t>(top_down ? -height : height));
  b[26] = 1;
  b[28] = 24;
  for (int stored = 0; stored < height; ++stored) {
    const int y = top_down ? stored : height - 1 - stored;
    for (int x = 0; x < width; ++x) {
      const uint32_t c = colour(x, y);
      uint8_t* p = &b[54 + static_cast<size_t>(stored) * row + x * 3];
      p[0] = static_cast<uint8_t>(c);
      p[1] = static_cast<uint8_t>(c >> 8);
      p[2] = static_cast<uint8_t>(c >> 16);
    }
  }
  return b;
}

}  // namespace test_support
