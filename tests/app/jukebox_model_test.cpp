// The jukebox's model beyond the screen's keys: pause, volume, songs appended, stop.
#include "app/jukebox_model.h"

#include <gtest/gtest.h>

#include <vector>

#include "runtime/core/random.h"
#include "test_support/recording_jukebox_player.h"

namespace {

uint32_t g_now = 1000;
uint32_t Now() { return g_now; }

class JukeboxModelTest : public testing::Test {
 protected:
  JukeboxModelTest() : player_(3), model_(&player_, &Now) {
    g_now = 1000;
    model_.ResetPlayOrder();
  }
  void Frame() {
    model_.BeginFrame();
    model_.AutoAdvance();
  }
  test_support::RecordingJukeboxPlayer player_;
  app::JukeboxModel model_;
};

TEST_F(JukeboxModelTest, APauseHoldsTheTimeTheLimitAndTheSound) {
  model_.SetPaused(true);  // nothing plays: nothing to hold
  EXPECT_FALSE(model_.paused());
  model_.Play();
  Frame();
  g_now += 2000;
  model_.SetPaused(true);
  EXPECT_TRUE(player_.paused);
  g_now += 60000;  // a long pause: past the song's 3 s, but nothing advances
  Frame();
  EXPECT_EQ(model_.shown_seconds(), 2u);
  EXPECT_TRUE(player_.switches.empty());
  model_.TogglePause();
  EXPECT_FALSE(player_.paused);
  g_now += 1500;
  Frame();
  EXPECT_EQ(model_.shown_seconds(), 3u);  // it goes on from where it stood
  g_now += 1000;
  Frame();
  EXPECT_EQ(player_.switches, (std::vector<int>{1}));
}

// The game's rule, kept on purpose: under shuffle, Play and the advance index the play order by
// the current song's number, not by where that song stands in the order.
TEST_F(JukeboxModelTest, UnderShufflePlayAndTheAdvanceIndexTheOrderByTheSongsNumber) {
  test_support::RecordingJukeboxPlayer five(5);
  app::JukeboxModel model(&five, &Now);
  model.ResetPlayOrder();
  runtime::ResetRandom();
  model.ShuffleOn();
  std::vector<int> order;
  for (int p = 0; p < 5; ++p) order.push_back(model.play_order(p));
  ASSERT_NE(order, (std::vector<int>{0, 1, 2, 3, 4}));
  model.PlayEntry(1);
  model.Play();  // song 1 plays: Play restarts the song at position 1
  EXPECT_EQ(five.current_, order[1]);
  const int song = five.current_;
  model.BeginFrame();
  g_now += 4000;
  model.BeginFrame();
  model.AutoAdvance();  // position (song's number + 1), wrapping after the last
  EXPECT_EQ(five.switches, (std::vector<int>{order[song + 1 >= 5 ? 0 : song + 1]}));
}

TEST_F(JukeboxModelTest, AfterTheLastSongTheOrderGoesRoundUnlessToldToStop) {
  model_.PlayEntry(2);  // the last of three
  Frame();
  g_now += 4000;  // past its 3 s
  Frame();
  EXPECT_EQ(player_.switches, (std::vector<int>{0}));
  model_.SetStopAfterLast(true);
  Frame();
  EXPECT_EQ(player_.switches, (std::vector<int>{0, -1}));  // a fade to nothing
}

TEST_F(JukeboxModelTest, PlayingAnotherSongLetsGoOfAPause) {
  model_.Play();
  model_.SetPaused(true);
  model_.Next();
  EXPECT_FALSE(model_.paused());
  EXPECT_FALSE(player_.paused);
  EXPECT_EQ(player_.current_, 1);
}

TEST_F(JukeboxModelTest, TheVolumeStepsThreeDecibelsDownToSilence) {
  EXPECT_EQ(app::JukeboxModel::GainForStep(0), 32768);  // 0 dB: the output as it always was
  EXPECT_EQ(app::JukeboxModel::GainForStep(1), 23198);  // -3 dB
  EXPECT_EQ(app::JukeboxModel::GainForStep(15), 184);   // -45 dB
  EXPECT_EQ(app::JukeboxModel::GainForStep(app::kVolumeSilent), 0);
  model_.VolumeUp();  // already at the top
  EXPECT_EQ(model_.volume_step(), 0);
  for (int i = 0; i < 20; ++i) model_.VolumeDown();
  EXPECT_EQ(model_.volume_step(), app::kVolumeSilent);
  EXPECT_EQ(player_.gains.back(), 0);
  model_.VolumeUp();
  EXPECT_EQ(player_.gains.back(), 184);
}

TEST_F(JukeboxModelTest, AppendedSongsJoinThePlayOrderAndCanBePlayed) {
  model_.ShuffleOn();
  const int index = model_.AppendSong("/music/new.org", "NEW", 40);
  EXPECT_EQ(index, 3);
  EXPECT_EQ(model_.play_order(3), 3);
  EXPECT_EQ(model_.play_order(4), 4);  // the empty entry stays last
  model_.PlayEntry(index);
  EXPECT_EQ(player_.current_, 3);
  model_.PlayEntry(9);  // no such entry
  EXPECT_EQ(player_.current_, 3);
}

TEST(JukeboxModelEmptyTest, SongsAppendedToNoPlaylistStartAtEntryZero) {
  test_support::RecordingJukeboxPlayer player(0);
  player.count_ = 0;  // no playlist at all
  app::JukeboxModel model(&player, &Now);
  EXPECT_EQ(model.AppendSong("/a.org", "A", 30), 0);
  EXPECT_EQ(model.AppendSong("/b.org", "B", 30), 1);
  EXPECT_EQ(model.entry_count(), 3);
}

TEST_F(JukeboxModelTest, StopEndsTheSongAndTheTime) {
  model_.Play();
  g_now += 5000;
  model_.Stop();
  EXPECT_EQ(player_.plays.back(), -1);
  Frame();
  EXPECT_EQ(model_.shown_seconds(), 0u);
  EXPECT_FALSE(model_.playing());
}

}  // namespace

