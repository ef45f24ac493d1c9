#include "runtime/platform/sdl_window.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef RT_HAVE_X11
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#endif

#include "runtime/platform/window_layout.h"

namespace platform {
namespace {

SDL_Window* g_window = nullptr;
bool g_video = false;
std::vector<std::string> g_dropped;  // files dropped on the window, not yet taken

// Full screen on the desktop: asked of the window manager first, done by hand where it is not
// granted within this long.
constexpr Uint32 kFullscreenGraceMs = 400;
struct FullscreenState {
  bool on = false;
  bool by_hand = false;
  Uint32 requested_ms = 0;
  int left = 0;  // the window's place and size before
  int top = 0;
  int width = 0;
  int height = 0;
} g_fullscreen;

int64_t VirtualKeyOf(SDL_Scancode scancode) {
  switch (scancode) {
    case SDL_SCANCODE_DELETE:
      return kVkDelete;
    case SDL_SCANCODE_LEFT:
      return kVkLeft;
    case SDL_SCANCODE_RIGHT:
      return kVkRight;
    case SDL_SCANCODE_UP:
      return kVkUp;
    case SDL_SCANCODE_DOWN:
      return kVkDown;
    default:
      return 0;
  }
}

int64_t PackWords(int low, int high) {
  return static_cast<int64_t>((static_cast<uint32_t>(high & 0xFFFF) << 16) |
                              static_cast<uint32_t>(low & 0xFFFF));
}

void TranslateWindowEvent(const SDL_WindowEvent& e, std::vector<WindowMessage>* out) {
  switch (e.event) {
    case SDL_WINDOWEVENT_FOCUS_GAINED:
      out->push_back({MessageKind::kActivate, 1, 0});
      break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
      out->push_back({MessageKind::kActivate, 0, 0});
      break;
    case SDL_WINDOWEVENT_CLOSE:
      out->push_back({MessageKind::kClose, 0, 0});
      break;
    case SDL_WINDOWEVENT_MOVED:
      out->push_back({MessageKind::kMove, 0, PackWords(e.data1, e.data2)});
      break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
      MarkWindowDirty();
      out->push_back({MessageKind::kSize, 0, PackWords(e.data1, e.data2)});
      break;
    case SDL_WINDOWEVENT_EXPOSED:
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_RESTORED:
      MarkWindowDirty();  // the window needs its contents again
      break;
    case SDL_WINDOWEVENT_MAXIMIZED:
      out->push_back({MessageKind::kSize, 2, 0});
      break;
    case SDL_WINDOWEVENT_ENTER:
      out->push_back({MessageKind::kSetCursor, 0, 0});
      break;
    default:
      break;
  }
}

// The size the window really has on the screen. SDL reports the size it asked for as soon as
// it asks; on X11 the server's own answer tells whether a window manager granted it.
void ShownWindowSize(int* w, int* h) {
  SDL_GetWindowSize(g_window, w, h);
#ifdef RT_HAVE_X11
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(g_window, &info) && info.subsystem == SDL_SYSWM_X11) {
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(info.info.x11.display, info.info.x11.window, &attributes)) {
      *w = attributes.width;
      *h = attributes.height;
    }
  }
#endif
}

}  // namespace

bool SdlWindow::StartedVideoShowsAnything() {
  if (SDL_GetNumVideoDisplays() < 1) return false;
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!driver) return false;
  // The offscreen and dummy drivers show nothing to anyone: they serve tests, which ask for
  // them by name. Chosen by SDL's own fallback (no X server, no Wayland), they would leave the
  // program running where nobody can see or end it.
  if (std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0) return true;
  const char* asked = SDL_getenv("SDL_VIDEODRIVER");
  return asked && std::strstr(asked, driver) != nullptr;
}

#ifdef RT_HAVE_X11
// The X server went away (it ended, or its connection broke). Xlib's own answer is exit(),
// which runs the program's exit handlers while its timer and sound threads still run (a double
// free then ended it with SIGABRT). This ends the process at once instead: the system stops the
// sound and frees everything, and the exit status says what happened.
int OnDisplayLost(Display*) {
  static const char kLine[] = ": the display went away (the X server closed the connection)\n";
  const char* program = program_invocation_short_name;
  ssize_t written = write(STDERR_FILENO, program, std::strlen(program));
  written = write(STDERR_FILENO, kLine, sizeof kLine - 1);
  (void)written;
  _exit(kExitDisplayLost);
}
#endif

