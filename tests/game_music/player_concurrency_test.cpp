// The music player on the real timer thread while an output thread mixes: the main thread keeps
// restarting, fading and switching songs. Runs under ThreadSanitizer in CI.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "game_music/music_player.h"
#include "game_music/sequencer.h"
#include "runtime/platform/mixing_sound_device.h"
#include "runtime/platform/notice.h"
#include "runtime/platform/platform_clock.h"
#include "runtime/platform/stream_clock.h"
#include "test_support/scoped_hooks.h"
#include "test_support/scratch_directory.h"
#include "test_support/threaded_test_output.h"

namespace {

TEST(PlayerConcurrencyTest, ThePlayerTheTimerAndTheMixerShareTheEngine) {
  test_support::ScratchDirectory dir;
  test_support::CurrentDirectoryScope here(dir.path());
  dir.WriteFile("Org/Wave100.dat", std::string(25600, '\x30'));
  for (int s = 0; s < 2; ++s) {
    org::ParsedSong song;
    song.version = 2;
    song.wait = static_cast<uint16_t>(2 + s);  // a tick every 2 or 3 ms
    song.loop_end = 32;
    for (int t = 0; t < 8; ++t) {
      song.tracks[t].one_shot = t % 2;
      for (int k = 0; k < 16; ++k)
        song.tracks[t].events.push_back({k * 2, static_cast<uint8_t>(24 + (k * 5 + t) % 60), 1,
                                         static_cast<uint8_t>(100 + k),
                                         static_cast<uint8_t>(k % 13)});
    }
    const std::vector<uint8_t> bytes = org::SerializeOrgSong(song);
    dir.WriteFile("Org/s" + std::to_string(s) + ".org", std::string(bytes.begin(), bytes.end()));
  }
  dir.WriteFile("Org/music.txt", "0 10 Org\\s0.org A\n1 10 Org\\s1.org B\n");
  const test_support::SilentNotices no_boxes;  // the songs' drums are missing

  auto device = platform::MixingSoundDevice::Create(
      std::make_unique<test_support::ThreadedTestOutput>(1000, 441));
  ASSERT_TRUE(device && device->CreatePrimaryBuffer());
  {
    org::MusicPlayer player;
    player.Init(device.get());
    ASSERT_TRUE(player.ready);
    for (int round = 0; round < 300; ++round) {
      switch (round % 6) {
        case 0:
          player.PlayIndex(round % 12 < 6 ? 0 : 1);
          break;
        case 1:
          player.RequestSwitch(1 - player.current_index);
          break;
        case 2:
          player.SetMusicVolume(round % 128);
          break;
        case 3:
          player.PlayIndex(-1);
          break;
        default:
          break;
      }
      player.UpdateFrame();
      (void)player.engine().published_step();
      platform::SleepMs(1);
    }
    player.StopPlayback();
    player.ReleasePlayer();
  }
  EXPECT_EQ(device->LiveBufferCount(), 0);
  device->ReleasePrimaryBuffer();
  device.reset();
}

}  // namespace
