// Seeks that hold their steps up to a little before the target and let the last steps settle the
// voices (org/settling_replay.h), met through the offline renderer: where they land they land on
// the samples of a render from the start; where a voice the held steps left sounding is not
// settled, the seek replays as before and still lands exactly.
#include "org/settling_replay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "org/org_writer.h"
#include "org/replay_checkpoints.h"
#include "org/song_renderer.h"
#include "test_support/drum_wav.h"
#include "test_support/test_song.h"

namespace {

std::unique_ptr<org::SongRenderer> OpenSong(const org::ParsedSong& song, int rate,
                                            org::DrumProvider drums = {}) {
  const std::vector<uint8_t> bytes = org::SerializeOrgSong(song);
  org::RenderSettings settings;
  settings.rate = rate;
  settings.drums = std::move(drums);
  org::RenderError error = org::RenderError::kNone;
  std::string reason;
  return org::SongRenderer::Open(bytes.data(), bytes.size(), settings, &error, &reason);
}

std::vector<int16_t> Render(org::SongRenderer& renderer, size_t frames) {
  std::vector<int16_t> out(2 * frames);
  out.resize(2 * renderer.RenderS16(out.data(), frames));
  return out;
}

const org::ReplayCheckpoints& Kept(org::SongRenderer& renderer) {
  const org::ReplayCheckpoints* kept = renderer.engine().replay_checkpoints();
  EXPECT_NE(kept, nullptr);
  static const org::ReplayCheckpoints none(org::ParsedSong{}, 44100);
  return kept ? *kept : none;
}

// Where the rendered frames from `frame` on are the same as a render from the start's.
testing::AssertionResult SameAs(const std::vector<int16_t>& got, const std::vector<int16_t>& all,
                                uint64_t frame) {
  if (2 * frame + got.size() > all.size()) return testing::AssertionFailure() << "past the render";
  const auto differs = std::mismatch(got.begin(), got.end(), all.begin() + 2 * frame);
  if (differs.first == got.end()) return testing::AssertionSuccess();
  return testing::AssertionFailure()
         << "frame " << frame + (differs.first - got.begin()) / 2 << " differs";
}

// The densest song the format allows: every voice is played out within the last steps before any
// target, so the seeks hold their steps over whole passes and land, fresh or kept open, back and
// forth, at rates where a tick's place within a frame recurs after 1, 5 and 1000 passes.
TEST(SettlingReplayTest, SeeksIntoTheDensestSongLandOnTheSamplesOfARender) {
  for (const int rate : {44100, 48000, 8001}) {
    SCOPED_TRACE(rate);
    const org::ParsedSong song = test_support::DensestSong();
    std::unique_ptr<org::SongRenderer> played = OpenSong(song, rate);
    ASSERT_TRUE(played);
    const std::vector<int16_t> all = Render(*played, static_cast<size_t>(rate) * 14);
    const uint64_t second = static_cast<uint64_t>(rate);
    std::unique_ptr<org::SongRenderer> kept = OpenSong(song, rate);
    int64_t landed = 0;
    for (const uint64_t target : {second * 13 + 17, second * 9 + 4321, second * 12, second * 5}) {
      SCOPED_TRACE(target);
      std::unique_ptr<org::SongRenderer> fresh = OpenSong(song, rate);
      fresh->Seek(target);
      EXPECT_TRUE(SameAs(Render(*fresh, second / 2), all, target));
      EXPECT_EQ(Kept(*fresh).settled_seeks, 1) << "the seek held its steps and landed";
      kept->Seek(target);
      ASSERT_EQ(kept->Position(), target);
      EXPECT_TRUE(SameAs(Render(*kept, second / 4), all, target)) << "kept open";
      EXPECT_EQ(Kept(*kept).settled_seeks, ++landed);
    }
  }
}

// Random songs whose loops are longer than the places the engine's state is kept at (every 256
// steps or more): seeks step over whole rounds to one of those places inside a pass, merging
// what was held before and after it. Fresh and kept open, at six rates, against a render.
TEST(SettlingReplayTest, SeeksIntoRandomSongsOfLongLoopsLandOnTheSamplesOfARender) {
  int64_t landed = 0;
  for (uint32_t seed = 0; seed < 120; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 random(seed);
    const auto below = [&](int n) { return static_cast<int>(random() % static_cast<uint32_t>(n)); };
    org::ParsedSong song;
    song.version = 2;
    song.wait = static_cast<uint16_t>(1 + below(3));
    song.loop_start = below(50);
    song.loop_end = song.loop_start + 257 + below(2500);
    for (int tracks = 1 + below(10); tracks > 0; --tracks) {
      org::ParsedSong::Track& track = song.tracks[below(16)];
      const bool melody = &track < &song.tracks[8];
      track.events.clear();
      track.wave = static_cast<uint8_t>(below(melody ? 100 : 28));
      track.one_shot = below(6) == 0;
      track.finetune = static_cast<uint16_t>(900 + below(200));
      for (int step = 0; step <= song.loop_end && track.events.size() < 4000;
           step += 1 + below(below(4) ? 3 : 40))
        track.events.push_back({step, static_cast<uint8_t>(below(6) == 0 ? 255 : below(96)),
                                static_cast<uint8_t>(1 + below(below(3) ? 8 : 200)),
                                static_cast<uint8_t>(below(4) == 0 ? 255 : below(255)),
                                static_cast<uint8_t>(below(3) == 0 ? 255 : below(13))});
    }
    const int rates[] = {44100, 48000, 8001, 22050, 11025, 32000};
    const int rate = rates[below(6)];
    std::unique_ptr<org::SongRenderer> played = OpenSong(song, rate);
    ASSERT_TRUE(played);
    const std::vector<int16_t> all = Render(*played, static_cast<size_t>(rate) * 40);
    if (all.size() / 2 < static_cast<size_t>(rate) * 20) continue;  // a song that ends early
    std::unique_ptr<org::SongRenderer> kept = OpenSong(song, rate);
    for (int i = 0; i < 4; ++i) {
      const uint64_t target = random() % (all.size() / 2 - 3000);
      SCOPED_TRACE(target);
      std::unique_ptr<org::SongRenderer> fresh = OpenSong(song, rate);
      for (org::SongRenderer* sought : {fresh.get(), kept.get()}) {
        sought->Seek(target);
        ASSERT_TRUE(SameAs(Render(*sought, 2000), all, target));
      }
      landed += Kept(*fresh).settled_seeks;
    }
  }
  EXPECT_GT(landed, 20) << "seeks the held way";
}

// A drum hit once a pass at the lowest rate, its sample far longer than the pass: it still sounds
// through the last steps before any target without a call that settles it, so the held seek must
// not take it for stopped. It goes back, and the replay of every step lands exactly.
TEST(SettlingReplayTest, AVoiceTheHeldStepsLeftSoundingMakesTheSeekReplayEveryStep) {
  org::ParsedSong song;
  song.version = 2;
  song.wait = 1;
  song.loop_start = 0;
  song.loop_end = 1024;
  song.tracks[8].wave = 0;
  song.tracks[8].events = {{0, 0, 1, 200, 6}, {1000, 255, 1, 180, 3}};
  song.tracks[0].wave = 3;
  for (int step = 0; step < 1024; step += 8)
    song.tracks[0].events.push_back({step, static_cast<uint8_t>(30 + step % 40), 2, 150, 6});
  std::vector<uint8_t> ramp(30000);
  for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<uint8_t>(i * 7);
  const std::string long_drum = test_support::DrumWav(ramp, 11025);
  const org::DrumProvider drums = [&](int, int, std::vector<uint8_t>* bytes) {
    bytes->assign(long_drum.begin(), long_drum.end());
    return true;
  };
  const int rate = 22050;
  std::unique_ptr<org::SongRenderer> played = OpenSong(song, rate, drums);
  ASSERT_TRUE(played);
  const std::vector<int16_t> all = Render(*played, static_cast<size_t>(rate) * 8);
  for (const uint64_t target : {uint64_t{rate} * 7 + 1234, uint64_t{rate} * 6 + 15000}) {
    SCOPED_TRACE(target);
    std::unique_ptr<org::SongRenderer> sought = OpenSong(song, rate, drums);
    sought->Seek(target);
    EXPECT_TRUE(SameAs(Render(*sought, 4000), all, target));
    EXPECT_TRUE(Kept(*sought).settling_failed);
    EXPECT_EQ(Kept(*sought).settled_seeks, 0);
  }
}

}  // namespace