bool SdlWindow::InitVideo(const char* class_name) {
  if (g_video) return true;
  // SDL names the X11 window class after this variable when it creates a window.
  SDL_setenv("SDL_VIDEO_X11_WMCLASS", class_name, 0);
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    std::fprintf(stderr, "the display cannot be used: %s\n", SDL_GetError());
    return false;
  }
  if (!StartedVideoShowsAnything()) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
    return false;
  }
#ifdef RT_HAVE_X11
  XSetIOErrorHandler(&OnDisplayLost);
#endif
  g_video = true;
  return true;
}

void SdlWindow::QuitVideo() {
  Destroy();
  if (!g_video) return;
  SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
  g_video = false;
}

bool SdlWindow::VideoStarted() { return g_video; }

bool SdlWindow::TextInputActive() { return g_video && SDL_IsTextInputActive(); }

void SdlWindow::DisableInputMethod() {
  // SDL starts text input by itself when its video starts; stopped, an input method in kana
  // mode cannot take letters and Space before the key state sees them.
  if (g_video) SDL_StopTextInput();
}

DesktopMode SdlWindow::Desktop() {
  DesktopMode desktop;
  SDL_DisplayMode mode{};
  if (!g_video || SDL_GetDesktopDisplayMode(0, &mode) != 0) return desktop;
  desktop.width = mode.w;
  desktop.height = mode.h;
  // Bytes per pixel, not bits in use: an X11 desktop of depth 24 keeps 4-byte pixels.
  desktop.color_depth = SDL_BYTESPERPIXEL(mode.format) * 8;
  SDL_Rect usable{};
  const bool known = SDL_GetDisplayUsableBounds(0, &usable) == 0 && usable.w > 0 && usable.h > 0;
  desktop.usable_width = known ? usable.w : mode.w;
  desktop.usable_height = known ? usable.h : mode.h;
  return desktop;
}

bool SdlWindow::Create(const std::string& title_utf8, int x, int y, int w, int h, bool resizable) {
  if (!g_video || g_window) return false;
  const Uint32 flags = SDL_WINDOW_HIDDEN | (resizable ? SDL_WINDOW_RESIZABLE : 0);
  // The window is made as the renderer will want it: SDL's GL renderers replace a window made
  // without the OpenGL flag by a new one, and whoever found the first (a window manager, a
  // tool holding its id) would see it vanish. Only a renderer asked for as software needs none.
  const char* renderer = SDL_GetHint(SDL_HINT_RENDER_DRIVER);
  const bool software = renderer && SDL_strcasecmp(renderer, "software") == 0;
  if (!software)
    g_window = SDL_CreateWindow(title_utf8.c_str(), x, y, w, h, flags | SDL_WINDOW_OPENGL);
  if (!g_window) g_window = SDL_CreateWindow(title_utf8.c_str(), x, y, w, h, flags);
  if (!g_window) std::fprintf(stderr, "the window cannot be made: %s\n", SDL_GetError());
  return g_window != nullptr;
}

bool SdlWindow::Exists() { return g_window != nullptr; }

void SdlWindow::SetDesktopFullscreen(bool on) {
  if (!g_window || on == g_fullscreen.on) return;
  g_fullscreen.on = on;
  if (on) {
    SDL_GetWindowPosition(g_window, &g_fullscreen.left, &g_fullscreen.top);
    SDL_GetWindowSize(g_window, &g_fullscreen.width, &g_fullscreen.height);
    g_fullscreen.requested_ms = SDL_GetTicks();
    g_fullscreen.by_hand = false;
    SDL_SetWindowFullscreen(g_window, SDL_WINDOW_FULLSCREEN_DESKTOP);
    return;
  }
  if (g_fullscreen.by_hand) {
    SDL_SetWindowBordered(g_window, SDL_TRUE);
    SDL_SetWindowSize(g_window, g_fullscreen.width, g_fullscreen.height);
    SDL_SetWindowPosition(g_window, g_fullscreen.left, g_fullscreen.top);
    g_fullscreen.by_hand = false;
  } else {
    SDL_SetWindowFullscreen(g_window, 0);
  }
}

bool SdlWindow::IsDesktopFullscreen() { return g_window && g_fullscreen.on; }

