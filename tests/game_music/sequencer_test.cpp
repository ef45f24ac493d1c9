#include "game_music/sequencer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "game_music/engine_fixture.h"
#include "game_music/melody_voice.h"

namespace {

using org::GetSequencerState;
using org::ParsedSong;
using org::SongTick;

class SequencerTest : public test_support::EngineFixture {
 protected:
  void Load(const ParsedSong& song) {
    ASSERT_TRUE(org::LoadOrgSong(WriteSong("song.org", song).c_str()));
    device.ClearCalls();
  }
  // Buffer index of melody track t's (octave, alternate) right after a load.
  static int BufferOf(int track, int octave, int alternate) {
    return track * 16 + octave * 2 + alternate;
  }
  int PlaysSince(size_t* seen) {
    const auto plays = device.Calls("play");
    const int count = static_cast<int>(plays.size() - *seen);
    *seen = plays.size();
    return count;
  }
};

TEST_F(SequencerTest, ANoteSoundsForItsLengthAndEndsAfterTheNextStepsEvent) {
  ParsedSong song = EmptySong();
  song.tracks[0].events = {{10, 36, 3, 200, 255}, {20, 38, 1, 255, 255}};
  Load(song);
  for (int step = 0; step < 10; ++step) SongTick();
  EXPECT_EQ(GetSequencerState().play_step, 10);
  EXPECT_TRUE(device.Calls("play").empty());
  SongTick();  // step 10: start, steps_left 3 then 2
  EXPECT_EQ(org::MelodyCurrentKey(0), 36);
  EXPECT_EQ(GetSequencerState().steps_left[0], 2);
  SongTick();
  SongTick();  // steps 11, 12 sound
  EXPECT_EQ(org::MelodyCurrentKey(0), 36);
  SongTick();  // step 13: ended
  EXPECT_EQ(org::MelodyCurrentKey(0), 255);
  const auto plays = device.Calls("play");
  ASSERT_EQ(plays.size(), 2u);
  EXPECT_EQ(plays[1].value, 0);                       // the end lets the buffer finish its period
  for (int step = 14; step < 20; ++step) SongTick();  // ending a silent track does nothing
  EXPECT_EQ(device.Calls("play").size(), 2u);
}

TEST_F(SequencerTest, VolumeIsScaledByTheMasterVolumeWhileEventsLieAhead) {
  ParsedSong song = EmptySong();
  song.tracks[0].events = {{0, 36, 10, 254, 255}, {5, 255, 0, 127, 255}};
  Load(song);
  org::SetMasterVolume(0);
  SongTick();
  auto volumes = device.Calls("volume");
  ASSERT_EQ(volumes.size(), 1u);
  EXPECT_EQ(volumes[0].value, -2040);  // quiet, not silent
  org::SetMasterVolume(127);
  for (int step = 1; step < 5; ++step) SongTick();
  EXPECT_EQ(device.Calls("volume").back().value, -8);
  SongTick();  // step 5: volume-only event, no note change, and the last event passed
  volumes = device.Calls("volume");
  EXPECT_EQ(device.Calls("play").size(), 1u);
  EXPECT_EQ(GetSequencerState().track_volume[0], 127);
  const size_t after_last = volumes.size();
  org::SetMasterVolume(10);
  SongTick();
  EXPECT_EQ(device.Calls("volume").size(), after_last);  // no longer reached
}

TEST_F(SequencerTest, PanAndVolumeFollowTheNoteStartOfTheSameStep) {
  ParsedSong song = EmptySong();
  song.tracks[0].events = {{0, 36, 4, 100, 0}};
  Load(song);
  SongTick();
  const auto calls = device.Calls();
  std::vector<std::string> order;
  for (const auto& call : calls)
    if (call.what == "play" || call.what == "pan" || call.what == "volume")
      order.push_back(call.what);
  EXPECT_EQ(order, (std::vector<std::string>{"play", "pan"}));  // last event passed: no volume
}

TEST_F(SequencerTest, TheLoopReturnsAfterTheStepBeforeLoopEnd) {
  ParsedSong song = EmptySong();
  song.loop_start = 2;
  song.loop_end = 5;
  song.tracks[8].events = {{1, 40, 0, 100, 255}, {3, 40, 0, 100, 255}};
  WriteDrum("Org/Bass01.wav", std::vector<uint8_t>(64, 0x90));
  Load(song);
  size_t seen = 0;
  std::vector<int> steps;
  std::vector<int> drums;
  for (int tick = 0; tick < 9; ++tick) {
    steps.push_back(GetSequencerState().play_step);
    SongTick();
    drums.push_back(PlaysSince(&seen));
  }
  EXPECT_EQ(steps, (std::vector<int>{0, 1, 2, 3, 4, 2, 3, 4, 2}));
  EXPECT_EQ(drums, (std::vector<int>{0, 1, 0, 1, 0, 0, 1, 0, 0}));
}

TEST_F(SequencerTest, DegenerateLoopsKeepReplayingOneStep) {
  ParsedSong song = EmptySong();
  song.loop_start = 7;
  song.loop_end = 0;
  Load(song);
  SongTick();
  EXPECT_EQ(GetSequencerState().play_step, 7);
  SongTick();
  EXPECT_EQ(GetSequencerState().play_step, 7);
}

TEST_F(SequencerTest, AnEventWhosePositionPassedHoldsTheTrackBackUntilTheLoop) {
  ParsedSong song = EmptySong();
  song.loop_end = 6;
  song.tracks[0].events = {{1, 36, 0, 255, 255}, {1, 38, 0, 255, 255}, {2, 40, 0, 255, 255}};
  Load(song);
  size_t seen = 0;
  std::vector<int> plays;
  for (int tick = 0; tick < 8; ++tick) {
    SongTick();
    plays.push_back(PlaysSince(&seen));
  }
  // Step 1 starts and ends key 36 (two plays); the duplicate at step 1 blocks key 40 at step 2.
  EXPECT_EQ(plays, (std::vector<int>{0, 2, 0, 0, 0, 0, 0, 2}));
}

TEST_F(SequencerTest, StateCarriesOverFromTheSongBefore) {
  ParsedSong song = EmptySong();
  song.tracks[0].events = {{0, 36, 50, 77, 255}};
  Load(song);
  SongTick();
  Load(EmptySong());
  EXPECT_EQ(GetSequencerState().steps_left[0], 49);
  EXPECT_EQ(GetSequencerState().track_volume[0], 77);
}

TEST_F(SequencerTest, TheTimerBookkeepingPairsRequestsAndReleases) {
  EXPECT_FALSE(org::StopSongTimer());  // stop before any start: nothing
  EXPECT_EQ(org::ResolutionRequestsInForce(), 0);
  org::StartSongTimer(90);
  EXPECT_EQ(org::LastResolutionRequest(), 13u);  // the remembered period
  EXPECT_EQ(org::ResolutionRequestsInForce(), 1);
  EXPECT_TRUE(ticks.running());
  EXPECT_EQ(ticks.period_ms(), 90u);
  EXPECT_TRUE(org::StopSongTimer());
  EXPECT_EQ(org::ResolutionRequestsInForce(), 0);
  EXPECT_FALSE(org::StopSongTimer());  // the second stop fails at the kill
  EXPECT_EQ(org::ResolutionRequestsInForce(), 0);
  org::StartSongTimer(50);
  EXPECT_EQ(org::LastResolutionRequest(), 90u);  // the previous song's wait
  org::StopSongTimer();
}

TEST_F(SequencerTest, StartingWhileTheTimerRunsStopsTheOldTimerFirst) {
  org::StartSongTimer(90);
  const uint32_t first = org::GetSequencerState().timer_id;
  org::StartSongTimer(40);
  // The new timer runs and the old one is gone: a stop reaches the one that ticks.
  EXPECT_NE(org::GetSequencerState().timer_id, 0u);
  EXPECT_NE(org::GetSequencerState().timer_id, first);
  EXPECT_EQ(ticks.period_ms(), 40u);
  EXPECT_EQ(org::ResolutionRequestsInForce(), 1);
  EXPECT_TRUE(org::StopSongTimer());
  EXPECT_FALSE(ticks.running());
  EXPECT_EQ(org::ResolutionRequestsInForce(), 0);
}

}  // namespace
