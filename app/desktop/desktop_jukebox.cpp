#include "app/desktop/desktop_jukebox.h"

#include <unistd.h>

#include <cstdio>

#include "app/desktop/data_folder.h"
#include "app/desktop/settings.h"
#include "app/desktop/user_songs.h"
#include "org/music_player.h"
#include "runtime/core/main_window.h"
#include "runtime/platform/notice.h"
#include "runtime/platform/window_layout.h"

namespace app {
namespace {

constexpr int kPictureWidth = 320;
constexpr int kPictureHeight = 240;

void PrintProblems(const CollectedSongs& collected) {
  for (const std::string& problem : collected.problems)
    std::fprintf(stderr, "jukebox: %s: left out\n", problem.c_str());
}

// Appends songs to the model's playlist; the index of the first one appended, or -1.
int AppendSongs(const std::vector<UserSong>& songs, JukeboxModel* model) {
  int first = -1;
  for (const UserSong& song : songs) {
    const int index = model->AppendSong(song.file, song.title, song.time_limit);
    if (index < 0) {
      std::fprintf(stderr, "jukebox: the playlist is full: %s and what follows are left out\n",
                   song.file.c_str());
      break;
    }
    if (first < 0) first = index;
  }
  return first;
}

class DesktopExtras final : public JukeboxExtras {
 public:
  DesktopExtras(std::vector<UserSong> songs, Settings settings, JukeboxExtras* more)
      : songs_(std::move(songs)), settings_(settings), more_(more) {}

  void AfterInit(JukeboxModel* model, org::MusicPlayer* player) override {
    if (!songs_.empty()) {
      // The songs given play instead of the data folder's playlist.
      player->ClearPlaylist();
      AppendSongs(songs_, model);
      model->ResetPlayOrder();
    }
    model->SetVolumeStep(settings_.volume_step);
    if (settings_.fullscreen) runtime::SetDesktopFullscreen(1);
    if (more_) more_->AfterInit(model, player);
  }

  void EachFrame(JukeboxModel* model, const WindowRequests& requests) override {
    if (requests.toggle_fullscreen) runtime::SetDesktopFullscreen(!runtime::IsDesktopFullscreen());
    const std::vector<std::string> dropped = runtime::TakeDroppedFiles();
    if (!dropped.empty()) {
      const CollectedSongs collected = CollectSongs(dropped);
      PrintProblems(collected);
      const int first = AppendSongs(collected.songs, model);
      if (first >= 0) model->PlayEntry(first);
    }
    if (more_) more_->EachFrame(model, requests);
  }

  bool QuitRequested() const override { return more_ && more_->QuitRequested(); }

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
    SaveSettings(SettingsPath(), settings_);
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
  const std::string data = FindDataFolder();
  if (!data.empty() && chdir(data.c_str()) != 0)
    std::fprintf(stderr, "jukebox: cannot go to the data folder %s\n", data.c_str());

  Settings settings = LoadSettings(SettingsPath());
  if (options.scale > 0) settings.scale = options.scale;
  if (options.fullscreen >= 0) settings.fullscreen = options.fullscreen == 1;
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
