#include "runtime/graphics/display_device.h"

#include <SDL.h>

#include <algorithm>
#include <memory>

#include "runtime/core/app_log.h"
#include "runtime/core/clock.h"
#include "runtime/core/display_link.h"
#include "runtime/core/main_window.h"
#include "runtime/core/runtime_startup.h"
#include "runtime/graphics/draw_context.h"
#include "runtime/graphics/graph_table.h"
#include "runtime/graphics/software_blitter.h"
#include "runtime/platform/platform_clock.h"
#include "runtime/platform/sdl_presenter.h"
#include "runtime/platform/text_encoding.h"

namespace graphics {
namespace {

using platform::PixelSurface;
using runtime::AppLogIndent;
using runtime::AppLogOutdent;
using runtime::AppLogWrite;
using runtime::AppLogWriteFormat;

struct DisplayState {
  int width = 0;
  int height = 0;
  int depth = 0;
  int refresh = 0;
  bool started = false;
  bool object = false;  // the display object (the presenter and the surfaces' format)
  bool display_mode_changed = false;
  int vsync_wait = 0;
  int use_3d_device_off = 0;
  int declined_3d_before_start = 0;
  bool gdi_preferred = false;
  PixelLayout layout = LayoutFromMasks(32, 0xFF0000, 0xFF00, 0xFF, 0);
  std::unique_ptr<PixelSurface> front;
  std::unique_ptr<PixelSurface> back;
  std::unique_ptr<PixelSurface> work1;
  std::unique_ptr<PixelSurface> work2;
};
DisplayState g_display;

int Width() { return g_display.width ? g_display.width : 640; }
int Height() { return g_display.height ? g_display.height : 480; }

int OpenDisplayObject() {
  AppLogWrite(SJIS("DirectDraw オブジェクトの取得を行います....  "));
  if (!runtime::GetMainWindow()) return AppLogWrite(SJIS("オブジェクトの取得に失敗しました\n"));
  AppLogWrite(SJIS("成功\n"));
  AppLogWrite(SJIS("引き続き初期化処理... "));
  AppLogWrite(SJIS("初期化に成功しました\n"));
  AppLogWrite(SJIS("ビデオカードの情報\n"));
  AppLogIndent();
  SDL_version version;
  SDL_GetVersion(&version);
  const char* driver = SDL_GetCurrentVideoDriver();
  AppLogWriteFormat(SJIS("ビデオカードドライバ:%s バージョン:%u.%u.%u.%u "), driver ? driver : "",
                    version.major, version.minor, version.patch, 0u);
  AppLogWrite(SJIS("ドライバ記述:SDL2 software surfaces \n"));
  AppLogWriteFormat(SJIS("ビデオメモリ総量:%.2fMB ビデオメモリ空き容量:%.2fMB"), 0.0, 0.0);
  AppLogOutdent();
  g_display.object = true;
  return 0;
}

// Windowed mode at the desktop's depth; full screen is presented the same way on this platform.
int ApplyDisplayMode(int width, int height, int depth) {
  AppLogWriteFormat(SJIS("画面モードの変更処理を開始します %u x %u  %u bit "), width, height,
                    depth);
  AppLogIndent();
  int result = 0;
  if (runtime::IsWindowMode()) {
    AppLogWrite(SJIS("ウインドウモードにします\n"));
    int desktop_width = 0;
    int desktop_height = 0;
    int desktop_depth = 0;
    runtime::GetDesktopMode(&desktop_width, &desktop_height, &desktop_depth);
    if (desktop_width < width || desktop_height < height) {
      AppLogOutdent();
      runtime::FatalErrorExit(SJIS("デスクトップ画面のサイズが足りません、ソフトを終了します"));
    }
    if (desktop_depth == 24) {
      result = -1;
    } else {
      g_display.depth = desktop_depth;
    }
  } else if (depth == 24) {
    result = -1;
  } else {
    AppLogWrite(SJIS("画面解像度を変更します... "));
    g_display.display_mode_changed = true;
    AppLogWrite(SJIS("成功しました\n"));
  }
  AppLogOutdent();
  if (result == 0) AppLogWrite(SJIS("画面モードの変更は正常に終了しました \n"));
  return result;
}

void ReadDisplayFormat() {
  const platform::DisplayFormat format = platform::SdlPresenter::DesktopFormat();
  // A 16-bit depth uses the 5-6-5 layout; otherwise the desktop's 32-bit layout.
  g_display.layout = g_display.depth == 16 ? LayoutFromMasks(16, 0xF800, 0x07E0, 0x001F, 0)
                                           : LayoutFromMasks(32, format.red_mask, format.green_mask,
                                                             format.blue_mask, format.alpha_mask);
  AppLogWrite(SJIS("カラー情報\n"));
  AppLogIndent();
  AppLogWriteFormat("A:%08x  B:%08x  G:%08x  B:%08x", g_display.layout.alpha_mask,
                    g_display.layout.red_mask, g_display.layout.green_mask,
                    g_display.layout.blue_mask);
  AppLogOutdent();
  g_display.depth = g_display.layout.bits_per_pixel;
}

// The screen copy done twice, through the fast copy and through device contexts: the slower one
// is avoided for opaque copies from then on.
void TimingTest() {
  const platform::SurfaceRect whole{0, 0, Width(), Height()};
  int64_t start = runtime::ReadClockUs();
  g_display.work1->FastCopy(0, 0, *g_display.front, whole, false);
  const int64_t fast = runtime::ReadClockUs() - start;
  start = runtime::ReadClockUs();
  g_display.work1->DeviceContextCopy(0, 0, *g_display.front, whole);
  const int64_t dc = runtime::ReadClockUs() - start;
  g_display.gdi_preferred = fast > dc;
}

}  // namespace

int RequestScreenMode(int width, int height, int depth, int refresh) {
  ReleaseAllGraphs(0);
  const int old_width = g_display.width;
  const int old_height = g_display.height;
  const int old_depth = g_display.depth;
  const int old_refresh = g_display.refresh;
  const int want_width = width == -1 ? old_width : width;
  const int want_height = height == -1 ? old_height : height;
  const int want_depth = depth == -1 ? old_depth : depth;
  ChangeScreenMode(want_width, want_height, want_depth, 0, refresh);
  if (!g_display.object) return 0;
  const bool as_requested = g_display.width == want_width && g_display.height == want_height &&
                            g_display.depth == want_depth;
  if (as_requested) return 0;
  const bool fallback = g_display.width == 640 && g_display.height == 480 &&
                        g_display.depth == 16 && g_display.refresh == 0;
  const bool changed = g_display.width != old_width || g_display.height != old_height ||
                       g_display.depth != old_depth || g_display.refresh != old_refresh;
  return fallback && changed ? -2 : -1;
}

int Set3DPathAllowed(int flag) {
  if (!g_display.started) g_display.declined_3d_before_start = !flag;
  return 0;
}

int SetVSyncWait(int flag) {
  g_display.vsync_wait = flag;
  return 0;
}

int SetUse3DDevice(int flag) {
  g_display.use_3d_device_off = flag == 0;
  return 0;
}

int QueryScreenSize(int* width, int* height) {
  if (width) *width = Width();
  if (height) *height = Height();
  return 0;
}

int QueryColorDepth() { return g_display.depth ? g_display.depth : 16; }

int StartDisplayDevice() {
  if (g_display.started) return -1;
  AppLogWrite(SJIS("DirectDraw 関連の初期化を行います\n"));
  AppLogIndent();
  if (OpenDisplayObject() != 0)
    runtime::FatalErrorExit(SJIS("DirectDrawオブジェクトの作成に失敗しました"));
  if (!g_display.width) g_display.width = 640;
  if (!g_display.height) g_display.height = 480;
  if (!g_display.depth) g_display.depth = 16;
  ChangeScreenMode(-1, -1, -1, 1, -1);
  SelectDrawTarget(kBackBuffer);
  ClearDrawTarget();
  g_display.started = true;  // presenting needs the started device
  PresentFrame();
  SelectDrawTarget(kFrontBuffer);
  AppLogWrite(SJIS("オーバーレイサーフェスは使用しません\n"));
  AppLogOutdent();
  AppLogWrite(SJIS("DirectDraw 関連の初期化は正常に終了しました\n"));
  return 0;
}

int EndDisplayDevice() {
  if (!g_display.started) return 0;
  AppLogWrite(SJIS("DirectDraw 関連の終了処理をおこないます\n"));
  AppLogIndent();
  EndGraphTable();
  RemoveAllBmpData();
  ReleaseScreenSurfaces();
  if (g_display.display_mode_changed) {
    g_display.display_mode_changed = false;
    AppLogWrite(SJIS("画面モードを元に戻す処理は正常に終了しました\n"));
  }
  AppLogWrite(SJIS("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放します\n"));
  platform::SdlPresenter::Close();
  g_display.object = false;
  AppLogWrite(SJIS("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放しました\n"));
  AppLogOutdent();
  AppLogWrite(SJIS("DirectDraw 関連の終了処理は正常に終了しました\n"));
  g_display.started = false;
  return 0;
}

int ChangeScreenMode(int width, int height, int depth, int force, int refresh) {
  if (width == -1) width = g_display.width;
  if (height == -1) height = g_display.height;
  if (depth == -1) depth = g_display.depth;
  if (refresh == -1) refresh = g_display.refresh;
  if (!force && width == g_display.width && height == g_display.height &&
      depth == g_display.depth && refresh == g_display.refresh)
    return 0;
  AppLogWrite(SJIS("画面モード変更処理を開始します\n"));
  AppLogIndent();
  const int old_width = g_display.width;
  const int old_height = g_display.height;
  const int old_depth = g_display.depth;
  g_display.width = width;
  g_display.height = height;
  g_display.depth = depth;
  g_display.refresh = refresh;
  if (!g_display.object) {
    AppLogOutdent();
    return 0;
  }
  const uint32_t transparent = GetDrawContext().transparent_colour;
  ReleaseAllGraphs(0);
  EndGraphTable();
  ReleaseScreenSurfaces();
  int result = 0;
  if (ApplyDisplayMode(width, height, depth) != 0) {
    g_display.width = old_width ? old_width : 640;
    g_display.height = old_height ? old_height : 480;
    g_display.depth = old_depth ? old_depth : 16;
    result = -1;
    if (ApplyDisplayMode(g_display.width, g_display.height, g_display.depth) != 0) {
      g_display.width = 640;
      g_display.height = 480;
      g_display.depth = 16;
      result = -2;
      if (ApplyDisplayMode(640, 480, 16) != 0)
        runtime::FatalErrorExit(SJIS("予期せぬ画面モード変更不能現象が起きました\n"));
    }
  }
  ReadDisplayFormat();
  runtime::ApplyWindowStyle();
  CreateScreenSurfaces();
  StartGraphTable();
  TimingTest();
  GetDrawContext().transparent_colour = transparent;
  AppLogOutdent();
  AppLogWrite(SJIS("画面モード変更処理は正常に終了しました\n"));
  runtime::PumpMessages();
  return result;
}

int CreateScreenSurfaces() {
  if (!g_display.object || g_display.front) return -1;
  AppLogWrite(SJIS("DirectDraw メインサーフェスの作成を行います\n"));
  AppLogIndent();
  const int bytes = g_display.layout.bytes_per_pixel;
  g_display.front = std::make_unique<PixelSurface>(Width(), Height(), bytes, true);
  g_display.back = std::make_unique<PixelSurface>(Width(), Height(), bytes);
  g_display.work1 = std::make_unique<PixelSurface>(Width(), Height(), bytes);
  g_display.work2 = std::make_unique<PixelSurface>(Width(), Height(), bytes);
  if (!platform::SdlPresenter::IsOpen() && !platform::SdlPresenter::Open(Width(), Height(), bytes))
    runtime::FatalErrorExit(SJIS("プライマリサーフェスの作成に失敗しました"));
  AppLogWrite(SJIS("各スクリーンメモリの配置位置\n"));
  AppLogIndent();
  AppLogWrite("PrimaryBuffer : VIDEOMEMORY  ");
  AppLogWrite("BaskBuffer : SYSTEMMEMORY  ");
  AppLogOutdent();
  AppLogOutdent();
  AppLogWrite(SJIS("DirectDraw メインサーフェスの作成は正常に終了しました\n"));
  return 0;
}

int ReleaseScreenSurfaces() {
  if (!g_display.object) return -1;
  if (g_display.front) AppLogWrite(SJIS("メインサーフェスを破棄をします... 完了しました\n"));
  g_display.front.reset();
  g_display.back.reset();
  g_display.work1.reset();
  g_display.work2.reset();
  return 0;
}

int RepairScreenSurfaces() {
  if (!g_display.object) return -1;
  if (GetDrawContext().held) return 0;
  for (PixelSurface* surface : {g_display.front.get(), g_display.back.get()})
    if (surface && surface->lost()) surface->Restore();
  return 0;
}

int PresentFrame() {
  if (!g_display.object || !g_display.back) return -1;
  if (HoldWhileInactive() != 0) return 0;
  runtime::WindowRect client;
  runtime::GetClientScreenRect(&client);
  int desktop_width = 0;
  int desktop_height = 0;
  runtime::GetDesktopMode(&desktop_width, &desktop_height, nullptr);
  if (CurrentDrawTarget() == kFrontBuffer) {
    platform::SdlPresenter::Present(*g_display.front, g_display.vsync_wait != 0);
    return runtime::PumpMessages() != 0 ? -1 : 0;
  }
  platform::SurfaceRect source{0, 0, Width(), Height()};
  int left = client.left;
  int top = client.top;
  if (runtime::IsWindowMode()) {
    if (left < 0) {
      source.left = -left;
      left = 0;
    }
    if (top < 0) {
      source.top = -top;
      top = 0;
    }
    if (client.left + Width() >= desktop_width && desktop_width > 0)
      source.right = desktop_width - client.left;
    if (client.top + Height() >= desktop_height && desktop_height > 0)
      source.bottom = desktop_height - client.top;
  } else {
    left = top = 0;
  }
  // The front surface is the window's client area: screen (left, top) lies at
  // (left - client.left, top - client.top) in it.
  g_display.front->FastCopy(left - (runtime::IsWindowMode() ? client.left : 0),
                            top - (runtime::IsWindowMode() ? client.top : 0), *g_display.back,
                            source, false);
  platform::SdlPresenter::Present(*g_display.front, g_display.vsync_wait != 0);
  return 0;
}

int RebuildDisplayDevice() {
  ReleaseScreenSurfaces();
  CreateScreenSurfaces();
  const int target = CurrentDrawTarget();
  SelectDrawTarget(target);
  ClearDrawTarget();
  PresentFrame();
  ReloadLostGraphs();
  return 0;
}

const PixelLayout& DisplayLayout() { return g_display.layout; }
bool DisplayDeviceStarted() { return g_display.started; }
bool DisplayObjectExists() { return g_display.object; }
bool BlitByGdiPreferred() { return g_display.gdi_preferred; }
PixelSurface* FrontSurface() { return g_display.front.get(); }
PixelSurface* BackSurface() { return g_display.back.get(); }
PixelSurface* WorkSurface(int which) {
  return which == 1 ? g_display.work1.get() : g_display.work2.get();
}

void InstallDisplayDevice() {
  runtime::DisplayLink link;
  link.start_device = &StartDisplayDevice;
  link.end_device = &EndDisplayDevice;
  link.query_screen_size = [](int* w, int* h) { QueryScreenSize(w, h); };
  link.query_color_depth = &QueryColorDepth;
  link.map_rgb = &MapRgbToPixel;
  link.set_vsync_wait = &SetVSyncWait;
  link.change_screen_mode = &ChangeScreenMode;
  link.rebuild_device = &RebuildDisplayDevice;
  link.window_moved = [] {
    if (CurrentDrawTarget() == kFrontBuffer) SelectDrawTarget(kFrontBuffer);
  };
  link.device_exists = &DisplayObjectExists;
  link.display_mode_set = [] { return g_display.display_mode_changed; };
  runtime::SetDisplayLink(link);
}

void ResetDisplayDevice() {
  platform::SdlPresenter::Close();
  ResetGraphTable();
  RemoveAllBmpData();
  g_display = DisplayState{};
  runtime::SetDisplayLink({});
}

}  // namespace graphics
