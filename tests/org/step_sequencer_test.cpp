// One engine's sequencer, on a recording device: notes start and end on their steps, volumes
// follow the master volume while events lie ahead, the loop returns where it should, and the
// per-track state carries over from the song before.
#include "org/step_sequencer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "org/engine.h"
#include "test_support/drum_wav.h"
#include "test_support/recording_sound_device.h"
#include "test_support/test_song.h"

namespace {

using org::ParsedSong;

class StepSequencerTest : public testing::Test {
 protected:
  StepSequencerTest() {
    const std::vector<uint8_t> bank(org::kWaveBankBytes, 0x10);
    engine.SetWaveBank(org::WaveBank::Overlay(nullptr, bank.data(), bank.size()));
  }
  static ParsedSong EmptySong() { return test_support::EmptyTestSong(); }
  // Loads the song with a short drum for every drum track.
  void Load(const ParsedSong& song) {
    const std::vector<uint8_t> bytes = org::SerializeOrgSong(song);
    const auto drums = [](int, int, std::vector<uint8_t>* file) {
      const std::string wav = test_support::DrumWav(std::vector<uint8_t>(64, 0x90));
      file->assign(wav.begin(), wav.end());
      return true;
    };
    ASSERT_EQ(engine.Load(bytes.data(), bytes.size(), drums).status, org::LoadStatus::kOk);
    device.ClearCalls();
  }
  int PlaysSince(size_t* seen) {
    const auto plays = device.Calls("play");
    const int count = static_cast<int>(plays.size() - *seen);
    *seen = plays.size();
    return count;
  }

