// The runtime core's link to the display device, which lives in the graphics layer above it:
// start-up and shut-down start and end the device, and the main window asks it for the screen
// size and hands it display changes. The graphics layer installs its functions at start-up;
// until then (and in programs without graphics) the defaults below answer: no device, a
// 640 x 480 screen at 16 bits, and every step succeeds.
#pragma once

#include <cstdint>

namespace runtime {

struct DisplayLink {
  int (*start_device)() = nullptr;  // StartDisplayDevice
  int (*end_device)() = nullptr;    // EndDisplayDevice
  void (*query_screen_size)(int* width, int* height) = nullptr;
  int (*query_color_depth)() = nullptr;
  uint32_t (*map_rgb)(int r, int g, int b) = nullptr;  // a colour as a display pixel value
  int (*set_vsync_wait)(int flag) = nullptr;
  int (*change_screen_mode)(int width, int height, int depth, int force, int refresh) = nullptr;
  int (*rebuild_device)() = nullptr;  // after a display change: rebuild and reload graphs
  void (*window_moved)() = nullptr;   // re-apply the draw area for the new position
  bool (*device_exists)() = nullptr;
  bool (*display_mode_set)() = nullptr;  // a full-screen display mode is in force
};

void SetDisplayLink(const DisplayLink& link);

// The calls, falling back to the defaults where nothing is installed.
int StartDisplayDeviceLinked();
int EndDisplayDeviceLinked();
void QueryScreenSizeLinked(int* width, int* height);
int QueryColorDepthLinked();
uint32_t MapRgbLinked(int r, int g, int b);
int SetVSyncWaitLinked(int flag);
int ChangeScreenModeLinked(int width, int height, int depth, int force, int refresh);
int RebuildDisplayLinked();
void WindowMovedLinked();
bool DisplayDeviceExistsLinked();
bool DisplayModeSetLinked();

}  // namespace runtime
