// The draw context: where drawing goes (the back buffer -2, the front buffer -4, or a graph),
// the clip rectangle, the blend state and the transparent colour; selecting and clearing the
// draw target; and the hold-while-inactive step every drawing operation runs first.
// Main thread only.
#pragma once

#include <cstdint>

#include "runtime/platform/pixel_surface.h"

namespace graphics {

struct DrawRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

struct DrawContext {
  int draw_target = 0;
  int target_in_video_memory = 0;
  DrawRect target_origin;
  DrawRect draw_area;
  int target_width = 0;
  int target_height = 0;
  int blend_mode = 0;
  int blend_parameter = 0;
  int colour_modifier = -1;
  int update_hooks = 0;
  int creation_colour_flag = 0;
  int held = 0;
  int draw_area_empty = 0;
  uint32_t transparent_colour = 0x000000;  // 0xRRGGBB
};

DrawContext& GetDrawContext();

// While the window is inactive, pumps messages until it is active again (or the process ends),
// then repairs the screen and graph surfaces. 0, or -1 when the process is ending.
int HoldWhileInactive();
int SelectDrawTarget(int target);
int SetClipRect(int left, int top, int right, int bottom);
int SetBlendState(int mode, int parameter);
int ClearDrawTarget();
int CurrentDrawTarget();

// The surface drawing goes to now (null without one).
platform::PixelSurface* DrawTargetSurface();

}  // namespace graphics
