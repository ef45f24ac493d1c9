#include "app/desktop/desktop_jukebox.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "app/desktop/data_folder.h"
#include "app/desktop/settings.h"
#include "app/desktop/user_songs.h"
#include "game_music/music_player.h"
#include "runtime/core/main_window.h"
#include "runtime/platform/instance_lock.h"
#include "runtime/platform/native_file.h"
#include "runtime/platform/notice.h"
#include "runtime/platform/quit_signals.h"
#include "runtime/platform/window_layout.h"

namespace app {
namespace {

constexpr int kPictureWidth = 320;
constexpr int kPictureHeight = 240;

// Hands the songs to a jukebox that already runs; true when it took them.
bool HandToRunningJukebox(const std::vector<std::string>& sources) {
  std::vector<std::string> absolute;
  std::error_code error;
  for (const std::string& source : sources)
    absolute.push_back(platform::Utf8PathOf(
        std::filesystem::absolute(platform::NativePath(source), error).lexically_normal()));
  switch (platform::HandToRunningCopy(runtime::kWindowClassName, absolute)) {
    case platform::HandOver::kTaken:
      return true;
    case platform::HandOver::kNoAnswer:
      std::fprintf(stderr,
                   "jukebox: another jukebox runs but did not take the songs (a message box may "
                   "be waiting for its OK); they are not played\n");
      return false;
    case platform::HandOver::kNoCopy:
      return false;
  }
  return false;
}

class DesktopExtras final : public JukeboxExtras {
 public:
  DesktopExtras(std::vector<UserSong> songs, Settings settings, JukeboxExtras* more)
      : songs_(std::move(songs)), settings_(settings), more_(more) {}

  void AfterInit(JukeboxModel* model, org::MusicPlayer* player) override {
    if (!songs_.empty() && !player->ready) {
      std::fprintf(stderr, "jukebox: no waveform bank: the songs given cannot be played\n");
    } else if (!songs_.empty()) {
      // The songs given play instead of the data folder's playlist, from the first one on.
      player->ClearPlaylist();
      AddSongs(songs_, model);
      model->ResetPlayOrder();
      model->PlayEntry(0);
    }
    model->SetVolumeStep(settings_.volume_step, false);
    player->SetFadeToSilence(settings_.fade_to_silence);
    if (settings_.fullscreen) runtime::SetDesktopFullscreen(1);
    if (more_) more_->AfterInit(model, player);
  }

  void EachFrame(JukeboxModel* model, const WindowRequests& requests) override {
    if (requests.toggle_fullscreen) runtime::SetDesktopFullscreen(!runtime::IsDesktopFullscreen());
    const std::vector<std::string> dropped = runtime::TakeDroppedFiles();
    if (!dropped.empty()) AddSourcesAndPlay(dropped, model);
    // Songs a later start of the program was given come here, and the window comes forward.
    for (const std::vector<std::string>& handed : platform::TakeHandedOver()) {
      AddSourcesAndPlay(handed, model);
      runtime::RaiseMainWindow();
    }
    if (more_) more_->EachFrame(model, requests);
  }

  bool QuitRequested() const override {
    return platform::QuitSignalReceived() != 0 || (more_ && more_->QuitRequested());
  }

  void BeforeExit(JukeboxModel* model) override {
    if (more_) more_->BeforeExit(model);
    settings_.volume_step = model->volume_step();
    settings_.fullscreen = runtime::IsDesktopFullscreen() != 0;
    if (!settings_.fullscreen) {
      // The scale of the window as the user left it.
      runtime::WindowRect client;
      runtime::GetClientScreenRect(&client);
      const platform::PicturePlacement place = platform::PlacePicture(
          kPictureWidth, kPictureHeight, client.right - client.left, client.bottom - client.top);
      if (place.factor >= 1) settings_.scale = std::min(place.factor, kMaxScale);
    }
    std::string why;
    if (!SaveSettings(SettingsPath(), settings_, &why) && !SettingsPath().empty())
      std::fprintf(stderr, "jukebox: the settings cannot be saved to %s: %s\n",
                   SettingsPath().c_str(), why.c_str());
  }

 private:
  std::vector<UserSong> songs_;
  Settings settings_;
  JukeboxExtras* more_;
};

}  // namespace

int RunDesktopJukebox(const DesktopOptions& options, JukeboxExtras* more) {
  // Songs are found from where the program was started, before it moves to its data folder.
  const CollectedSongs collected = CollectSongs(options.sources);
  PrintProblems(collected);
  if (!options.sources.empty() && collected.songs.empty()) {
    platform::ShowNotice("None of the songs given can be played.", "jukebox");
    return 1;
  }
  // A jukebox that runs already plays them (a second start, an .org file opened from the
  // desktop): this start ends there. Without songs a second start ends at start-up, as ever.
  if (!collected.songs.empty() && HandToRunningJukebox(options.sources)) return 0;
  const std::string data = options.data_folder.empty() ? FindDataFolder() : options.data_folder;
  if (!data.empty() && !platform::ChangeDirectory(data)) {
    std::fprintf(stderr, "jukebox: cannot go to the data folder %s: %s\n", data.c_str(),
                 std::strerror(errno));
    if (!options.data_folder.empty()) return 1;
  }

  Settings settings = LoadSettings(SettingsPath());
  if (options.scale > 0) settings.scale = options.scale;
  if (options.fullscreen >= 0) settings.fullscreen = options.fullscreen == 1;
  if (options.fade_to_silence >= 0) settings.fade_to_silence = options.fade_to_silence == 1;
  platform::WindowSizing& sizing = platform::GetWindowSizing();
  sizing.start_factor = settings.scale;
  sizing.resizable = true;
  // A deliberate departure from the game runtime: while another window has the focus, the game
  // stood still (no fade, no next song); a music player goes on, and answers its media keys.
  runtime::SetRunWhileInactive(true);

  DesktopExtras extras(collected.songs, settings, more);
  return RunJukebox(&extras);
}

}  // namespace app
