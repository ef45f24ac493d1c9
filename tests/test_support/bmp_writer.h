// Writes small 24-bit BMP files for tests: pixel (x, y) takes colour(x, y) as 0xRRGGBB.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace test_support {

std::vector<uint8_t> MakeBmp24(int width, int height, bool top_down,
                               const std::function<uint32_t(int x, int y)>& colour);

}  // namespace test_support
