#include "app/jukebox_screen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>

#include "runtime/core/random.h"
#include "test_support/recording_jukebox_player.h"

namespace {

using app::JukeboxScreen;

uint32_t g_now = 1000;
uint32_t Now() { return g_now; }

class JukeboxScreenTest : public testing::Test {
 protected:
  explicit JukeboxScreenTest(int songs = 5) : player_(songs), screen_(&player_, &font_, &keys_) {
    font_.SetCellDrawerForTesting([](int, int, int) {});
    screen_.SetClockForTesting(&Now);
    screen_.ResetPlayOrder();
    runtime::ResetRandom();
    g_now = 1000;
  }
  // One frame with `key` newly down (0: none): the key update, then the screen step.
  void Frame(int key = 0) {
    uint8_t states[256] = {};
    if (key) states[key] = 1;
    keys_.UpdateFrom(states, 0);
    screen_.Step();
    uint8_t none[256] = {};
    keys_.UpdateFrom(none, 0);  // released again before the next frame
  }

  test_support::RecordingJukeboxPlayer player_;
  app::BitmapFont font_;
  app::KeyTracker keys_;
  JukeboxScreen screen_;
};

constexpr int kRight = 205;
constexpr int kLeft = 203;
constexpr int kSpace = 57;

TEST_F(JukeboxScreenTest, NextAndPreviousWrapAroundTheSongs) {
  Frame(kRight);  // before any play: the position of -1 is -1, so song 0
  EXPECT_EQ(player_.current_, 0);
  Frame(kLeft);
  EXPECT_EQ(player_.current_, 4);
  Frame(kRight);
  EXPECT_EQ(player_.current_, 0);
}

TEST_F(JukeboxScreenTest, LeftBeforeAnyPlayPlaysTheLastSong) {
  Frame(kLeft);
  EXPECT_EQ(player_.current_, 4);
}

TEST_F(JukeboxScreenTest, PlayRestartsTheSongAtItsOwnPosition) {
  Frame(kSpace);
  EXPECT_EQ(player_.plays, (std::vector<int>{-1, 0}));
  player_.current_ = 3;
  Frame(25);  // P
  EXPECT_EQ(player_.plays.back(), 3);
  EXPECT_EQ(player_.plays[player_.plays.size() - 2], -1);
}

TEST_F(JukeboxScreenTest, TheAutomaticAdvanceNeverChoosesTheEmptyLastEntry) {
  Frame(kLeft);   // song 4
  Frame();        // the new song number restarts the time
  g_now += 3999;  // 3 s shown: not yet past the limit
  Frame();
  EXPECT_TRUE(player_.switches.empty());
  g_now += 1;  // 4 s: past its 3
  Frame();
  EXPECT_EQ(player_.switches, (std::vector<int>{0}));
  Frame(18);  // E: endless repeat stops the requests
  EXPECT_TRUE(screen_.endless());
  const size_t requests = player_.switches.size();
  g_now += 1000;
  Frame();
  EXPECT_EQ(player_.switches.size(), requests);
}

TEST_F(JukeboxScreenTest, ShuffleKeepsTheLastEntryAndResetRestoresTheOrder) {
  Frame(31);  // S
  EXPECT_TRUE(screen_.shuffle());
  EXPECT_EQ(screen_.play_order(5), 5);
  std::vector<int> seen;
  for (int i = 0; i < 5; ++i) seen.push_back(screen_.play_order(i));
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3, 4}));
  Frame(32);  // D
  EXPECT_FALSE(screen_.shuffle());
  for (int i = 0; i < 6; ++i) EXPECT_EQ(screen_.play_order(i), i);
  EXPECT_TRUE(player_.plays.empty());  // neither plays anything
}

TEST_F(JukeboxScreenTest, TheTimeCountsFromTheLastPlay) {
  Frame();
  EXPECT_EQ(screen_.shown_seconds(), 0u);  // not running before the first play
  Frame(kSpace);
  Frame();  // the new song number restarts the time
  g_now += 65000;
  Frame();
  EXPECT_EQ(screen_.shown_seconds(), 65u);
}

class EmptyPlaylistTest : public JukeboxScreenTest {
 protected:
  EmptyPlaylistTest() : JukeboxScreenTest(0) {}
};

TEST_F(EmptyPlaylistTest, SongKeysDoNothingWithoutSongs) {
  // Regression: with no songs the keys reached play-order positions that hold no song.
  for (int key : {kSpace, 25, kLeft, kRight, 31}) Frame(key);
  EXPECT_TRUE(player_.plays.empty());
  EXPECT_FALSE(screen_.shuffle());
  player_.count_ = 0;  // no playlist at all
  for (int key : {kSpace, kLeft, kRight, 31, 32}) Frame(key);
  EXPECT_TRUE(player_.plays.empty());
}

}  // namespace

namespace {

// A desktop playlist past the game's 120 songs: every song is in the order, and numbers past 99
// are drawn whole, a digit more to the left, the title keeping its place.
TEST(LongPlaylistTest, TwoHundredSongsAllPlayAndShowTheirNumbers) {
  test_support::RecordingJukeboxPlayer player(0);
  app::BitmapFont font;
  std::vector<std::tuple<int, int, int>> cells;
  font.SetCellDrawerForTesting([&](int cell, int x, int y) { cells.emplace_back(cell, x, y); });
  app::KeyTracker keys;
  JukeboxScreen screen(&player, &font, &keys);
  for (int i = 0; i < 200; ++i)
    ASSERT_EQ(screen.model().AppendSong("/music/" + std::to_string(i) + ".org", "SONG", 30), i);
  screen.ResetPlayOrder();
  screen.model().PlayEntry(199);
  screen.model().Next();
  EXPECT_EQ(player.current_, 0);  // wraps after the 200th
  screen.model().Previous();
  EXPECT_EQ(player.current_, 199);
  screen.model().ShuffleOn();
  std::vector<int> order;
  for (int p = 0; p < 200; ++p) order.push_back(screen.model().play_order(p));
  std::sort(order.begin(), order.end());
  for (int p = 0; p < 200; ++p) ASSERT_EQ(order[p], p);
  screen.model().PlayEntry(125);
  cells.clear();
  screen.Step();
  std::vector<std::tuple<int, int, int>> number;
  for (const auto& cell : cells)
    if (std::get<2>(cell) == 72 && std::get<1>(cell) < 80) number.push_back(cell);
  EXPECT_EQ(number, (std::vector<std::tuple<int, int, int>>{
                        {1, 52, 72}, {2, 60, 72}, {5, 68, 72}, {120, 44, 72}}));
}

}  // namespace
