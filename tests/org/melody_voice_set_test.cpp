// The melody voices of one engine, on a recording device: the buffers a voice is made of, the
// notes' tuning and the buffer pair's alternation, pan and volume, and what is refused.
#include "org/melody_voice_set.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/platform/mixing_sound_device.h"
#include "runtime/platform/offline_audio_output.h"
#include "test_support/recording_sound_device.h"

namespace {

using test_support::SoundCall;

class MelodyVoiceSetTest : public testing::Test {
 protected:
  MelodyVoiceSetTest() {
    // Waveform w, sample i: a ramp offset by w, so every waveform and index is recognisable.
    std::string bank(org::kWaveBankBytes, '\0');
    for (int w = 0; w < org::kWaveCount; ++w)
      for (int i = 0; i < org::kWaveLength; ++i)
        bank[w * 256 + i] = static_cast<char>((i + w) & 0xFF);
    ramps =
        org::WaveBank::Overlay(nullptr, reinterpret_cast<const uint8_t*>(bank.data()), bank.size());
    voices.SetBank(ramps);
    voices.SetDevice(&device);
  }
  // Buffer index of track 0's (octave, alternate) after one Make on a fresh device.
  static int BufferOf(int octave, int alternate) { return octave * 2 + alternate; }
  std::vector<SoundCall> PlaysAndStops() const {
    std::vector<SoundCall> out;
    for (const SoundCall& call : device.Calls())
      if (call.what == "play" || call.what == "stop") out.push_back(call);
    return out;
  }

