// The main window and its message pump: the one top-level window (class "RtLib") on which the
// screen is presented, its state, its window procedure, and PumpMessages, which the application
// calls once per frame: it dispatches every waiting message, holds while the window is inactive,
// and returns -1 once the process must end. Main thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/platform/window_messages.h"

namespace runtime {

inline constexpr const char* kWindowClassName = "RtLib";

struct WindowRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

struct WindowState {
  bool window = false;  // the main window exists
  WindowRect client;    // the client area in screen coordinates
  int window_mode = 0;  // 1 window mode, 0 full-screen mode
  int changing_mode = 0;
  int display_changed = 0;
  int quit = 0;
  int close_requested = 0;
  int window_destroyed = 0;
  int active = 0;
  int surfaces_lost = 0;
  int cursor_visible = 0;
  int style_applied = 0;
  int pump_busy = 0;
  int desktop_width = 0;
  int desktop_height = 0;
  int desktop_color_depth = 0;
  int usable_width = 0;  // the part of the desktop windows may use
  int usable_height = 0;
  char title[256] = {};  // CP932
};

WindowState& GetWindowState();

// 0 to go on, -1 once the window is gone and the process must end.
int PumpMessages();
// 1 window mode, 0 full screen. Before the window exists it only stores the mode.
int ChangeWindowMode(int mode);
// Stores the title (CP932, at most 255 bytes) and shows it on the window if there is one.
int SetWindowTitle(const char* title);

bool GetMainWindow();
int IsWindowActive();
int IsWindowMode();
int IsCloseRequested();
int GetClientScreenRect(WindowRect* rect);
int GetDesktopMode(int* width, int* height, int* color_depth);

// The window steps of start-up: registers the class and creates the window for the current mode
// (hidden). 0, or -1 after logging the failure.
int CreateMainWindow();
// Applies the current mode's style and placement (makes a window-mode window visible once the
// style has been applied with the visible bit). Returns 0.
int ApplyWindowStyle();
// The size correction at the end of start-up: the client area becomes exactly the screen size;
// in window mode the style is then applied once, which shows the window.
void FinishWindowSetUp();
// Beyond the window modes: the window covers the desktop at its own resolution (1) or goes back
// to its place and size (0); the picture is scaled by the presenter. Returns 0.
int SetDesktopFullscreen(int on);
int IsDesktopFullscreen();
// Brings the main window to the front (asked for by the desktop). Returns 0.
int RaiseMainWindow();
// Whether the frame loop goes on while the window is inactive. By default it holds, as the game
// runtime always did (nothing moves until the window is active again); a desktop program that
// must answer media keys and go on to the next song while another window has the focus turns
// the hold off.
void SetRunWhileInactive(bool run);
// The files (UTF-8 paths) dropped on the window since the last call, oldest first.
std::vector<std::string> TakeDroppedFiles();

// Destroys the main window (the window procedure sees it destroyed).
void DestroyMainWindow();
// Unregisters the class: SDL's video is ended.
void UnregisterWindowClass();

// Queues a message for the main window, or for the thread (the quit message).
void PostWindowMessage(platform::MessageKind kind, int64_t wparam = 0, int64_t lparam = 0);
// The window procedure.
void MainWindowProc(const platform::WindowMessage& message);

// While the window is inactive, holds by pumping messages. 0, or -1 when the process must end.
int HoldWhileWindowInactive();

// The window procedure's character buffer (1025 bytes), for tests.
int CharacterBufferCount();

// Back to the state at process start, keeping nothing (tests).
void ResetMainWindow();
// Keeps the settings (mode, title) and resets the rest, as window creation does.
void ResetWindowStateKeepingSettings();

}  // namespace runtime
