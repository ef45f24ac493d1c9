// For the exit tests: runs the jukebox on the data folder it is given with a keyboard of ours,
// presses Space to start song 0, lets it play for about a second and then ends the program the
// way a fatal runtime error does. The process must end with exit code -1 while the music's
// timer thread was ticking, with nothing touching freed buffers on the way out (the sanitizer
// builds report any such touch). Usage: fatal_exit_during_playback DATA_DIR
#include <unistd.h>

#include <memory>

#include "app/jukebox_app.h"
#include "game_music/music_player.h"
#include "runtime/core/input.h"
#include "runtime/core/runtime_startup.h"
#include "test_support/fake_input_devices.h"

namespace {

constexpr int kSpace = 57;
test_support::FakeInputControls g_keys;
int g_frames = 0;

bool Observe(int) {
  ++g_frames;
  g_keys.keys[kSpace] = g_frames >= 2 && g_frames < 5 ? 0x80 : 0;
  if (g_frames == 35) {
    // The song has started and its timer ticks: a fatal error now.
    if (app::JukeboxMusicPlayer().timer_id() == 0) return false;  // never started: exit 0 says so
    runtime::FatalErrorExit("fatal error during playback (test)");
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || chdir(argv[1]) != 0) return 2;
  runtime::SetInputDevicesForTesting(std::make_unique<test_support::FakeInputDevices>(&g_keys));
  app::SetFrameObserver(&Observe);
  return app::RunJukebox();
}