namespace {

class JukeboxModelSeekTest : public JukeboxModelTest {};

TEST_F(JukeboxModelSeekTest, ASeekMovesTheElapsedTimeToWhereThePlayerLanded) {
  EXPECT_FALSE(model_.SeekTo(1000));  // nothing plays
  EXPECT_TRUE(player_.seeks.empty());
  model_.Play();
  g_now += 500;
  ASSERT_TRUE(model_.SeekTo(2345));
  EXPECT_EQ(model_.elapsed_ms(), 2300u);  // where it landed, not where it was asked
  EXPECT_EQ(model_.seek_count(), 1u);
  g_now += 200;
  EXPECT_EQ(model_.elapsed_ms(), 2500u);
  ASSERT_TRUE(model_.SeekBy(-app::kSeekStepMs));  // never before the start
  EXPECT_EQ(player_.seeks.back(), 0u);
  EXPECT_EQ(model_.elapsed_ms(), 0u);
  ASSERT_TRUE(model_.SeekToLoopStart());
  EXPECT_EQ(model_.elapsed_ms(), 1300u);
  EXPECT_EQ(model_.seek_count(), 3u);
}

TEST_F(JukeboxModelSeekTest, AHeldSongStaysHeldAtItsNewPlace) {
  model_.Play();
  model_.SetPaused(true);
  ASSERT_TRUE(model_.SeekTo(2000));
  EXPECT_TRUE(model_.paused());
  g_now += 5000;
  Frame();
  EXPECT_EQ(model_.elapsed_ms(), 2000u);
  EXPECT_TRUE(player_.switches.empty());
  model_.SetPaused(false);
  g_now += 1000;
  EXPECT_EQ(model_.elapsed_ms(), 3000u);
}

TEST_F(JukeboxModelSeekTest, SeekingPastTheTimeLimitFadesIntoTheNextSong) {
  model_.Play();
  Frame();
  ASSERT_TRUE(model_.SeekTo(3500));  // the limit is 3 s
  Frame();
  EXPECT_TRUE(player_.switches.empty());  // its second is not yet past
  ASSERT_TRUE(model_.SeekTo(4000));
  Frame();
  EXPECT_EQ(player_.switches, (std::vector<int>{1}));
}

TEST_F(JukeboxModelSeekTest, ThePlayedLengthIsTheLimitItsSecondAndTheFadeUnlessEndless) {
  EXPECT_EQ(model_.played_length_ms(0), 4000 + app::kFadeMs);
  model_.SetEndless(true);
  EXPECT_EQ(model_.played_length_ms(0), -1);
}

}  // namespace

namespace {

TEST_F(JukeboxModelSeekTest, TheSongThatGoesOnKeepsItsTime) {
  test_support::RecordingJukeboxPlayer one(1);
  app::JukeboxModel model(&one, &Now);
  model.ResetPlayOrder();
  model.Play();
  g_now += 4000;
  model.Next();  // the only song: the player goes on with it
  EXPECT_EQ(model.elapsed_ms(), 4000u);
  model.Play();  // Space plays it from its start again
  EXPECT_EQ(model.elapsed_ms(), 0u);
}

}  // namespace
