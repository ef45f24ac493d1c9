#include "game_music/melody_voice.h"

#include <gtest/gtest.h>

#include "game_music/engine_device.h"
#include "game_music/engine_fixture.h"

namespace {

using test_support::SoundCall;

class MelodyVoiceTest : public test_support::EngineFixture {
 protected:
  // Buffer index of track 0's (octave, alternate) after one MakeMelodyVoice on a fresh device.
  static int BufferOf(int octave, int alternate) { return octave * 2 + alternate; }
  std::vector<SoundCall> PlaysAndStops() const {
    std::vector<SoundCall> out;
    for (const SoundCall& call : device.Calls())
      if (call.what == "play" || call.what == "stop") out.push_back(call);
    return out;
  }
};

TEST_F(MelodyVoiceTest, BuffersHoldTheWaveformAtEachOctavesLength) {
  ASSERT_TRUE(org::MakeMelodyVoice(0, 3, 0));
  ASSERT_EQ(device.buffers.size(), 16u);
  const uint32_t lengths[8] = {256, 256, 128, 128, 64, 32, 16, 8};
  for (int octave = 0; octave < 8; ++octave) {
    for (int alternate = 0; alternate < 2; ++alternate) {
      const test_support::RecordedBuffer& b = device.buffers[BufferOf(octave, alternate)];
      EXPECT_EQ(b.desc.length_bytes, lengths[octave]);
      EXPECT_EQ(b.desc.format.samples_per_sec, 22050u);
      EXPECT_EQ(b.desc.format.bits_per_sample, 8);
      const uint32_t stride = 256 / lengths[octave];
      // Sample i is bank sample (i * stride) of waveform 3 with its sign bit flipped.
      for (uint32_t i = 0; i < lengths[octave]; ++i)
        ASSERT_EQ(b.content[i], static_cast<uint8_t>(((i * stride) % 256 + 3) ^ 0x80));
    }
  }
}

TEST_F(MelodyVoiceTest, OneShotBuffersRepeatThePeriodAFixedNumberOfTimes) {
  ASSERT_TRUE(org::MakeMelodyVoice(0, 0, 1));
  const uint32_t lengths[8] = {256 * 4, 256 * 8, 128 * 12, 128 * 16,
                               64 * 20, 32 * 24, 16 * 28,  8 * 32};
  for (int octave = 0; octave < 8; ++octave)
    EXPECT_EQ(device.buffers[BufferOf(octave, 0)].desc.length_bytes, lengths[octave]);
  const auto& octave7 = device.buffers[BufferOf(7, 0)].content;
  EXPECT_EQ(octave7[8], octave7[0]);  // period 8 samples, repeated
}

TEST_F(MelodyVoiceTest, AWaveformPastTheBankKeepsTheOldVoice) {
  ASSERT_TRUE(org::MakeMelodyVoice(0, 1, 0));
  EXPECT_FALSE(org::MakeMelodyVoice(0, 100, 0));
  EXPECT_EQ(device.LiveBuffers(), 16);
  EXPECT_TRUE(device.Calls("release").empty());
}

// A bank file shorter than 25600 bytes replaces only the samples it holds. An empty file (found
// by fuzzing) used to hand memcpy a null source; it now changes nothing.
TEST_F(MelodyVoiceTest, AShortBankReplacesOnlyWhatItHoldsAndAnEmptyOneNothing) {
  dir.WriteFile("short.dat", std::string(300, '\x7F'));
  ASSERT_TRUE(org::LoadWaveBank("short.dat"));
  EXPECT_EQ(org::WaveBankSample(0, 0), 0x7F);
  EXPECT_EQ(org::WaveBankSample(1, 43), 0x7F);    // byte 299
  EXPECT_EQ(org::WaveBankSample(1, 44), 1 + 44);  // byte 300: the old bank
  dir.WriteFile("empty.dat", "");
  ASSERT_TRUE(org::LoadWaveBank("empty.dat"));
  EXPECT_EQ(org::WaveBankSample(0, 0), 0x7F);
  EXPECT_EQ(org::WaveBankSample(99, 255), static_cast<int8_t>((255 + 99) & 0xFF));
}

TEST_F(MelodyVoiceTest, RatesFollowTheOctaveTableAndFinetune) {
  EXPECT_EQ(org::MelodyRate(3, 9, 1000), 56320u);  // A in octave 3: 440 Hz from 128 samples
  EXPECT_EQ(org::MelodyRate(3, 9, 1100), 56420u);
  EXPECT_EQ(org::MelodyRate(0, 0, 1000), 256u * 262 / 8);
  EXPECT_EQ(org::MelodyRate(7, 11, 1000), 8u * 128 * 494 / 8);
}

TEST_F(MelodyVoiceTest, SustainedNotesAlternateBuffersAndLetTheOldOneFinish) {
  ASSERT_TRUE(org::MakeMelodyVoice(0, 0, 0));
  device.ClearCalls();
  org::StartNote(0, 36, 1000);  // octave 3, C
  EXPECT_EQ(device.buffers[BufferOf(3, 0)].frequency, org::MelodyRate(3, 0, 1000));
  EXPECT_EQ(device.buffers[BufferOf(5, 1)].frequency, org::MelodyRate(5, 0, 1000));  // all 16
  org::StartNote(0, 36, 1000);  // the same key: no re-tuning
  org::StartNote(0, 50, 1000);  // octave 4, D
  org::EndNote(0);
  org::EndNote(0);  // silent: nothing
  const std::vector<SoundCall> plays = PlaysAndStops();
  const std::vector<std::pair<int, int>> expected = {
      {BufferOf(3, 0), 1},                       // first note loops
      {BufferOf(3, 0), 0}, {BufferOf(3, 1), 1},  // same key: finish, twin takes over
      {BufferOf(3, 1), 0}, {BufferOf(4, 0), 1},  // other key: finish old, new octave loops
      {BufferOf(4, 0), 0},                       // end: finish the period
  };
  ASSERT_EQ(plays.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(plays[i].buffer, expected[i].first) << i;
    EXPECT_EQ(plays[i].value, expected[i].second) << i;
  }
  EXPECT_EQ(device.Calls("frequency").size(), 32u);  // tuned twice, never for the repeat
  EXPECT_EQ(org::MelodyCurrentKey(0), 255);
}

TEST_F(MelodyVoiceTest, OneShotNotesPlayOnceAndNeverStopTheOldSound) {
  ASSERT_TRUE(org::MakeMelodyVoice(0, 0, 1));
  device.ClearCalls();
  org::StartOneShotNote(0, 24, 1000);
  org::StartOneShotNote(0, 24, 1000);
  org::StartOneShotNote(0, 30, 1000);
  org::EndOneShotNote(0);
  const std::vector<SoundCall> plays = PlaysAndStops();
  ASSERT_EQ(plays.size(), 3u);
  EXPECT_EQ(plays[0].buffer, BufferOf(2, 0));
  EXPECT_EQ(plays[1].buffer, BufferOf(2, 1));
  EXPECT_EQ(plays[2].buffer, BufferOf(2, 0));
  for (const SoundCall& call : plays) EXPECT_EQ(call.value, 0);
  EXPECT_EQ(device.Calls("frequency").size(), 32u);
  EXPECT_EQ(org::MelodyCurrentKey(0), 255);
}

TEST_F(MelodyVoiceTest, PanAndVolumeReachOnlyTheSoundingBuffer) {
  ASSERT_TRUE(org::MakeMelodyVoice(0, 0, 0));
  org::SetMelodyPan(0, 0);  // silent track: nothing
  org::SetMelodyVolume(0, 10);
  EXPECT_TRUE(device.Calls("pan").empty());
  EXPECT_TRUE(device.Calls("volume").empty());
  org::StartNote(0, 12, 1000);
  org::SetMelodyPan(0, 0);
  org::SetMelodyPan(0, 12);
  org::SetMelodyPan(0, 6);
  org::SetMelodyVolume(0, 0);
  org::SetMelodyVolume(0, 254);
  const auto pans = device.Calls("pan");
  ASSERT_EQ(pans.size(), 3u);
  EXPECT_EQ(pans[0].value, -2560);
  EXPECT_EQ(pans[1].value, 2560);
  EXPECT_EQ(pans[2].value, 0);
  EXPECT_EQ(pans[0].buffer, BufferOf(1, 0));
  const auto volumes = device.Calls("volume");
  ASSERT_EQ(volumes.size(), 2u);
  EXPECT_EQ(volumes[0].value, -2040);
  EXPECT_EQ(volumes[1].value, -8);
}

TEST_F(MelodyVoiceTest, KeysAndPansOutsideTheTablesAreIgnored) {
  // Regression: keys 96..254 reached past the octave table, pans 13..254 past the pan table.
  ASSERT_TRUE(org::MakeMelodyVoice(0, 0, 0));
  ASSERT_TRUE(org::MakeMelodyVoice(1, 0, 1));
  device.ClearCalls();
  org::StartNote(0, 96, 1000);
  org::StartNote(0, 254, 1000);
  org::StartOneShotNote(1, 200, 1000);
  EXPECT_TRUE(device.Calls().empty());
  EXPECT_EQ(org::MelodyCurrentKey(0), 255);
  org::StartNote(0, 95, 1000);
  device.ClearCalls();
  org::SetMelodyPan(0, 13);
  org::SetMelodyPan(0, 254);
  EXPECT_TRUE(device.Calls().empty());
}

TEST_F(MelodyVoiceTest, WithoutADeviceNothingIsBuiltOrPlayed) {
  org::SetEngineSoundDevice(nullptr);
  EXPECT_FALSE(org::MakeMelodyVoice(0, 0, 0));
  org::StartNote(0, 36, 1000);
  EXPECT_TRUE(device.Calls().empty());
}

TEST_F(MelodyVoiceTest, AFailedCreateEndsTheBuildKeepingWhatWasMade) {
  device.creates_before_failure = 5;
  EXPECT_FALSE(org::MakeMelodyVoice(0, 0, 0));
  EXPECT_EQ(device.LiveBuffers(), 5);
  org::StartNote(0, 36, 1000);  // octave 3 has no buffer: ignored
  EXPECT_TRUE(device.Calls("play").empty());
}

}  // namespace
