#include "runtime/platform/window_layout.h"

#include <algorithm>

namespace platform {
namespace {
WindowSizing g_sizing;
bool g_dirty = true;
}  // namespace

PicturePlacement PlacePicture(int picture_w, int picture_h, int window_w, int window_h) {
  PicturePlacement placement;
  if (picture_w <= 0 || picture_h <= 0 || window_w <= 0 || window_h <= 0) return placement;
  placement.factor = std::min(window_w / picture_w, window_h / picture_h);
  if (placement.factor >= 1) {
    placement.width = picture_w * placement.factor;
    placement.height = picture_h * placement.factor;
  } else {
    // Smaller than the picture: shrunk to fit, its shape kept.
    const bool width_limits = static_cast<long long>(window_w) * picture_h <=
                              static_cast<long long>(window_h) * picture_w;
    placement.width = width_limits ? window_w : window_h * picture_w / picture_h;
    placement.height = width_limits ? window_w * picture_h / picture_w : window_h;
  }
  placement.x = (window_w - placement.width) / 2;
  placement.y = (window_h - placement.height) / 2;
  return placement;
}

WindowSizing& GetWindowSizing() { return g_sizing; }

void ResetWindowSizing() {
  g_sizing = WindowSizing{};
  g_dirty = true;
}

void MarkWindowDirty() { g_dirty = true; }

bool TakeWindowDirty() {
  const bool dirty = g_dirty;
  g_dirty = false;
  return dirty;
}

}  // namespace platform
