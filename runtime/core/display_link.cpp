#include "runtime/core/display_link.h"

namespace runtime {
namespace {
DisplayLink g_link;
}

void SetDisplayLink(const DisplayLink& link) { g_link = link; }

int StartDisplayDeviceLinked() { return g_link.start_device ? g_link.start_device() : 0; }

int EndDisplayDeviceLinked() { return g_link.end_device ? g_link.end_device() : 0; }

void QueryScreenSizeLinked(int* width, int* height) {
  if (g_link.query_screen_size) {
    g_link.query_screen_size(width, height);
    return;
  }
  if (width) *width = 640;
  if (height) *height = 480;
}

int QueryColorDepthLinked() { return g_link.query_color_depth ? g_link.query_color_depth() : 16; }

uint32_t MapRgbLinked(int r, int g, int b) {
  if (g_link.map_rgb) return g_link.map_rgb(r, g, b);
  return (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) |
         static_cast<uint32_t>(b);
}

int SetVSyncWaitLinked(int flag) { return g_link.set_vsync_wait ? g_link.set_vsync_wait(flag) : 0; }

int ChangeScreenModeLinked(int width, int height, int depth, int force, int refresh) {
  return g_link.change_screen_mode ? g_link.change_screen_mode(width, height, depth, force, refresh)
                                   : 0;
}

int RebuildDisplayLinked() { return g_link.rebuild_device ? g_link.rebuild_device() : 0; }

void WindowMovedLinked() {
  if (g_link.window_moved) g_link.window_moved();
}

bool DisplayDeviceExistsLinked() { return g_link.device_exists && g_link.device_exists(); }

bool DisplayModeSetLinked() { return g_link.display_mode_set && g_link.display_mode_set(); }

}  // namespace runtime
