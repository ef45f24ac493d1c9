// Seeking in the jukebox's player while it plays: after MusicPlayer::SeekTo the sound device's
// own mix, with the timer's ticks where they fall, is exactly what an offline render gives from
// that point; the first tick comes when the step in progress ends; a held song stays held.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "game_music/music_player.h"
#include "org/org_format.h"
#include "org/replay_checkpoints.h"
#include "org/song_renderer.h"
#include "runtime/platform/mixing_sound_device.h"
#include "runtime/platform/offline_audio_output.h"
#include "test_support/scratch_directory.h"
#include "test_support/test_song.h"

namespace {

constexpr int kRate = 44100;
const std::string kData = std::string(PROJECT_SOURCE_DIR) + "/data/Org/";

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class MusicPlayerSeekTest : public testing::Test {
 protected:
  // The song the player plays (a file of this system).
  virtual std::string SongFile() { return kData + "Joy.org"; }

  void SetUp() override {
    song_file_ = SongFile();
    auto output = std::make_unique<platform::OfflineAudioOutput>();
    output_ = output.get();
    device_ = platform::MixingSoundDevice::Create(std::move(output));
    ASSERT_TRUE(device_);
    device_->CreatePrimaryBuffer();
    ASSERT_EQ(device_->mixer().output_rate(), kRate);
    player_.SetTickSource(&ticks_);
    player_.InitWithSong(device_.get(), kData + "Wave100.dat", song_file_);
    player_.SetUserSongDrums(org::BuiltInDrums());
    ASSERT_TRUE(player_.ready);
    player_.PlayIndex(0);
  }
  void TearDown() override {
    player_.StopPlayback();
    player_.ReleasePlayer();
  }

  // Mixes `frames` frames from `frame` on, firing the timer's ticks on the frames they fall on
  // (as an offline render places them) and the first one `first_ms` after the start.
  std::vector<int16_t> Play(int64_t frame, int frames) {
    const uint16_t wait = player_.engine().song().wait;
    int64_t next_tick_frame = frame + int64_t{ticks_.first_ms()} * kRate / 1000;
    // The first tick on or after that frame (worked out near it, then found).
    int64_t tick = std::max<int64_t>(next_tick_frame * 1000 / (int64_t{wait} * kRate) - 2, 0);
    while (org::FrameOfTick(wait, kRate, tick) < next_tick_frame) ++tick;
    std::vector<int16_t> out(2 * static_cast<size_t>(frames));
    for (int done = 0; done < frames;) {
      const int64_t until = std::min<int64_t>(frame + frames, org::FrameOfTick(wait, kRate, tick));
      const int count = static_cast<int>(until - (frame + done));
      if (count > 0) output_->Render(out.data() + 2 * done, count);
      done += count;
      if (frame + done == org::FrameOfTick(wait, kRate, tick)) {
        ticks_.Fire();
        ++tick;
      }
    }
    return out;
  }

  // What an offline render gives from `frame` on.
  std::vector<int16_t> Rendered(int64_t frame, int frames) const {
    org::RenderError error;
    std::string reason;
    const std::vector<uint8_t> bytes = ReadFile(song_file_);
    auto renderer = org::SongRenderer::Open(bytes.data(), bytes.size(), {}, &error, &reason);
    renderer->Seek(static_cast<uint64_t>(frame));
    std::vector<int16_t> out(2 * static_cast<size_t>(frames));
    renderer->RenderS16(out.data(), static_cast<size_t>(frames));
    return out;
  }

  // A song of our own, written where the player can open it.
  std::string WrittenSong(const org::ParsedSong& song, const std::string& name) {
    const std::vector<uint8_t> bytes = org::SerializeOrgSong(song);
    scratch_.WriteFile(name, std::string(bytes.begin(), bytes.end()));
    return scratch_.Join(name);
  }

  test_support::ScratchDirectory scratch_;
  std::string song_file_;
  org::ManualTickSource ticks_;
  std::unique_ptr<platform::MixingSoundDevice> device_;
  platform::OfflineAudioOutput* output_ = nullptr;
  org::MusicPlayer player_;
};

TEST_F(MusicPlayerSeekTest, TheMixAfterASeekIsTheOfflineRenderFromThere) {
  for (const uint32_t ms : {12340u, 3000u, 40010u}) {  // forwards, back, forwards again
    SCOPED_TRACE(ms);
    ASSERT_EQ(player_.SeekTo(ms), ms);
    const int64_t frame = int64_t{ms} * kRate / 1000;
    EXPECT_TRUE(ticks_.running());
    const std::vector<int16_t> played = Play(frame, 3 * kRate);
    EXPECT_NE(played, std::vector<int16_t>(played.size(), 0));
    EXPECT_EQ(played, Rendered(frame, 3 * kRate));
  }
}

TEST_F(MusicPlayerSeekTest, TheFarthestSeekABusClientCanAskForLandsExactlyAndAtOnce) {
  // About 50 days into the endless song (hundreds of thousands of passes): the whole repeats of
  // its state are stepped over, so this takes no longer than a seek into its first passes.
  const uint32_t ms = 4294967000u;
  ASSERT_EQ(player_.SeekTo(ms), ms);
  const int64_t frame = int64_t{ms} * kRate / 1000;
  const std::vector<int16_t> played = Play(frame, 2 * kRate);
  EXPECT_NE(played, std::vector<int16_t>(played.size(), 0));
  EXPECT_EQ(played, Rendered(frame, 2 * kRate));
}

// A song whose voices' phases drift on and never come round (test_support::DriftingSong): the
// seek steps over stretches of passes worked out voice by voice on the player's own device, as
// it does in the library.
class MusicPlayerDriftingSeekTest : public MusicPlayerSeekTest {
 protected:
  std::string SongFile() override {
    return WrittenSong(test_support::DriftingSong(), "Drifting.org");
  }
};

TEST_F(MusicPlayerDriftingSeekTest, AFarSeekIntoVoicesThatNeverComeRoundLandsExactlyAndAtOnce) {
  for (const uint32_t ms : {4294967000u, 20000u, 4000000000u}) {
    SCOPED_TRACE(ms);
    ASSERT_EQ(player_.SeekTo(ms), ms);
    const int64_t frame = int64_t{ms} * kRate / 1000;
    const std::vector<int16_t> played = Play(frame, kRate / 2);
    EXPECT_NE(played, std::vector<int16_t>(played.size(), 0));
    EXPECT_EQ(played, Rendered(frame, kRate / 2));
  }
}

// The densest song the format allows: a far seek holds its steps up to a little before the
// target and lets the last ones settle the player's own voices, landing on the samples of a
// render from the start (not of another seek).
class MusicPlayerDensestSeekTest : public MusicPlayerSeekTest {
 protected:
  std::string SongFile() override {
    return WrittenSong(test_support::DensestSong(), "Densest.org");
  }
};

TEST_F(MusicPlayerDensestSeekTest, AFarSeekLandsOnTheSamplesOfARenderFromTheStart) {
  const int frames = kRate / 2;
  const std::vector<int16_t> all = Rendered(0, 14 * kRate);
  int64_t landed = 0;
  for (const uint32_t ms : {12340u, 9000u, 13010u}) {  // forwards, back, forwards again
    SCOPED_TRACE(ms);
    ASSERT_EQ(player_.SeekTo(ms), ms);
    const int64_t frame = int64_t{ms} * kRate / 1000;
    const std::vector<int16_t> played = Play(frame, frames);
    ASSERT_TRUE(std::equal(played.begin(), played.end(), all.begin() + 2 * frame));
    const org::ReplayCheckpoints* kept = player_.engine().replay_checkpoints();
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->settled_seeks, ++landed) << "the seek held its steps and landed";
  }
}

