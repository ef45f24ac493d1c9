#include "runtime/core/main_window.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <vector>

#include "runtime/core/app_log.h"
#include "runtime/core/display_link.h"
#include "runtime/core/input.h"
#include "runtime/core/runtime_state.h"
#include "runtime/platform/platform_clock.h"
#include "runtime/platform/sdl_window.h"
#include "runtime/platform/text_encoding.h"
#include "runtime/platform/window_layout.h"
#include "runtime/sound/sound_device.h"

namespace runtime {
namespace {

using platform::MessageKind;
using platform::SdlWindow;
using platform::WindowMessage;

constexpr int kCharacterBufferSize = 1025;
// ChangeWindowMode waits for the display-change notification at most this long: the platform
// sends none when the display mode does not actually change.
constexpr uint32_t kModeChangeWaitMs = 500;

WindowState g_state;
bool g_run_while_inactive = false;
std::deque<WindowMessage> g_thread_messages;
std::deque<WindowMessage> g_window_messages;
uint8_t g_characters[kCharacterBufferSize];
int g_character_read = 0;
int g_character_write = 0;

void StoreCharacter(uint8_t character) {
  const bool full = g_character_write + 1 == g_character_read ||
                    (g_character_read == 0 && g_character_write == kCharacterBufferSize - 1);
  if (full) return;
  g_characters[g_character_write] = character;
  g_character_write = (g_character_write + 1) % kCharacterBufferSize;
}

void ScreenSize(int* width, int* height) { QueryScreenSizeLinked(width, height); }

// Room kept for a window manager's title bar when a larger window is fitted to the desktop.
constexpr int kTitleBarAllowance = 48;

// The window-mode client area: the screen size times the window's starting factor (1 unless the
// application asked for a larger window). A larger window never starts bigger than the
// desktop's usable area shows whole, its title bar included: the largest whole factor that fits.
void ClientSize(int* width, int* height) {
  ScreenSize(width, height);
  int factor = std::max(platform::GetWindowSizing().start_factor, 1);
  if (factor > 1 && g_state.usable_width > 0 && *width > 0 && *height > 0) {
    const int fit = std::min(g_state.usable_width / *width,
                             (g_state.usable_height - kTitleBarAllowance) / *height);
    factor = std::clamp(fit, 1, factor);
  }
  *width *= factor;
  *height *= factor;
}

void RecordClientRect() {
  const platform::ScreenRect rect = SdlWindow::ClientRect();
  g_state.client = {rect.left, rect.top, rect.right, rect.bottom};
}

// The client area of the screen size, centred on the desktop recorded at creation. (The window
// manager owns the frame on this platform, so the client area is placed directly.)
WindowRect CentredClient() {
  int w = 0;
  int h = 0;
  ClientSize(&w, &h);
  const int left = (g_state.desktop_width - w) / 2;
  const int top = (g_state.desktop_height - h) / 2;
  return {left, top, left + w, top + h};
}

std::string TitleUtf8() { return platform::Cp932ToUtf8(g_state.title); }

// Moves waiting platform events into the window's queue; nothing arrives without a window.
void CollectPlatformEvents() {
  std::vector<WindowMessage> events;
  SdlWindow::TranslateEvents(&events);
  if (!g_state.window) return;
  g_window_messages.insert(g_window_messages.end(), events.begin(), events.end());
}

// Thread messages first, then those for the main window.
bool RetrieveMessage(WindowMessage* message) {
  CollectPlatformEvents();
  std::deque<WindowMessage>& queue =
      !g_thread_messages.empty() ? g_thread_messages : g_window_messages;
  if (queue.empty()) return false;
  *message = queue.front();
  queue.pop_front();
  return true;
}

void HandleDisplayChange(const WindowMessage& message) {
  if (g_state.window_mode == 1 && g_state.changing_mode == 0) {
    const int depth = static_cast<int>(message.wparam);
    const int width = static_cast<int>(message.lparam & 0xFFFF);
    const int height = static_cast<int>((message.lparam >> 16) & 0xFFFF);
    int w = 0;
    int h = 0;
    ScreenSize(&w, &h);
    const int screen_depth = QueryColorDepthLinked();
    if (depth == screen_depth && width == w && height == h) {
      // Nothing changed for us.
    } else if (depth == 24 || (depth != screen_depth && depth == 8) || w > width || h > height) {
      AppLogWrite(SJIS(
          "復元関数が登録されていないためか画面が２４ビットカラーに変更されたため終了します\n"));
      AppLogWrite(
          SJIS("またはスクリーンが小さすぎるためか色ビット数の違いが大きいためか終了します\n"));
      if (g_state.close_requested == 0) {
        g_state.close_requested = 1;
        PostWindowMessage(MessageKind::kClose);
      }
      return;
    } else {
      RebuildDisplayLinked();
    }
  }
  g_state.display_changed = 1;
}

void HandleActivate(const WindowMessage& message) {
  g_state.active = static_cast<int>(message.wparam & 0xFFFF);
  if (g_state.active) {
    AppLogWrite(SJIS("アクティブになりました\n"));
    if (g_state.window_mode == 0 && g_state.surfaces_lost == 1 &&
        GetRuntimeState().RuntimeInitialised) {
      RebuildDisplayLinked();
      g_state.surfaces_lost = 0;
    }
  } else {
    AppLogWrite(SJIS("非アクティブになりました\n"));
    if (g_state.window_mode == 0 && DisplayDeviceExistsLinked() && DisplayModeSetLinked())
      g_state.surfaces_lost = 1;
  }
}

}  // namespace

WindowState& GetWindowState() { return g_state; }

void PostWindowMessage(MessageKind kind, int64_t wparam, int64_t lparam) {
  if (kind == MessageKind::kQuit) {
    g_thread_messages.push_back({kind, wparam, lparam});
  } else if (g_state.window) {
    g_window_messages.push_back({kind, wparam, lparam});
  }
}

void MainWindowProc(const WindowMessage& message) {
  switch (message.kind) {
    case MessageKind::kDestroy:
      AppLogWrite(SJIS("ウインドウが破棄されようとしています\n"));
      g_state.window_destroyed = 1;
      AppLogWrite(SJIS("ソフトを終了する準備が整いました\n"));
      PostWindowMessage(MessageKind::kQuit, 0);
      g_state.quit = 1;
      break;
    case MessageKind::kMove:
      if (g_state.window_mode == 1 && g_state.changing_mode == 0) {
        const int width = g_state.client.right - g_state.client.left;
        const int height = g_state.client.bottom - g_state.client.top;
        const int left = static_cast<int16_t>(message.lparam & 0xFFFF);
        const int top = static_cast<int16_t>((message.lparam >> 16) & 0xFFFF);
        g_state.client = {left, top, left + width, top + height};
        WindowMovedLinked();
      }
      break;
    case MessageKind::kSize:
      // A window the user may resize (or that covers the desktop) keeps the size it is given;
      // otherwise the client area is put back to the screen size.
      if (platform::GetWindowSizing().resizable || SdlWindow::IsDesktopFullscreen()) {
        RecordClientRect();
      } else if (message.wparam != 2) {
        FinishWindowSetUp();
      }
      break;
    case MessageKind::kActivate:
      HandleActivate(message);
      break;
    case MessageKind::kClose:
      AppLogWrite(SJIS("ウインドウを閉じようとしています\n"));
      DestroyMainWindow();
      if (GetRuntimeState().RuntimeEnding == 0) GetRuntimeState().RuntimeEnding = 4;
      break;
    case MessageKind::kSetCursor:
    case MessageKind::kMouse:
      if (g_state.cursor_visible == 0) SdlWindow::ShowCursor(false);
      break;
    case MessageKind::kDisplayChange:
      HandleDisplayChange(message);
      break;
    case MessageKind::kKeyDown:
      switch (message.wparam) {
        case platform::kVkDelete:
          StoreCharacter(0x10);
          break;
        case platform::kVkLeft:
          StoreCharacter(0x1D);
          break;
        case platform::kVkRight:
          StoreCharacter(0x1C);
          break;
        case platform::kVkUp:
          StoreCharacter(0x1E);
          break;
        case platform::kVkDown:
          StoreCharacter(0x1F);
          break;
        default:
          break;
      }
      break;
    case MessageKind::kChar:
      StoreCharacter(static_cast<uint8_t>(message.wparam & 0xFF));
      break;
    case MessageKind::kSysCommand:
    case MessageKind::kF10Flag:
      message.wparam == 1 ? SetF10Down() : SetF10Up();
      break;
    case MessageKind::kF12Flag:
      message.wparam == 1 ? SetF12Down() : SetF12Up();
      break;
    case MessageKind::kMciNotify:
      OnMidiNotify();
      break;
    default:
      break;  // the rest need nothing of their own
  }
}

int PumpMessages() {
  if (g_state.pump_busy) return 0;
  bool dispatched = true;  // the first visit counts as following a pass that dispatched
  while (true) {
    // Only a window can become active again: without one there is nothing to hold for.
    const bool holding = g_state.window && g_state.active == 0 && g_state.close_requested == 0 &&
                         !g_run_while_inactive;
    if (!holding && (!dispatched || g_state.quit)) break;
    if (holding) platform::SleepMs(1);
    dispatched = false;
    bool leave = false;
    WindowMessage message;
    while (RetrieveMessage(&message)) {
      if (message.kind == MessageKind::kActivate)
        g_state.active = static_cast<int>(message.wparam & 0xFFFF);
      if (g_state.quit) {
        leave = true;
        break;
      }
      if (message.kind == MessageKind::kQuit) g_state.quit = 1;
      MainWindowProc(message);
      dispatched = true;
    }
    if (leave) break;
    if (g_state.active == 0) ServiceSoundStreams();
    if (g_state.quit) break;
  }
  ServiceSoundStreams();
  g_state.pump_busy = 1;
  // The text-input update: no input slot is ever active in this system.
  const int result = g_state.quit == 1 ? -1 : 0;
  g_state.pump_busy = 0;
  return result;
}

int ChangeWindowMode(int mode) {
  AppLogWrite(SJIS("ChangeWindowMode実行 \n"));
  if (mode == g_state.window_mode) return 0;
  g_state.style_applied = 0;
  g_state.window_mode = mode;
  AppLogWrite(mode == 1 ? SJIS("ウインドウモードフラグが立てられました\n")
                        : SJIS("ウインドウモードフラグが倒されました\n"));
  if (!g_state.window) return 0;
  g_state.changing_mode = 1;
  g_state.display_changed = 0;
  ApplyWindowStyle();
  const int result = ChangeScreenModeLinked(-1, -1, -1, 1, -1);
  const uint32_t start = platform::ClockMs();
  while (PumpMessages() == 0 && g_state.display_changed != 1 &&
         platform::ClockMs() - start < kModeChangeWaitMs) {
    platform::SleepMs(1);
  }
  g_state.changing_mode = 0;
  return result;
}

int SetWindowTitle(const char* title) {
  std::strncpy(g_state.title, title ? title : "", sizeof g_state.title - 1);
  g_state.title[sizeof g_state.title - 1] = '\0';
  if (g_state.window) SdlWindow::SetTitle(TitleUtf8());
  return 0;
}

bool GetMainWindow() { return g_state.window; }
int IsWindowActive() { return g_state.active; }
int IsWindowMode() { return g_state.window_mode; }
int IsCloseRequested() { return g_state.close_requested; }

int GetClientScreenRect(WindowRect* rect) {
  if (rect) *rect = g_state.client;
  return 0;
}

int GetDesktopMode(int* width, int* height, int* color_depth) {
  if (width) *width = g_state.desktop_width;
  if (height) *height = g_state.desktop_height;
  if (color_depth) *color_depth = g_state.desktop_color_depth;
  return 0;
}

int CreateMainWindow() {
  AppLogWrite(SJIS("ウインドウクラスを登録します... "));
  if (!SdlWindow::InitVideo(kWindowClassName))
    return AppLogWrite(SJIS("ウインドウクラスの登録に失敗しました\n"));
  AppLogWrite(SJIS("登録に成功しました\n"));
  const platform::DesktopMode desktop = SdlWindow::Desktop();
  g_state.desktop_width = desktop.width;
  g_state.desktop_height = desktop.height;
  g_state.desktop_color_depth = desktop.color_depth;
  g_state.usable_width = desktop.usable_width;
  g_state.usable_height = desktop.usable_height;
  if (g_state.title[0] == '\0') SetWindowTitle(kWindowClassName);
  int w = 0;
  int h = 0;
  ScreenSize(&w, &h);
  WindowRect place{0, 0, w, h};
  if (g_state.window_mode == 1) {
    ClientSize(&w, &h);
    AppLogWrite(SJIS("ウインドウモード起動用のウインドウを作成します\n"));
    g_state.cursor_visible = 1;
    place = CentredClient();
  } else {
    AppLogWrite(SJIS("フルスクリーンモード用のウインドウを作成します\n"));
    g_state.cursor_visible = 0;
  }
  if (!SdlWindow::Create(TitleUtf8(), place.left, place.top, w, h,
                         platform::GetWindowSizing().resizable))
    return AppLogWrite(SJIS("ウインドウの作成に失敗しました\n"));
  g_state.window = true;
  // A resizable window never gets smaller than the picture at its own size.
  if (platform::GetWindowSizing().resizable) {
    int picture_w = 0;
    int picture_h = 0;
    ScreenSize(&picture_w, &picture_h);
    SdlWindow::SetMinimumSize(picture_w, picture_h);
  }
  return 0;
}

int ApplyWindowStyle() {
  if (!g_state.window) return 0;
  int w = 0;
  int h = 0;
  ScreenSize(&w, &h);
  if (g_state.window_mode == 1) {
    AppLogWrite(SJIS("ウインドウスタイルをウインドウモード用に変更します... "));
    ClientSize(&w, &h);
    const WindowRect client = CentredClient();
    SdlWindow::Place(client.left, client.top, w, h);
    if (g_state.style_applied == 1) SdlWindow::Show();
    RecordClientRect();
    if (g_state.client.left < 0 || g_state.client.top < 0) {
      // The client area starts at the screen's corner rather than off it.
      const int dx = -std::min(g_state.client.left, 0);
      const int dy = -std::min(g_state.client.top, 0);
      SdlWindow::Place(g_state.client.left + dx, g_state.client.top + dy, w, h);
      g_state.client = {g_state.client.left + dx, g_state.client.top + dy,
                        g_state.client.right + dx, g_state.client.bottom + dy};
    }
    if (g_state.cursor_visible != 1) {
      g_state.cursor_visible = 1;
      SdlWindow::ShowCursor(true);
      PostWindowMessage(MessageKind::kSetCursor);
    }
  } else {
    AppLogWrite(SJIS("ウインドウスタイルをフルスクリーンモード用に変更します... "));
    g_state.client = {0, 0, w, h};
    SdlWindow::Place(0, 0, w, h);
    if (g_state.cursor_visible != 0) {
      g_state.cursor_visible = 0;
      SdlWindow::ShowCursor(false);
      PostWindowMessage(MessageKind::kSetCursor);
    }
  }
  AppLogWrite(SJIS("完了\n"));
  PostWindowMessage(MessageKind::kSetCursor);
  SdlWindow::Raise();
  return 0;
}

void FinishWindowSetUp() {
  if (!g_state.window) return;
  int w = 0;
  int h = 0;
  if (g_state.window_mode == 1) {
    ClientSize(&w, &h);
  } else {
    ScreenSize(&w, &h);
  }
  const platform::ScreenRect client = SdlWindow::ClientRect();
  // The client area becomes exactly the screen size; its left-top corner stays.
  if (client.right - client.left != w || client.bottom - client.top != h)
    SdlWindow::Place(client.left, client.top, w, h);
  if (g_state.window_mode == 1 && g_state.style_applied == 0) {
    g_state.style_applied = 1;
    ApplyWindowStyle();
  }
}

int SetDesktopFullscreen(int on) {
  SdlWindow::SetDesktopFullscreen(on != 0);
  platform::MarkWindowDirty();
  return 0;
}

int IsDesktopFullscreen() { return SdlWindow::IsDesktopFullscreen() ? 1 : 0; }

void SetRunWhileInactive(bool run) { g_run_while_inactive = run; }

int RaiseMainWindow() {
  SdlWindow::Raise();
  return 0;
}

std::vector<std::string> TakeDroppedFiles() { return SdlWindow::TakeDroppedFiles(); }

void DestroyMainWindow() {
  if (!g_state.window) return;
  SdlWindow::Destroy();
  g_state.window = false;
  g_window_messages.clear();
  MainWindowProc({MessageKind::kDestroy, 0, 0});  // sent, not posted, as the window goes
}

void UnregisterWindowClass() { SdlWindow::QuitVideo(); }

int HoldWhileWindowInactive() {
  while (g_state.window && g_state.active == 0 && g_state.close_requested == 0 &&
         !g_run_while_inactive) {
    if (PumpMessages() != 0) return -1;
  }
  return 0;
}

int CharacterBufferCount() {
  return (g_character_write - g_character_read + kCharacterBufferSize) % kCharacterBufferSize;
}

void ResetWindowStateKeepingSettings() {
  const int mode = g_state.window_mode;
  char title[sizeof g_state.title];
  std::memcpy(title, g_state.title, sizeof title);
  g_state = WindowState{};
  g_state.window_mode = mode;
  std::memcpy(g_state.title, title, sizeof title);
  g_thread_messages.clear();
  g_window_messages.clear();
  g_character_read = 0;
  g_character_write = 0;
}

void ResetMainWindow() {
  SdlWindow::QuitVideo();
  g_run_while_inactive = false;
  platform::ResetWindowSizing();
  g_state = WindowState{};
  g_thread_messages.clear();
  g_window_messages.clear();
  g_character_read = 0;
  g_character_write = 0;
}

}  // namespace runtime
