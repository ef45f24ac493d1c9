// The loop as the jukebox's sequencer plays it, against what every other path predicts from the
// song's header (org/song_loop): where the loop start first sounds, how long a pass is, when the
// loop count turns over, for ordinary loops, loops of no steps, loops that end before they start,
// starts outside the song and the largest steps a file can hold.
#include "org/song_loop.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <vector>

#include "org/engine.h"

namespace {

org::ParsedSong LoopSong(int32_t loop_start, int32_t loop_end) {
  org::ParsedSong song;
  song.version = 2;
  song.wait = 10;
  song.loop_start = loop_start;
  song.loop_end = loop_end;
  song.tracks[0].events = {{0, 40, 1, 200, 6}};
  return song;
}

struct Played {
  std::vector<int32_t> steps;        // the step each tick played
  std::vector<int32_t> loop_counts;  // the loop count after each tick
};

Played Play(const org::ParsedSong& song, int ticks) {
  org::Engine engine;  // no device: the sequencer alone
  const std::vector<uint8_t> bytes = org::SerializeOrgSong(song);
  EXPECT_EQ(engine.Load(bytes.data(), bytes.size(), org::BuiltInDrums()).status,
            org::LoadStatus::kOk);
  Played played;
  for (int k = 0; k < ticks; ++k) {
    engine.Tick();
    played.steps.push_back(engine.last_played_step());
    played.loop_counts.push_back(engine.loop_count());
  }
  return played;
}

TEST(SongLoopTest, EveryKindOfLoopPlaysAsItsPlanSays) {
  const struct {
    int32_t start, end;
  } loops[] = {{0, 4},        {2, 6},  {4, 4}, {6, 2},         {-3, 4},
               {0, 0},        {5, -2}, {3, 1}, {INT32_MAX, 2}, {INT32_MAX - 2, INT32_MAX},
               {INT32_MIN, 3}};
  for (const auto& l : loops) {
    SCOPED_TRACE(testing::Message() << "loop " << l.start << ".." << l.end);
    const org::ParsedSong song = LoopSong(l.start, l.end);
    const org::SongLoop loop = org::LoopOf(song);
    if (loop.intro_steps > 1000 || loop.loop_steps > 1000) {
      // Too long to tick through: the figures alone, exact and unwrapped.
      EXPECT_EQ(loop.intro_steps,
                l.start >= 0 && l.start < l.end ? int64_t{l.start} : int64_t{l.end});
      EXPECT_EQ(loop.StepsForPasses(INT64_MAX / 2), INT64_MAX);
      continue;
    }
    const int passes = 5;
    const int ticks = static_cast<int>(loop.StepsForPasses(passes)) + 1;
    const Played played = Play(song, ticks);
    // The loop start first sounds on tick intro + 1, and each pass is loop_steps long.
    EXPECT_EQ(played.steps[loop.intro_steps], l.start);
    for (int p = 1; p <= passes; ++p) {
      const int64_t last = loop.StepsForPasses(p);  // ticks played by the end of pass p
      // The pass's last step sounds whole: the count turns over only as the start sounds again.
      EXPECT_EQ(played.loop_counts[last - 1], p - 1) << "pass " << p;
      EXPECT_EQ(played.loop_counts[last], p) << "pass " << p;
      EXPECT_EQ(played.steps[last], l.start) << "pass " << p;
    }
    // The first pass of the loop ends where the library says it does.
    EXPECT_EQ(loop.StepsForPasses(1), loop.intro_steps + loop.loop_steps);
  }
}

TEST(SongLoopTest, AStepAtTheLargestNumberGoesBackInsteadOfWrapping) {
  // Steps 0 and 1, then the loop start at INT32_MAX, again and again (one step repeated).
  const Played played = Play(LoopSong(INT32_MAX, 2), 6);
  EXPECT_EQ(played.steps, (std::vector<int32_t>{0, 1, INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX}));
  EXPECT_EQ(played.loop_counts, (std::vector<int32_t>{0, 0, 0, 1, 2, 3}));
  // A loop that ends at INT32_MAX reaches its last step and goes back.
  org::Engine engine;
  const std::vector<uint8_t> bytes = org::SerializeOrgSong(LoopSong(0, INT32_MAX));
  ASSERT_EQ(engine.Load(bytes.data(), bytes.size(), org::BuiltInDrums()).status,
            org::LoadStatus::kOk);
  engine.Tick();  // step 0 and its note
  engine.Tick();
  engine.Tick();  // now every step ahead is idle up to the last
  EXPECT_EQ(engine.SkipIdleSteps(INT64_MAX), int64_t{INT32_MAX} - 1 - 3);
  EXPECT_EQ(engine.published_step(), INT32_MAX - 1);
  engine.Tick();
  EXPECT_EQ(engine.last_played_step(), INT32_MAX - 1);
  EXPECT_EQ(engine.published_step(), 0);
}

}  // namespace
