#include "tools/assets/app_icon.h"

#include <algorithm>
#include <cmath>

#include "tools/assets/screen_pictures.h"

namespace assets {
namespace {

constexpr int kSubsamples = 4;  // per axis: 16 samples a pixel

struct Colour {
  double r, g, b, a;
};

// Inside a rounded square covering the unit square with corners of radius `radius`.
bool InRoundedSquare(double x, double y, double radius) {
  const double cx = std::clamp(x, radius, 1 - radius);
  const double cy = std::clamp(y, radius, 1 - radius);
  return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius && x >= 0 && x <= 1 &&
         y >= 0 && y <= 1;
}

// The eighth note: an oval head, a stem and a flag.
bool InNote(double x, double y) {
  const double hx = (x - 0.40) / 0.135;
  const double hy = (y - 0.62) / 0.10;
  const double tilt = 0.35;
  const double rx = hx * std::cos(tilt) + hy * std::sin(tilt);
  const double ry = -hx * std::sin(tilt) + hy * std::cos(tilt);
  if (rx * rx + ry * ry <= 1) return true;
  if (x >= 0.48 && x <= 0.545 && y >= 0.16 && y <= 0.62) return true;
  // The flag: a band curving down and right from the stem's top.
  const double fx = x - 0.545;
  const double fy = y - 0.16;
  if (fx >= 0 && fx <= 0.20) {
    const double centre = 0.06 + fx * fx * 2.2;
    return fy >= centre - 0.06 && fy <= centre + 0.02;
  }
  return false;
}

// Three stepped bars along the bottom, like a level meter of a sound chip.
int InBar(double x, double y) {
  const double heights[3] = {0.10, 0.17, 0.24};
  for (int i = 0; i < 3; ++i) {
    const double left = 0.60 + i * 0.10;
    if (x >= left && x <= left + 0.07 && y <= 0.86 && y >= 0.86 - heights[i]) return i + 1;
  }
  return 0;
}

Colour Sample(double x, double y) {
  if (!InRoundedSquare(x, y, 0.18)) return {0, 0, 0, 0};
  if (InNote(x, y)) return {0.98, 0.95, 0.80, 1};
  if (int bar = InBar(x, y)) {
    const Colour bars[3] = {{0.36, 0.85, 0.72, 1}, {0.98, 0.80, 0.30, 1}, {0.96, 0.42, 0.52, 1}};
    return bars[bar - 1];
  }
  // Indigo, lighter towards the top.
  const double t = std::clamp(y, 0.0, 1.0);
  return {0.30 - 0.18 * t, 0.22 - 0.12 * t, 0.62 - 0.30 * t, 1};
}

}  // namespace

std::vector<uint32_t> DrawAppIcon(int size) {
  std::vector<uint32_t> pixels(static_cast<size_t>(size) * size);
  for (int py = 0; py < size; ++py) {
    for (int px = 0; px < size; ++px) {
      Colour sum{0, 0, 0, 0};
      for (int sy = 0; sy < kSubsamples; ++sy)
        for (int sx = 0; sx < kSubsamples; ++sx) {
          const Colour c = Sample((px + (sx + 0.5) / kSubsamples) / size,
                                  (py + (sy + 0.5) / kSubsamples) / size);
          // Premultiplied, so that the edges blend towards transparent, not towards black.
          sum = {sum.r + c.r * c.a, sum.g + c.g * c.a, sum.b + c.b * c.a, sum.a + c.a};
        }
      const double n = kSubsamples * kSubsamples;
      const double alpha = sum.a / n;
      auto channel = [&](double premultiplied) {
        return alpha > 0 ? static_cast<uint32_t>(std::lround(255 * premultiplied / sum.a)) : 0u;
      };
      pixels[static_cast<size_t>(py) * size + px] =
          (static_cast<uint32_t>(std::lround(255 * alpha)) << 24) | (channel(sum.r) << 16) |
          (channel(sum.g) << 8) | channel(sum.b);
    }
  }
  return pixels;
}

std::vector<IconFile> MakeAppIcons() {
  std::vector<IconFile> files;
  for (int size : kIconSizes) {
    const std::string folder = std::to_string(size) + "x" + std::to_string(size);
    files.push_back({"hicolor/" + folder + "/apps/orvalinde-jukebox.png",
                     EncodePng(DrawAppIcon(size), size, size, true)});
  }
  return files;
}

}  // namespace assets
