// Shows a surface's pixels in the main window's client area through an SDL renderer (texture
// upload and present), placed by the window layout (the largest whole factor that fits,
// centred on black), waiting for the display's vertical sync when asked. A picture the same as
// the one last shown is not presented again unless the window needs it (exposed, resized).
// Also reports the display's pixel format. Main thread; graphics is its only caller.
#pragma once

#include <cstdint>

#include "runtime/platform/pixel_surface.h"

namespace platform {

struct DisplayFormat {
  int bits = 32;
  uint32_t red_mask = 0xFF0000;
  uint32_t green_mask = 0xFF00;
  uint32_t blue_mask = 0xFF;
  uint32_t alpha_mask = 0;
};

class SdlPresenter {
 public:
  // The desktop's pixel format (bytes per pixel × 8 bits).
  static DisplayFormat DesktopFormat();
  // Prepares presenting into the main window; false when no renderer can be made.
  static bool Open(int width, int height, int bytes_per_pixel);
  static void Close();
  static bool IsOpen();
  // Shows `surface` (the window's contents) in the client area. With `vsync` the present waits
  // for the display's refresh.
  static bool Present(const PixelSurface& surface, bool vsync);
  // Presents actually made (measurements and tests).
  static uint64_t PresentedCount();
};

}  // namespace platform
