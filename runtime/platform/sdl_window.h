// The platform's window service on SDL2 video: the desktop mode, one top-level window (created
// hidden, its client area placed in screen coordinates), its title, and its events translated
// into window messages. The runtime's main-window module is its only caller; graphics presents
// into the window through native(). Main thread.
#pragma once

#include <SDL.h>

#include <string>
#include <vector>

#include "runtime/platform/window_messages.h"

namespace platform {

// The exit status when the display went away under a running window (EX_UNAVAILABLE): the
// process ends there, saying so on standard error.
inline constexpr int kExitDisplayLost = 69;

struct DesktopMode {
  int width = 0;
  int height = 0;
  int color_depth = 0;   // bits per pixel of the desktop's pixels (bytes per pixel × 8)
  int usable_width = 0;  // the part windows may use (without panels and docks)
  int usable_height = 0;
};

struct ScreenRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

class SdlWindow {
 public:
  // Starts SDL's video (the X11 window class is set to `class_name` where SDL allows it).
  // False when no display can be opened.
  static bool InitVideo(const char* class_name);
  // With SDL's video started: true when it reaches a display someone can see (the offscreen and
  // dummy drivers count only when asked for by name in SDL_VIDEODRIVER).
  static bool StartedVideoShowsAnything();
  static void QuitVideo();
  static bool VideoStarted();
  // True while the platform delivers typed text (an input method may then take keys).
  static bool TextInputActive();
  // Turns text input (and with it the input method) off for the window.
  static void DisableInputMethod();
  static DesktopMode Desktop();

  // Creates the window hidden with its client area at (x, y), w × h, title in UTF-8; the user
  // may resize it when `resizable`.
  static bool Create(const std::string& title_utf8, int x, int y, int w, int h,
                     bool resizable = false);
  // Covers the desktop at its own resolution (a window, not a display mode), or stops doing so.
  static void SetDesktopFullscreen(bool on);
  static bool IsDesktopFullscreen();
  // Makes the window cover the display by itself when full screen was asked for and the window
  // manager has not granted it (there may be none). Called by TranslateEvents.
  static void CoverDisplayIfStillWindowed();
  static bool Exists();
  static void Destroy();
  static void SetTitle(const std::string& title_utf8);
  static void Show();
  // Places the client area at (x, y) with size w × h.
  static void Place(int x, int y, int w, int h);
  // The smallest client area a resizable window may be given.
  static void SetMinimumSize(int w, int h);
  static ScreenRect ClientRect();
  // The decoration around the client area (left, top, right, bottom widths); 0 where unknown.
  static ScreenRect Borders();
  static void Raise();
  static void ShowCursor(bool visible);
  // Translates every waiting platform event into window messages, appended to `out`.
  static void TranslateEvents(std::vector<WindowMessage>* out);
  // The files dropped on the window since the last call (UTF-8 paths), oldest first.
  static std::vector<std::string> TakeDroppedFiles();
  static SDL_Window* native();
};

}  // namespace platform
