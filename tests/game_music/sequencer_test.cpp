// The game's sequencer and its timer: each start takes a resolution request from the remembered
// period (the song before's wait) and holds it until the stop that follows; a start while the
// timer runs replaces the old timer; SongTick plays the face's engine.
#include "game_music/sequencer.h"

#include <gtest/gtest.h>

#include "game_music/engine_fixture.h"
#include "game_music/game_engine.h"

namespace {

class SequencerTest : public test_support::EngineFixture {};

TEST_F(SequencerTest, EachStartRequestsTheRememberedPeriodUntilItsStop) {
  org::SongTimer timer(&org::GameEngine());
  timer.SetTickSource(&ticks);
  EXPECT_FALSE(timer.Stop());  // stop before any start: nothing
  EXPECT_FALSE(timer.resolution_held());
  timer.Start(90);
  EXPECT_EQ(timer.last_resolution_request(), 13u);  // the period remembered before any song
  EXPECT_TRUE(timer.resolution_held());
  EXPECT_TRUE(ticks.running());
  EXPECT_EQ(ticks.period_ms(), 90u);
  EXPECT_TRUE(timer.Stop());
  EXPECT_FALSE(timer.resolution_held());
  EXPECT_FALSE(timer.Stop());  // the second stop fails at the kill
  timer.Start(50);
  EXPECT_EQ(timer.last_resolution_request(), 90u);  // the previous song's wait
  EXPECT_EQ(timer.period(), 50u);
  timer.StartAfter(0, 1);
  EXPECT_EQ(timer.last_resolution_request(), 50u);
  timer.Start(70);
  EXPECT_EQ(timer.last_resolution_request(), 1u);  // never below the platform's 1 ms
  timer.Stop();
}

TEST_F(SequencerTest, StartingWhileTheTimerRunsStopsTheOldTimerFirst) {
  org::StartSongTimer(90);
  const uint32_t first = org::GetSequencerState().timer_id;
  org::StartSongTimer(40);
  // The new timer runs and the old one is gone: a stop reaches the one that ticks.
  EXPECT_NE(org::GetSequencerState().timer_id, 0u);
  EXPECT_NE(org::GetSequencerState().timer_id, first);
  EXPECT_EQ(ticks.period_ms(), 40u);
  EXPECT_EQ(org::LastResolutionRequest(), 90u);
  EXPECT_TRUE(org::StopSongTimer());
  EXPECT_FALSE(ticks.running());
  EXPECT_FALSE(org::StopSongTimer());
}

TEST_F(SequencerTest, TheTimersTicksAndSongTickPlayTheFaceEngine) {
  org::ParsedSong song = EmptySong();
  song.tracks[0].events = {{1, 36, 4, 200, 255}};
  ASSERT_TRUE(org::LoadOrgSong(WriteSong("song.org", song).c_str()));
  org::StartSongTimer(song.wait);
  EXPECT_EQ(org::GetSequencerState().timer_period, 100u);
  ticks.Fire();  // step 0
  EXPECT_EQ(org::PublishedPlayStep(), 1);
  org::SongTick();  // step 1: the note starts
  EXPECT_EQ(org::GameEngine().melody().current_key(0), 36);
  EXPECT_EQ(org::GetSequencerState().play_step, 2);
  org::SetMasterVolume(20);
  EXPECT_EQ(org::MasterVolume(), 20);
  org::StopSongTimer();
}

}  // namespace