TEST_F(MusicPlayerSeekTest, TheFirstTickComesWhenTheStepInProgressEnds) {
  const int wait = player_.engine().song().wait;
  player_.SeekTo(static_cast<uint32_t>(10 * wait + wait / 4));
  EXPECT_EQ(static_cast<int>(ticks_.first_ms()), wait - wait / 4);
  EXPECT_EQ(ticks_.period_ms(), static_cast<uint32_t>(wait));
  // On a step's own start the tick the seek lands on comes at once, and plays that step.
  player_.SeekTo(static_cast<uint32_t>(10 * wait));
  EXPECT_EQ(ticks_.first_ms(), 0u);
  EXPECT_EQ(player_.engine().published_step(), 9);
  ASSERT_TRUE(ticks_.Fire());
  EXPECT_EQ(player_.engine().published_step(), 10);
}

TEST_F(MusicPlayerSeekTest, AHeldSongStaysHeldAndGoesOnFromTheNewPlace) {
  player_.SetPaused(true);
  const uint32_t ms = 20000;
  ASSERT_EQ(player_.SeekTo(ms), ms);
  EXPECT_TRUE(player_.paused());
  EXPECT_FALSE(ticks_.running());
  std::vector<int16_t> held(2 * 1000);
  output_->Render(held.data(), 1000);
  EXPECT_EQ(held, std::vector<int16_t>(held.size(), 0));
  player_.SetPaused(false);
  const int64_t frame = int64_t{ms} * kRate / 1000;
  EXPECT_EQ(Play(frame, kRate), Rendered(frame, kRate));
}

TEST_F(MusicPlayerSeekTest, TheLoopStartIsWhereItsFirstStepSounds) {
  const org::ParsedSong& song = player_.engine().song();
  EXPECT_EQ(player_.loop_start_ms(), (song.loop_start + 1) * song.wait);
  player_.PlayIndex(-1);
  EXPECT_EQ(player_.loop_start_ms(), -1);
  EXPECT_EQ(player_.SeekTo(1000), -1);
}

}  // namespace
