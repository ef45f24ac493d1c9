// Stress for the player's three threads: the timer ticking every millisecond, an output thread
// mixing, and the main thread issuing thousands of PlayIndex, RequestSwitch, UpdateFrame and
// SetMusicVolume calls with explicit stops among them. Runs under ThreadSanitizer in CI, which
// reports any race; a deadlock would hang the test. Stop latencies are printed (the README
// reports them); only a stop that waits for a period is treated as a fault (see the second test).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "game_music/music_player.h"
#include "game_music/sequencer.h"
#include "runtime/platform/mixing_sound_device.h"
#include "runtime/platform/notice.h"
#include "runtime/platform/platform_clock.h"
#include "test_support/scoped_hooks.h"
#include "test_support/scratch_directory.h"
#include "test_support/threaded_test_output.h"

namespace {

using Clock = std::chrono::steady_clock;

// Writes the bank, `songs` songs with a step of `wait_ms` and a playlist of them.
void WriteSongs(const test_support::ScratchDirectory& dir, int songs, uint16_t wait_ms) {
  dir.WriteFile("Org/Wave100.dat", std::string(25600, '\x30'));
  std::string playlist;
  for (int s = 0; s < songs; ++s) {
    org::ParsedSong song;
    song.version = 2;
    song.wait = wait_ms;
    song.loop_start = 4;
    song.loop_end = 16 + s;
    for (int t = 0; t < 8; ++t) {
      song.tracks[t].one_shot = (t + s) % 2;
      for (int k = 0; k < 24; ++k)
        song.tracks[t].events.push_back(
            {k, static_cast<uint8_t>(12 + (k * 7 + t + s) % 80), static_cast<uint8_t>(1 + k % 3),
             static_cast<uint8_t>(k * 10), static_cast<uint8_t>(k % 13)});
    }
    const std::vector<uint8_t> bytes = org::SerializeOrgSong(song);
    const std::string name = "s" + std::to_string(s) + ".org";
    dir.WriteFile("Org/" + name, std::string(bytes.begin(), bytes.end()));
    playlist += std::to_string(s) + " 5 Org\\" + name + " T" + std::to_string(s) + "\n";
  }
  dir.WriteFile("Org/music.txt", playlist);
}

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

class PlayerStressConcurrencyTest : public testing::Test {
 protected:
  void SetUp() override {
    platform::SetNoticeSink([](const std::string&, const std::string&) {});  // no drums here
    device_ = platform::MixingSoundDevice::Create(
        std::make_unique<test_support::ThreadedTestOutput>(500, 256));
    ASSERT_TRUE(device_ && device_->CreatePrimaryBuffer());
  }
  void TearDown() override {
    if (device_) {
      EXPECT_EQ(device_->LiveBufferCount(), 0);
      device_->ReleasePrimaryBuffer();
      device_.reset();
    }
    platform::SetNoticeSink({});
  }

  test_support::ScratchDirectory dir_;
  std::unique_ptr<platform::MixingSoundDevice> device_;
};

TEST_F(PlayerStressConcurrencyTest, ThousandsOfCallsAgainstAOneMillisecondTimer) {
  test_support::CurrentDirectoryScope here(dir_.path());
  constexpr int kSongs = 4;
  constexpr int kRounds = 4000;
  WriteSongs(dir_, kSongs, 1);
  int calls[5] = {};  // PlayIndex, RequestSwitch, UpdateFrame, SetMusicVolume, StopPlayback
  std::vector<double> stop_ms;
  {
    org::MusicPlayer player;
    player.Init(device_.get());
    ASSERT_TRUE(player.ready);
    for (int round = 0; round < kRounds; ++round) {
      switch (round % 8) {
        case 0:
          player.PlayIndex(round % 40 == 0 ? -1 : (round / 8) % kSongs);
          ++calls[0];
          break;
        case 3:
          player.RequestSwitch((round / 8 + 1) % kSongs);
          ++calls[1];
          break;
        case 5: {
          const auto start = Clock::now();
          player.StopPlayback();
          stop_ms.push_back(MillisecondsSince(start));
          ++calls[4];
          player.PlayIndex(-1);  // so that the next PlayIndex starts its entry afresh
          ++calls[0];
          break;
        }
        default:
          player.SetMusicVolume(round % 128);
          ++calls[3];
          break;
      }
      player.UpdateFrame();
      ++calls[2];
      (void)player.engine().published_step();
      if (round % 4 == 0) platform::SleepMs(1);  // let ticks fall between the calls
    }
    player.StopPlayback();
    player.ReleasePlayer();
  }
  std::sort(stop_ms.begin(), stop_ms.end());
  std::printf(
      "calls: PlayIndex %d, RequestSwitch %d, UpdateFrame %d, SetMusicVolume %d, StopPlayback "
      "%d\nStopPlayback ms: median %.3f, 99th percentile %.3f, max %.3f; over two periods (2 ms): "
      "%ld\n",
      calls[0], calls[1], calls[2], calls[3], calls[4], stop_ms[stop_ms.size() / 2],
      stop_ms[stop_ms.size() * 99 / 100], stop_ms.back(),
      static_cast<long>(stop_ms.end() - std::upper_bound(stop_ms.begin(), stop_ms.end(), 2.0)));
  EXPECT_GE(calls[0] + calls[1] + calls[2] + calls[3], 8000);
}

// The stop wakes the timer instead of waiting for its next step: with 500 ms steps every stop,
// made at any point of a step, returns well within two periods (1 s).
TEST_F(PlayerStressConcurrencyTest, StopDoesNotWaitForTheNextStep) {
  test_support::CurrentDirectoryScope here(dir_.path());
  WriteSongs(dir_, 2, 500);
  org::MusicPlayer player;
  player.Init(device_.get());
  ASSERT_TRUE(player.ready);
  for (int round = 0; round < 6; ++round) {
    player.PlayIndex(round % 2);
    platform::SleepMs(37 * round);
    const auto start = Clock::now();
    player.StopPlayback();
    EXPECT_LT(MillisecondsSince(start), 1000.0) << "round " << round;
  }
  player.ReleasePlayer();
}

}  // namespace

namespace {

// The music's timer thread on an output that never pulls: its ticks must not wait for room in
// the mixer's queue, so a stop returns at once instead of after the tick's many waits.
TEST(StalledOutputConcurrencyTest, AStopReturnsWhileTheOutputPullsNothing) {
  const test_support::SilentNotices no_boxes;  // no drums here
  test_support::ScratchDirectory dir;
  test_support::CurrentDirectoryScope here(dir.path());
  WriteSongs(dir, 1, 1);
  auto device =
      platform::MixingSoundDevice::Create(std::make_unique<test_support::StalledTestOutput>());
  ASSERT_TRUE(device && device->CreatePrimaryBuffer());
  {
    org::MusicPlayer player;
    player.Init(device.get());
    ASSERT_TRUE(player.ready);
    player.PlayIndex(0);
    platform::SleepMs(500);  // hundreds of steps, thousands of calls: the queue is long full
    const Clock::time_point start = Clock::now();
    player.StopPlayback();
    const double stop_ms = MillisecondsSince(start);
    std::printf("stop with a stalled output: %.2f ms\n", stop_ms);
    EXPECT_LT(stop_ms, 1000.0);
    EXPECT_GT(player.loop_count(), 5);  // the timer really ran
    player.ReleasePlayer();
  }
  device->ReleasePrimaryBuffer();
}

}  // namespace