void SdlWindow::CoverDisplayIfStillWindowed() {
  // Full screen on the desktop is the window manager's to grant; where none runs (or it did not
  // within a moment), the window covers the display itself: no border, the display's bounds.
  if (!g_window || !g_fullscreen.on || g_fullscreen.by_hand) return;
  if (SDL_GetTicks() - g_fullscreen.requested_ms < kFullscreenGraceMs) return;
  SDL_Rect bounds{};
  if (SDL_GetDisplayBounds(SDL_GetWindowDisplayIndex(g_window), &bounds) != 0) return;
  int w = 0;
  int h = 0;
  ShownWindowSize(&w, &h);
  if (w >= bounds.w && h >= bounds.h) return;
  SDL_SetWindowFullscreen(g_window, 0);
  SDL_SetWindowBordered(g_window, SDL_FALSE);
  SDL_SetWindowPosition(g_window, bounds.x, bounds.y);
  SDL_SetWindowSize(g_window, bounds.w, bounds.h);
  g_fullscreen.by_hand = true;
  MarkWindowDirty();
}

std::vector<std::string> SdlWindow::TakeDroppedFiles() {
  std::vector<std::string> files;
  files.swap(g_dropped);
  return files;
}

void SdlWindow::Destroy() {
  g_fullscreen = FullscreenState{};
  if (!g_window) return;
  SDL_DestroyWindow(g_window);
  g_window = nullptr;
}

void SdlWindow::SetTitle(const std::string& title_utf8) {
  if (g_window) SDL_SetWindowTitle(g_window, title_utf8.c_str());
}

void SdlWindow::Show() {
  if (g_window) SDL_ShowWindow(g_window);
}

void SdlWindow::SetMinimumSize(int w, int h) {
  if (g_window) SDL_SetWindowMinimumSize(g_window, w, h);
}

void SdlWindow::Place(int x, int y, int w, int h) {
  if (!g_window) return;
  SDL_SetWindowSize(g_window, w, h);
  SDL_SetWindowPosition(g_window, x, y);
}

ScreenRect SdlWindow::ClientRect() {
  ScreenRect rect;
  if (!g_window) return rect;
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;
  SDL_GetWindowPosition(g_window, &x, &y);
  SDL_GetWindowSize(g_window, &w, &h);
  return {x, y, x + w, y + h};
}

ScreenRect SdlWindow::Borders() {
  ScreenRect borders;
  if (g_window)
    SDL_GetWindowBordersSize(g_window, &borders.top, &borders.left, &borders.bottom,
                             &borders.right);
  return borders;
}

void SdlWindow::Raise() {
  if (!g_window) return;
  // A minimised window is shown again first: raising it alone leaves it in the taskbar.
  if (SDL_GetWindowFlags(g_window) & SDL_WINDOW_MINIMIZED) SDL_RestoreWindow(g_window);
  SDL_RaiseWindow(g_window);
}

void SdlWindow::ShowCursor(bool visible) { SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE); }

void SdlWindow::TranslateEvents(std::vector<WindowMessage>* out) {
  if (!g_video) return;
  CoverDisplayIfStillWindowed();
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    switch (event.type) {
      case SDL_QUIT:
        out->push_back({MessageKind::kClose, 0, 0});
        break;
      case SDL_WINDOWEVENT:
        TranslateWindowEvent(event.window, out);
        break;
      case SDL_KEYDOWN:
        if (int64_t vk = VirtualKeyOf(event.key.keysym.scancode))
          out->push_back({MessageKind::kKeyDown, vk, 0});
        break;
      case SDL_TEXTINPUT:
        for (const char* c = event.text.text; *c; ++c)
          out->push_back({MessageKind::kChar, static_cast<uint8_t>(*c), 0});
        break;
      case SDL_DROPFILE:
        if (event.drop.file) {
          g_dropped.emplace_back(event.drop.file);
          SDL_free(event.drop.file);
        }
        break;
      case SDL_MOUSEMOTION:
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP:
        out->push_back({MessageKind::kMouse, 0, 0});
        break;
      case SDL_DISPLAYEVENT: {
        const DesktopMode desktop = Desktop();
        out->push_back({MessageKind::kDisplayChange, desktop.color_depth,
                        PackWords(desktop.width, desktop.height)});
        break;
      }
      default:
        break;
    }
  }
}

SDL_Window* SdlWindow::native() { return g_window; }

}  // namespace platform
