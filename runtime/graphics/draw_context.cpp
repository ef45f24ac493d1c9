#include "runtime/graphics/draw_context.h"

#include <algorithm>

#include "runtime/core/main_window.h"
#include "runtime/graphics/display_device.h"
#include "runtime/graphics/graph_table.h"
#include "runtime/graphics/software_blitter.h"

namespace graphics {
namespace {

DrawContext g_context;

}  // namespace

DrawContext& GetDrawContext() { return g_context; }

int HoldWhileInactive() {
  if (runtime::GetMainWindow() && !runtime::IsWindowActive()) {
    if (runtime::HoldWhileWindowInactive() != 0) return -1;
    RepairAllGraphSurfaces();
  }
  return 0;
}

platform::PixelSurface* DrawTargetSurface() {
  if (g_context.draw_target == kBackBuffer) return BackSurface();
  if (g_context.draw_target == kFrontBuffer) return FrontSurface();
  const GraphEntry* entry = LookupGraphRecord(g_context.draw_target);
  if (!entry || entry->bmp_data_count == 0) return nullptr;
  const BmpData* data = LookupBmpData(entry->bmp_data[0]);
  return data ? data->surface.get() : nullptr;
}

int SelectDrawTarget(int target) {
  HoldWhileInactive();
  if (!IsGraphTableStarted()) return -1;
  if (g_context.held) return 0;
  const int previous = g_context.draw_target;
  if (target != kBackBuffer && target != kFrontBuffer && !LookupGraphRecord(target)) {
    g_context.draw_target = previous;  // an unusable target leaves the previous one selected
    return 0;
  }
  g_context.draw_target = target;
  // The front surface is the client area itself on this platform, so every origin is (0, 0).
  g_context.target_origin = {};
  const int old_width = g_context.target_width;
  const int old_height = g_context.target_height;
  QueryGraphSize(target, &g_context.target_width, &g_context.target_height);
  platform::PixelSurface* surface = DrawTargetSurface();
  g_context.target_in_video_memory = surface && surface->in_video_memory() ? 1 : 0;
  if (g_context.target_width != old_width || g_context.target_height != old_height) {
    SetClipRect(0, 0, g_context.target_width, g_context.target_height);
  } else {
    SetClipRect(g_context.draw_area.left, g_context.draw_area.top, g_context.draw_area.right,
                g_context.draw_area.bottom);
  }
  return 0;
}

int SetClipRect(int left, int top, int right, int bottom) {
  HoldWhileInactive();
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  const int width = g_context.target_width;
  const int height = g_context.target_height;
  left = std::clamp(left, 0, width);
  right = std::clamp(right, 0, width);
  top = std::clamp(top, 0, height);
  bottom = std::clamp(bottom, 0, height);
  g_context.draw_area = {left, top, right, bottom};
  g_context.draw_area_empty = (left == right || top == bottom) ? 1 : 0;
  return 0;
}

int SetBlendState(int mode, int parameter) {
  HoldWhileInactive();
  if (mode == g_context.blend_mode && parameter == g_context.blend_parameter) return 0;
  if (mode == 6) return 0;
  g_context.blend_mode = mode;
  g_context.blend_parameter = std::clamp(parameter, 0, 255);
  return 0;
}

int ClearDrawTarget() {
  HoldWhileInactive();
  if (g_context.held) return 0;
  if (platform::PixelSurface* surface = DrawTargetSurface()) {
    const platform::SurfaceRect whole{0, 0, g_context.target_width, g_context.target_height};
    surface->Fill(&whole, 0);
  }
  return 0;
}

int CurrentDrawTarget() { return g_context.draw_target; }

}  // namespace graphics