  std::shared_ptr<const org::WaveBank> ramps;
  test_support::RecordingSoundDevice device;
  org::MelodyVoiceSet voices;  // after the device: released before it goes
};

TEST_F(MelodyVoiceSetTest, BuffersHoldTheWaveformAtEachOctavesLength) {
  ASSERT_TRUE(voices.Make(0, 3, 0));
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

TEST_F(MelodyVoiceSetTest, OneShotBuffersRepeatThePeriodAFixedNumberOfTimes) {
  ASSERT_TRUE(voices.Make(0, 0, 1));
  const uint32_t lengths[8] = {256 * 4, 256 * 8, 128 * 12, 128 * 16,
                               64 * 20, 32 * 24, 16 * 28,  8 * 32};
  for (int octave = 0; octave < 8; ++octave)
    EXPECT_EQ(device.buffers[BufferOf(octave, 0)].desc.length_bytes, lengths[octave]);
  const auto& octave7 = device.buffers[BufferOf(7, 0)].content;
  EXPECT_EQ(octave7[8], octave7[0]);  // period 8 samples, repeated
}

TEST_F(MelodyVoiceSetTest, AWaveformPastTheBankKeepsTheOldVoice) {
  ASSERT_TRUE(voices.Make(0, 1, 0));
  EXPECT_FALSE(voices.Make(0, 100, 0));
  EXPECT_EQ(device.LiveBuffers(), 16);
  EXPECT_TRUE(device.Calls("release").empty());
}

TEST_F(MelodyVoiceSetTest, RatesFollowTheOctaveTableAndFinetune) {
  EXPECT_EQ(org::MelodyRate(3, 9, 1000), 56320u);  // A in octave 3: 440 Hz from 128 samples
  EXPECT_EQ(org::MelodyRate(3, 9, 1100), 56420u);
  EXPECT_EQ(org::MelodyRate(0, 0, 1000), 256u * 262 / 8);
  EXPECT_EQ(org::MelodyRate(7, 11, 1000), 8u * 128 * 494 / 8);
}

TEST_F(MelodyVoiceSetTest, SustainedNotesAlternateBuffersAndLetTheOldOneFinish) {
  ASSERT_TRUE(voices.Make(0, 0, 0));
  device.ClearCalls();
  voices.StartNote(0, 36, 1000);  // octave 3, C
  EXPECT_EQ(device.buffers[BufferOf(3, 0)].frequency, org::MelodyRate(3, 0, 1000));
  EXPECT_EQ(device.buffers[BufferOf(5, 1)].frequency, org::MelodyRate(5, 0, 1000));  // all 16
  voices.StartNote(0, 36, 1000);  // the same key: no re-tuning
  voices.StartNote(0, 50, 1000);  // octave 4, D
  voices.EndNote(0);
  voices.EndNote(0);  // silent: nothing
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
  EXPECT_EQ(voices.current_key(0), 255);
}

TEST_F(MelodyVoiceSetTest, OneShotNotesPlayOnceAndNeverStopTheOldSound) {
  ASSERT_TRUE(voices.Make(0, 0, 1));
  device.ClearCalls();
  voices.StartOneShotNote(0, 24, 1000);
  voices.StartOneShotNote(0, 24, 1000);
  voices.StartOneShotNote(0, 30, 1000);
  voices.EndOneShotNote(0);
  const std::vector<SoundCall> plays = PlaysAndStops();
  ASSERT_EQ(plays.size(), 3u);
  EXPECT_EQ(plays[0].buffer, BufferOf(2, 0));
  EXPECT_EQ(plays[1].buffer, BufferOf(2, 1));
  EXPECT_EQ(plays[2].buffer, BufferOf(2, 0));
  for (const SoundCall& call : plays) EXPECT_EQ(call.value, 0);
  EXPECT_EQ(device.Calls("frequency").size(), 32u);
  EXPECT_EQ(voices.current_key(0), 255);
}

TEST_F(MelodyVoiceSetTest, PanAndVolumeReachOnlyTheSoundingBuffer) {
  ASSERT_TRUE(voices.Make(0, 0, 0));
  voices.SetPan(0, 0);  // silent track: nothing
  voices.SetVolume(0, 10);
  EXPECT_TRUE(device.Calls("pan").empty());
  EXPECT_TRUE(device.Calls("volume").empty());
  voices.StartNote(0, 12, 1000);
  voices.SetPan(0, 0);
  voices.SetPan(0, 12);
  voices.SetPan(0, 6);
  voices.SetVolume(0, 0);
  voices.SetVolume(0, 254);
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

// A seek's held steps: no call reaches a buffer while held; afterwards the buffers the notes
// played are stopped, and every buffer is given the last tuning, pan and volume it had been
// given, so that its settings are those of the same notes played unheld.
TEST_F(MelodyVoiceSetTest, HeldNotesReachNoBufferAndLeaveEachItsLastSettings) {
  test_support::RecordingSoundDevice unheld_device;
  org::MelodyVoiceSet unheld;
  unheld.SetBank(ramps);
  unheld.SetDevice(&unheld_device);
  for (org::MelodyVoiceSet* set : {&voices, &unheld}) {
    ASSERT_TRUE(set->Make(0, 0, 0));
    ASSERT_TRUE(set->Make(1, 5, 1));
  }
  device.ClearCalls();
  voices.HoldControls(true);
  const auto play = [](org::MelodyVoiceSet& set) {
    set.StartNote(0, 30, 1000);
    set.SetPan(0, 2);
    set.SetVolume(0, 100);
    set.StartNote(0, 55, 1000);  // the pair's other buffer, another octave
    set.SetVolume(0, 200);
    set.EndNote(0);
    set.StartOneShotNote(1, 70, 990);
    set.SetPan(1, 11);
    set.EndOneShotNote(1);
  };
  play(voices);
  play(unheld);
  EXPECT_TRUE(device.Calls().empty());
  EXPECT_EQ(voices.current_key(0), unheld.current_key(0));
  EXPECT_EQ(voices.alternate(0), unheld.alternate(0));
  voices.StopTouched([](int64_t, uint32_t, uint32_t) { return false; });
  std::vector<int> stopped;
  for (const SoundCall& call : device.Calls()) {
    EXPECT_EQ(call.what, "stop");
    stopped.push_back(call.buffer);
  }
  // Track 0's octave 2 (first buffer) and octave 4 (second); track 1's octave 5.
  EXPECT_EQ(stopped, (std::vector<int>{BufferOf(2, 0), BufferOf(4, 1), 16 + BufferOf(5, 0)}));
  voices.HoldControls(false);
  voices.GiveHeld(voices.held());
  for (size_t b = 0; b < device.buffers.size(); ++b) {
    SCOPED_TRACE(b);
    EXPECT_EQ(device.buffers[b].frequency, unheld_device.buffers[b].frequency);
    EXPECT_EQ(device.buffers[b].pan, unheld_device.buffers[b].pan);
    EXPECT_EQ(device.buffers[b].volume, unheld_device.buffers[b].volume);
  }
  // A buffer whose last play was once and long enough ago is not stopped but put back at its
  // start, played once (as playing out leaves it); one still looping is only stopped.
  voices.HoldControls(true);
  voices.SetHeldTick(40);
  voices.StartOneShotNote(1, 70, 990);
  voices.SetHeldTick(41);
  voices.StartNote(0, 30, 1000);
  device.ClearCalls();
  std::vector<int64_t> asked;
  const auto old_enough = [&](int64_t tick, uint32_t frames, uint32_t rate) {
    asked.push_back(tick);
    EXPECT_EQ(rate, 0u) << "a melody buffer may be retuned while it plays out";
    return tick == 40 && frames == 32 * 24;
  };
  voices.StopTouched(old_enough);
  ASSERT_EQ(device.Calls().size(), 1u);
  EXPECT_EQ(device.Calls()[0].buffer, BufferOf(2, voices.alternate(0)));
  EXPECT_EQ(device.Calls()[0].what, "stop");
  EXPECT_EQ(asked, (std::vector<int64_t>{40}));  // a looping buffer is never asked about
  voices.HoldControls(false);
  device.ClearCalls();
  voices.RewindRanOut(old_enough);
  const std::vector<SoundCall> rewound = device.Calls();
  ASSERT_EQ(rewound.size(), 3u);
  EXPECT_EQ(rewound[0].buffer, 16 + BufferOf(5, 0));
  EXPECT_EQ(rewound[0].what, "position");
  EXPECT_EQ(rewound[1].what, "play");
  EXPECT_EQ(rewound[1].value, 0);
  EXPECT_EQ(rewound[2].what, "stop");

  // A new hold starts from nothing held.
  voices.HoldControls(true);
  device.ClearCalls();
  voices.StopTouched([](int64_t, uint32_t, uint32_t) { return false; });
  voices.RewindRanOut([](int64_t, uint32_t, uint32_t) { return true; });
  voices.GiveHeld(voices.held());
  EXPECT_TRUE(device.Calls().empty());
}

// Landing whole rounds of repeating steps on from a moment: a setting held in the round before
// the moment is the one there again, held that many rounds later; one held in the round only
// after the moment was the last before it, a round less later; one the round never held stays
// what it was, when it was.
TEST(MelodyHeldRoundsTest, ASettingHeldOnlyAfterTheMomentComesFromTheRoundsEnd) {
  using Held = org::HeldControl;
  const uint32_t round_start = 10;
  const auto on = [&](Held at, Held end) {
    return org::HeldRoundsOn(at, end, round_start, 3, 100);
  };
  const Held in_round_before = on(Held{7, 12, 250}, Held{8, 15, 290});
  EXPECT_EQ(in_round_before.value, 7);
  EXPECT_EQ(in_round_before.tick, 550);
  const Held only_after = on(Held{7, 4, 120}, Held{8, 15, 290});
  EXPECT_EQ(only_after.value, 8);
  EXPECT_EQ(only_after.tick, 490);
  const Held never_in_round = on(Held{7, 4, 120}, Held{7, 4, 120});
  EXPECT_EQ(never_in_round.value, 7);
  EXPECT_EQ(never_in_round.tick, 120);
  EXPECT_EQ(on(Held{0, 0, 0}, Held{5, 11, 280}).order, 11u);
}

TEST_F(MelodyVoiceSetTest, KeysAndPansOutsideTheTablesAreIgnored) {
  // Regression: keys 96..254 reached past the octave table, pans 13..254 past the pan table.
  ASSERT_TRUE(voices.Make(0, 0, 0));
  ASSERT_TRUE(voices.Make(1, 0, 1));
  device.ClearCalls();
  voices.StartNote(0, 96, 1000);
  voices.StartNote(0, 254, 1000);
  voices.StartOneShotNote(1, 200, 1000);
  EXPECT_TRUE(device.Calls().empty());
  EXPECT_EQ(voices.current_key(0), 255);
  voices.StartNote(0, 95, 1000);
  device.ClearCalls();
  voices.SetPan(0, 13);
  voices.SetPan(0, 254);
  EXPECT_TRUE(device.Calls().empty());
}

TEST_F(MelodyVoiceSetTest, WithoutADeviceNothingIsBuiltOrPlayed) {
  voices.SetDevice(nullptr);
  EXPECT_FALSE(voices.Make(0, 0, 0));
  voices.StartNote(0, 36, 1000);
  EXPECT_TRUE(device.Calls().empty());
}

// On a device that mixes itself the buffers are given their samples in the mixer's own form
// (no bytes kept, none to lock; the bytes a render gives are the golden renders' own), and a
// device whose Lock fails still ends the build, as through Lock.
TEST_F(MelodyVoiceSetTest, OnAMixingDeviceTheSamplesSkipTheLockAndAFailingLockStillEndsTheBuild) {
  for (const bool lock_fails : {false, true}) {
    platform::SoundDeviceFaults faults;
    faults.lock_buffer = lock_fails;
    std::unique_ptr<platform::MixingSoundDevice> mixing = platform::MixingSoundDevice::Create(
        std::make_unique<platform::OfflineAudioOutput>(), faults);
    ASSERT_TRUE(mixing && mixing->CreatePrimaryBuffer());
    org::MelodyVoiceSet on_mixer;
    on_mixer.SetBank(ramps);
    on_mixer.SetDevice(mixing.get());
    EXPECT_EQ(on_mixer.Make(0, 3, 0), !lock_fails);
    if (lock_fails) {
      EXPECT_EQ(mixing->LiveBufferCount(), 1);  // the first buffer, refused its samples
      continue;
    }
    EXPECT_EQ(mixing->LiveBufferCount(), 16);
    for (int octave = 0; octave < org::kOctaves; ++octave) {
      void* region = nullptr;
      uint32_t bytes = 0;
      EXPECT_FALSE(
          on_mixer.octave_buffer(0, octave)->Lock(0, 8, &region, &bytes, nullptr, nullptr));
    }
    on_mixer.ReleaseAll();
    EXPECT_EQ(mixing->LiveBufferCount(), 0);
  }
}

TEST_F(MelodyVoiceSetTest, AFailedCreateEndsTheBuildKeepingWhatWasMade) {
  device.creates_before_failure = 5;
  EXPECT_FALSE(voices.Make(0, 0, 0));
  EXPECT_EQ(device.LiveBuffers(), 5);
  voices.StartNote(0, 36, 1000);  // octave 3 has no buffer: ignored
  EXPECT_TRUE(device.Calls("play").empty());
}

}  // namespace
