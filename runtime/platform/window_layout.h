// Where the screen's picture sits in the main window: the one place that knows both the window's
// size and the picture's. The picture (the 320 × 240 back buffer) is shown at the largest
// whole-number factor that fits the window, centred, on black, its pixels kept square and crisp.
// Also holds how the window may be sized: its starting factor, whether the user may resize it,
// and whether it covers the desktop. The main window and the presenter use it; the application
// sets it before start-up and toggles full screen. Main thread.
#pragma once

namespace platform {

struct PicturePlacement {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  int factor = 1;  // 0 when the window is smaller than the picture (it is then shrunk to fit)
};

// The largest whole factor at which a `picture_w` × `picture_h` picture fits a `window_w` ×
// `window_h` window, centred. A window smaller than the picture shows it shrunk to fit, centred,
// with its shape kept.
PicturePlacement PlacePicture(int picture_w, int picture_h, int window_w, int window_h);

struct WindowSizing {
  int start_factor = 1;    // the window starts at this many times the picture size
  bool resizable = false;  // the user may resize it (size changes are then kept)
};

// The sizing in force; the runtime's default is the fixed window of the picture's size.
WindowSizing& GetWindowSizing();
void ResetWindowSizing();

// Set when the window's contents must be shown again even if the picture did not change
// (exposed, resized, restored); the presenter takes and clears it.
void MarkWindowDirty();
bool TakeWindowDirty();

}  // namespace platform
