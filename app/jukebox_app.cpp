#include "app/jukebox_app.h"

#include <algorithm>

#include "app/bitmap_font.h"
#include "app/data_report.h"
#include "app/jukebox_screen.h"
#include "app/key_tracker.h"
#include "app/visualiser_source.h"
#include "game_music/music_player.h"
#include "runtime/core/app_log.h"
#include "runtime/core/clock.h"
#include "runtime/core/main_window.h"
#include "runtime/core/runtime_startup.h"
#include "runtime/graphics/display_device.h"
#include "runtime/graphics/draw_context.h"
#include "runtime/graphics/graph_loading.h"
#include "runtime/graphics/graph_table.h"
#include "runtime/graphics/software_blitter.h"
#include "runtime/platform/platform_clock.h"
#include "runtime/platform/text_encoding.h"
#include "runtime/sound/sound_device.h"

namespace app {
namespace {

constexpr int kEscape = 1;

// The application's objects, constructed before the entry point in this order (the song record
// is the player's engine) and destroyed in reverse: the player first.
KeyTracker g_keys;
BitmapFont g_font;
org::MusicPlayer g_player;

FrameObserver g_observer = nullptr;

struct AppState {
  int frame_time = 35;
  int last_frame_time = 0;
  bool ending = false;
} g_app;

// The screen's view of the music player.
class PlayerView final : public JukeboxPlayer {
 public:
  explicit PlayerView(org::MusicPlayer* player) : p_(player) {}
  int current_index() const override { return p_->current_index; }
  int entry_count() const override { return p_->entry_count; }
  const char* title(int index) const override { return p_->title(index); }
  int time_limit(int index) const override { return p_->time_limit(index); }
  void PlayIndex(int index) override { p_->PlayIndex(index); }
  void RequestSwitch(int index) override { p_->RequestSwitch(index); }
  void SetPaused(bool paused) override { p_->SetPaused(paused); }
  void SetOutputGain(int32_t gain_q15) override { p_->SetOutputGain(gain_q15); }
  bool AppendEntry(const std::string& file, const std::string& title, int limit,
                   const std::string& title_utf8) override {
    return p_->AppendEntry(file, title, limit, title_utf8);
  }
  std::string title_utf8(int index) const override { return p_->entry_title_utf8(index); }
  std::string entry_file(int index) const override { return p_->entry_file(index); }
  int64_t SeekTo(uint32_t ms) override { return p_->SeekTo(ms); }
  int64_t loop_start_ms() const override { return p_->loop_start_ms(); }

 private:
  org::MusicPlayer* p_;
};

// Before the sound device closes, on whatever path (Escape, the window closed, a fatal error):
// the music's timer stops and its voices go, so no tick plays on buffers that are gone.
void ReleaseMusic() {
  g_player.StopPlayback();
  g_player.ReleasePlayer();
}

}  // namespace

void SetFrameObserver(FrameObserver observer) { g_observer = observer; }

const org::MusicPlayer& JukeboxMusicPlayer() { return g_player; }

int FrameWait(int frame_ms, int last_frame_time, int now) {
  // The millisecond count wraps (every 49.7 days, and through the sign after 24.8): the time
  // since the last wait is their difference modulo 2^32, read as signed.
  const int32_t elapsed =
      static_cast<int32_t>(static_cast<uint32_t>(now) - static_cast<uint32_t>(last_frame_time));
  return static_cast<int>(std::clamp<int64_t>(int64_t{frame_ms} - elapsed, 0, frame_ms));
}

int AppInit() {
  graphics::SelectDrawTarget(graphics::kBackBuffer);
  runtime::SetWindowTitle(SJIS("Orvalinde (仮)  JUKEBOX"));
  graphics::RequestScreenMode(320, 240, 32, -1);
  g_app.frame_time = 35;
  runtime::ChangeWindowMode(1);
  graphics::Set3DPathAllowed(0);
  runtime::SetAppLogEnabled(0);
  graphics::InstallDisplayDevice();
  if (runtime::RuntimeStartup() == -1) return -1;
  graphics::SelectDrawTarget(graphics::kBackBuffer);
  g_font.LoadFont(1);
  graphics::ClearDrawTarget();
  g_player.Init(runtime::GetSoundDevice());
  ReportDataProblems(g_player, runtime::GetSoundDevice() != nullptr);
  ReportScreenDataProblems();
  runtime::SetSoundDeviceReleaseHook(&ReleaseMusic);
  g_app.last_frame_time = runtime::ReadClockMs();
  g_app.ending = false;
  return 0;
}

int AppEndFrame() {
  // A held song's fade stands still with it.
  if (!g_player.paused()) g_player.UpdateFrame();
  const int wait = FrameWait(g_app.frame_time, g_app.last_frame_time, runtime::ReadClockMs());
  platform::SleepMs(static_cast<uint32_t>(wait));
  g_app.last_frame_time = runtime::ReadClockMs();
  if (runtime::PumpMessages() == -1) {
    g_app.ending = true;
    return 1;
  }
  g_keys.Update();
  if (g_keys.KeyDown(kEscape)) {
    g_app.ending = true;
    return 1;
  }
  return 0;
}

int AppExit() {
  ReleaseMusic();
  runtime::RuntimeShutdown();
  return 0;
}

int RunJukebox(JukeboxExtras* extras) {
  runtime::ChangeWindowMode(1);
  graphics::SelectDrawTarget(graphics::kBackBuffer);
  graphics::Set3DPathAllowed(0);
  graphics::SetBlendShortcutsOff(1);
  if (AppInit() != 0) return 0;
  PlayerView view(&g_player);
  JukeboxScreen screen(&view, &g_font, &g_keys);
  screen.SetBackground(graphics::LoadPicture(kBackgroundPicture));
  JukeboxVisualiserSource visualiser_source(&g_player);
  screen.SetVisualiser(&visualiser_source, &graphics::MapRgbToPixel, &graphics::DrawTargetSurface);
  screen.ResetPlayOrder();
  if (extras) extras->AfterInit(&screen.model(), &g_player);
  while (true) {
    graphics::ClearDrawTarget();
    const WindowRequests requests = screen.Step();
    if (extras) extras->EachFrame(&screen.model(), requests);
    if (AppEndFrame() == 1 || (extras && extras->QuitRequested())) break;
    graphics::PresentFrame();
    if (g_observer && !g_observer(runtime::ReadClockMs())) break;
  }
  if (extras) extras->BeforeExit(&screen.model());
  AppExit();
  return 0;
}

}  // namespace app
