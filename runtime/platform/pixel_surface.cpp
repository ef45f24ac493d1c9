#include "runtime/platform/pixel_surface.h"

#include <algorithm>
#include <cstring>

namespace platform {
namespace {

// Clips a copy of `source_rect` from `source` to (x, y) on `target` to both surfaces.
bool ClipCopy(const PixelSurface& target, const PixelSurface& source, int* x, int* y,
              SurfaceRect* r) {
  r->left = std::max(r->left, 0);
  r->top = std::max(r->top, 0);
  r->right = std::min(r->right, source.width());
  r->bottom = std::min(r->bottom, source.height());
  if (*x < 0) {
    r->left -= *x;
    *x = 0;
  }
  if (*y < 0) {
    r->top -= *y;
    *y = 0;
  }
  r->right = std::min(r->right, r->left + target.width() - *x);
  r->bottom = std::min(r->bottom, r->top + target.height() - *y);
  return r->right > r->left && r->bottom > r->top;
}

}  // namespace

PixelSurface::PixelSurface(int width, int height, int bytes_per_pixel, bool in_video_memory)
    : width_(width),
      height_(height),
      bytes_(bytes_per_pixel),
      pitch_(width * bytes_per_pixel),
      in_video_memory_(in_video_memory),
      pixels_(static_cast<size_t>(pitch_) * height, 0) {}

uint32_t PixelSurface::Pixel(int x, int y) const {
  const uint8_t* at = Row(y) + x * bytes_;
  return bytes_ == 4 ? static_cast<uint32_t>(at[0] | (at[1] << 8) | (at[2] << 16)) |
                           (static_cast<uint32_t>(at[3]) << 24)
                     : static_cast<uint32_t>(at[0] | (at[1] << 8));
}

void PixelSurface::SetPixel(int x, int y, uint32_t value) {
  uint8_t* at = Row(y) + x * bytes_;
  for (int i = 0; i < bytes_; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

void PixelSurface::Fill(const SurfaceRect* rect, uint32_t value) {
  SurfaceRect r = rect ? *rect : SurfaceRect{0, 0, width_, height_};
  r.left = std::max(r.left, 0);
  r.top = std::max(r.top, 0);
  r.right = std::min(r.right, width_);
  r.bottom = std::min(r.bottom, height_);
  if (r.right <= r.left || r.bottom <= r.top) return;
  // One row is filled pixel by pixel, the others are copies of it.
  for (int x = r.left; x < r.right; ++x) SetPixel(x, r.top, value);
  const size_t row_bytes = static_cast<size_t>(r.right - r.left) * bytes_;
  for (int y = r.top + 1; y < r.bottom; ++y)
    std::memcpy(Row(y) + r.left * bytes_, Row(r.top) + r.left * bytes_, row_bytes);
}

bool PixelSurface::FastCopy(int x, int y, const PixelSurface& source, SurfaceRect r, bool keyed) {
  if (source.bytes_ != bytes_) return false;
  if (!ClipCopy(*this, source, &x, &y, &r)) return true;
  const size_t row_bytes = static_cast<size_t>(r.width()) * bytes_;
  for (int row = 0; row < r.height(); ++row) {
    const uint8_t* from = source.Row(r.top + row) + r.left * bytes_;
    uint8_t* to = Row(y + row) + x * bytes_;
    if (!keyed) {
      std::memmove(to, from, row_bytes);
      continue;
    }
    for (int i = 0; i < r.width(); ++i) {
      if (source.Pixel(r.left + i, r.top + row) != source.color_key_)
        std::memcpy(to + i * bytes_, from + i * bytes_, static_cast<size_t>(bytes_));
    }
  }
  return true;
}

bool PixelSurface::DeviceContextCopy(int x, int y, const PixelSurface& source, SurfaceRect r) {
  if (source.bytes_ != bytes_) return false;
  if (!ClipCopy(*this, source, &x, &y, &r)) return true;
  for (int row = 0; row < r.height(); ++row)
    for (int i = 0; i < r.width(); ++i)
      SetPixel(x + i, y + row, source.Pixel(r.left + i, r.top + row));
  return true;
}

void PixelSurface::Restore() {
  lost_ = false;
  std::fill(pixels_.begin(), pixels_.end(), uint8_t{0});
}

}  // namespace platform