  test_support::RecordingSoundDevice device;
  org::Engine engine{&device};  // after the device: its voices go first
};

TEST_F(StepSequencerTest, ANoteSoundsForItsLengthAndEndsAfterTheNextStepsEvent) {
  ParsedSong song = EmptySong();
  song.tracks[0].events = {{10, 36, 3, 200, 255}, {20, 38, 1, 255, 255}};
  Load(song);
  for (int step = 0; step < 10; ++step) engine.Tick();
  EXPECT_EQ(engine.sequencer_state().play_step, 10);
  EXPECT_TRUE(device.Calls("play").empty());
  engine.Tick();  // step 10: start, steps_left 3 then 2
  EXPECT_EQ(engine.melody().current_key(0), 36);
  EXPECT_EQ(engine.sequencer_state().steps_left[0], 2);
  engine.Tick();
  engine.Tick();  // steps 11, 12 sound
  EXPECT_EQ(engine.melody().current_key(0), 36);
  engine.Tick();  // step 13: ended
  EXPECT_EQ(engine.melody().current_key(0), 255);
  const auto plays = device.Calls("play");
  ASSERT_EQ(plays.size(), 2u);
  EXPECT_EQ(plays[1].value, 0);  // the end lets the buffer finish its period
  for (int step = 14; step < 20; ++step) engine.Tick();  // ending a silent track does nothing
  EXPECT_EQ(device.Calls("play").size(), 2u);
}

TEST_F(StepSequencerTest, VolumeIsScaledByTheMasterVolumeWhileEventsLieAhead) {
  ParsedSong song = EmptySong();
  song.tracks[0].events = {{0, 36, 10, 254, 255}, {5, 255, 0, 127, 255}};
  Load(song);
  engine.SetMasterVolume(0);
  engine.Tick();
  auto volumes = device.Calls("volume");
  ASSERT_EQ(volumes.size(), 1u);
  EXPECT_EQ(volumes[0].value, -2040);  // quiet, not silent
  engine.SetMasterVolume(127);
  for (int step = 1; step < 5; ++step) engine.Tick();
  EXPECT_EQ(device.Calls("volume").back().value, -8);
  engine.Tick();  // step 5: volume-only event, no note change, and the last event passed
  volumes = device.Calls("volume");
  EXPECT_EQ(device.Calls("play").size(), 1u);
  EXPECT_EQ(engine.sequencer_state().track_volume[0], 127);
  const size_t after_last = volumes.size();
  engine.SetMasterVolume(10);
  engine.Tick();
  EXPECT_EQ(device.Calls("volume").size(), after_last);  // no longer reached
}

TEST_F(StepSequencerTest, PanAndVolumeFollowTheNoteStartOfTheSameStep) {
  ParsedSong song = EmptySong();
  song.tracks[0].events = {{0, 36, 4, 100, 0}};
  Load(song);
  engine.Tick();
  const auto calls = device.Calls();
  std::vector<std::string> order;
  for (const auto& call : calls)
    if (call.what == "play" || call.what == "pan" || call.what == "volume")
      order.push_back(call.what);
  EXPECT_EQ(order, (std::vector<std::string>{"play", "pan"}));  // last event passed: no volume
}

TEST_F(StepSequencerTest, TheLoopReturnsAfterTheStepBeforeLoopEnd) {
  ParsedSong song = EmptySong();
  song.loop_start = 2;
  song.loop_end = 5;
  song.tracks[8].events = {{1, 40, 0, 100, 255}, {3, 40, 0, 100, 255}};
  Load(song);
  size_t seen = 0;
  std::vector<int> steps;
  std::vector<int> drums;
  for (int tick = 0; tick < 9; ++tick) {
    steps.push_back(engine.sequencer_state().play_step);
    engine.Tick();
    drums.push_back(PlaysSince(&seen));
  }
  EXPECT_EQ(steps, (std::vector<int>{0, 1, 2, 3, 4, 2, 3, 4, 2}));
  EXPECT_EQ(drums, (std::vector<int>{0, 1, 0, 1, 0, 0, 1, 0, 0}));
}

// A pass whose last drum event sets a volume it does not apply (no event lies ahead then): back
// at the loop start, the step applies it though nothing falls on it, so it is not passed over.
TEST_F(StepSequencerTest, TheLoopStartsStepAppliesAVolumeTheLastEventLeftAndIsNotPassedOver) {
  ParsedSong song = EmptySong();
  song.loop_start = 2;
  song.loop_end = 6;
  song.tracks[8].events = {{3, 255, 0, 77, 255}, {5, 40, 0, 118, 255}};
  Load(song);
  for (int tick = 0; tick < 6; ++tick) engine.Tick();  // steps 0..5, then back to 2
  ASSERT_EQ(engine.sequencer_state().play_step, 2);
  EXPECT_EQ(device.Calls("volume").back().value, org::OrgVolumeToDevice(77));
  EXPECT_EQ(engine.SkipIdleSteps(100), 0);
  engine.Tick();
  EXPECT_EQ(device.Calls("volume").back().value, org::OrgVolumeToDevice(118));
}

TEST_F(StepSequencerTest, DegenerateLoopsKeepReplayingOneStep) {
  ParsedSong song = EmptySong();
  song.loop_start = 7;
  song.loop_end = 0;
  Load(song);
  engine.Tick();
  EXPECT_EQ(engine.sequencer_state().play_step, 7);
  engine.Tick();
  EXPECT_EQ(engine.sequencer_state().play_step, 7);
}

TEST_F(StepSequencerTest, AnEventWhosePositionPassedHoldsTheTrackBackUntilTheLoop) {
  ParsedSong song = EmptySong();
  song.loop_end = 6;
  song.tracks[0].events = {{1, 36, 0, 255, 255}, {1, 38, 0, 255, 255}, {2, 40, 0, 255, 255}};
  Load(song);
  size_t seen = 0;
  std::vector<int> plays;
  for (int tick = 0; tick < 8; ++tick) {
    engine.Tick();
    plays.push_back(PlaysSince(&seen));
  }
  // Step 1 starts and ends key 36 (two plays); the duplicate at step 1 blocks key 40 at step 2.
  EXPECT_EQ(plays, (std::vector<int>{0, 2, 0, 0, 0, 0, 0, 2}));
}

TEST_F(StepSequencerTest, StateCarriesOverFromTheSongBefore) {
  ParsedSong song = EmptySong();
  song.tracks[0].events = {{0, 36, 50, 77, 255}};
  Load(song);
  engine.Tick();
  Load(EmptySong());
  EXPECT_EQ(engine.sequencer_state().steps_left[0], 49);
  EXPECT_EQ(engine.sequencer_state().track_volume[0], 77);
}

}  // namespace
