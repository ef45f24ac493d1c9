#include "runtime/platform/sound_mixer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "runtime/platform/platform_clock.h"
#include "runtime/platform/sound_mixer_simd.h"

namespace {

using platform::ConvertPcm;
using platform::GainQ15;
using platform::Interpolation;
using platform::SoundMixer;
using platform::VoiceId;
using platform::VoiceSamples;

VoiceSamples Mono16(const std::vector<int16_t>& values) {
  std::vector<uint8_t> bytes;
  for (int16_t v : values) {
    bytes.push_back(static_cast<uint8_t>(v & 0xFF));
    bytes.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
  }
  return ConvertPcm(bytes.data(), static_cast<uint32_t>(bytes.size()), 1, 16);
}

std::vector<int16_t> Render(SoundMixer& mixer, int frames) {
  std::vector<int16_t> out(2 * static_cast<size_t>(frames));
  mixer.RenderFrames(out.data(), frames, nullptr);
  return out;
}

std::vector<int16_t> Left(const std::vector<int16_t>& stereo) {
  std::vector<int16_t> left;
  for (size_t i = 0; i < stereo.size(); i += 2) left.push_back(stereo[i]);
  return left;
}

TEST(SoundMixerTest, AVoiceAtTheOutputRateComesOutUnchangedOnBothChannels) {
  SoundMixer mixer(1000);
  const VoiceId voice = mixer.AddVoice(Mono16({100, -200, 300, -400}), 1000);
  mixer.Play(voice, true);
  const std::vector<int16_t> out = Render(mixer, 6);
  EXPECT_EQ(out, (std::vector<int16_t>{100, 100, -200, -200, 300, 300, -400, -400, 100, 100, -200,
                                       -200}));
}

TEST(SoundMixerTest, TheOutputGainScalesTheMixBeforeSaturationAndZeroDecibelsChangesNothing) {
  SoundMixer mixer(1000);
  const VoiceId a = mixer.AddVoice(Mono16({30000, -30000, 1000, -1001}), 1000);
  const VoiceId b = mixer.AddVoice(Mono16({30000, -30000, 1000, -1001}), 1000);
  mixer.Play(a, true);
  mixer.Play(b, true);
  mixer.SetOutputGain(32768);
  EXPECT_EQ(Render(mixer, 4),
            (std::vector<int16_t>{32767, 32767, -32768, -32768, 2000, 2000, -2002, -2002}));
  // -6 dB on the sum (60000 would saturate; halved first, it does not).
  mixer.SetOutputGain(16384);
  EXPECT_EQ(Render(mixer, 4),
            (std::vector<int16_t>{30000, 30000, -30000, -30000, 1000, 1000, -1001, -1001}));
  mixer.SetOutputGain(0);
  EXPECT_EQ(Render(mixer, 2), (std::vector<int16_t>{0, 0, 0, 0}));
}

TEST(SoundMixerTest, APausedOutputIsSilentAndGoesOnFromWhereItStood) {
  SoundMixer mixer(1000);
  const VoiceId voice = mixer.AddVoice(Mono16({1, 2, 3, 4, 5, 6}), 1000);
  mixer.Play(voice, true);
  EXPECT_EQ(Render(mixer, 2), (std::vector<int16_t>{1, 1, 2, 2}));
  mixer.SetPaused(true);
  EXPECT_EQ(Render(mixer, 3), (std::vector<int16_t>(6, 0)));
  mixer.SetPaused(false);
  EXPECT_EQ(Render(mixer, 2), (std::vector<int16_t>{3, 3, 4, 4}));
}

TEST(SoundMixerTest, LinearInterpolationFillsInBetweenAndNearestHoldsTheSample) {
  SoundMixer mixer(2000);
  const VoiceId voice = mixer.AddVoice(Mono16({0, 1000, 0, -1000}), 1000);  // half speed
  mixer.Play(voice, true);
  EXPECT_EQ(Left(Render(mixer, 8)),
            (std::vector<int16_t>{0, 500, 1000, 500, 0, -500, -1000, -500}));
  mixer.SetInterpolation(Interpolation::kNearest);
  EXPECT_EQ(Left(Render(mixer, 4)), (std::vector<int16_t>{0, 0, 1000, 1000}));
}

TEST(SoundMixerTest, AToneComesOutAtItsPitch) {
  // 256-sample sine at 112640 samples/s is 440 Hz; count zero crossings over one second.
  std::vector<int16_t> sine(256);
  for (int i = 0; i < 256; ++i)
    sine[i] = static_cast<int16_t>(20000 * std::sin(2 * std::numbers::pi * i / 256));
  SoundMixer mixer(44100);
  const VoiceId voice = mixer.AddVoice(Mono16(sine), 112640);
  mixer.Play(voice, true);
  const std::vector<int16_t> left = Left(Render(mixer, 44100));
  int rising = 0;
  for (size_t i = 1; i < left.size(); ++i) rising += (left[i - 1] < 0 && left[i] >= 0);
  EXPECT_NEAR(rising, 440, 1);
}

TEST(SoundMixerTest, VolumeAndPanAreExactDecibelGains) {
  EXPECT_EQ(GainQ15(0), 32768);
  EXPECT_EQ(GainQ15(-600), static_cast<int32_t>(std::lround(32768 * std::pow(10.0, -0.3))));
  EXPECT_EQ(GainQ15(-10000), 0);  // -100 dB is below the last bit

  SoundMixer mixer(1000);
  const VoiceId voice = mixer.AddVoice(Mono16({16000}), 1000);
  mixer.SetVolume(voice, -2040);  // 20.4 dB quieter on both sides
  mixer.SetPan(voice, -1000);     // and the right side 10 dB quieter still
  mixer.Play(voice, true);
  std::vector<int16_t> out = Render(mixer, 1);
  EXPECT_NEAR(20 * std::log10(out[0] / 16000.0), -20.4, 0.01);
  EXPECT_NEAR(20 * std::log10(out[1] / 16000.0), -30.4, 0.01);
  mixer.SetPan(voice, 2560);  // positive: the left side is lowered, the right kept
  out = Render(mixer, 1);
  EXPECT_NEAR(20 * std::log10(out[0] / 16000.0), -46.0, 0.05);
  EXPECT_NEAR(20 * std::log10(out[1] / 16000.0), -20.4, 0.01);
}

TEST(SoundMixerTest, TheSumSaturatesAtSixteenBits) {
  SoundMixer mixer(1000);
  const VoiceId a = mixer.AddVoice(Mono16({30000, -30000}), 1000);
  const VoiceId b = mixer.AddVoice(Mono16({30000, -30000}), 1000);
  mixer.Play(a, true);
  mixer.Play(b, true);
  EXPECT_EQ(Left(Render(mixer, 2)), (std::vector<int16_t>{32767, -32768}));
}

TEST(SoundMixerTest, LoopsAreSeamlessAtAnyRate) {
  // A triangle played at 3/7 of the output rate for four passes: every output frame, including
  // those between the last sample and the first, is the interpolated periodic signal.
  std::vector<int16_t> ramp(16);
  for (int i = 0; i < 16; ++i) ramp[i] = static_cast<int16_t>(i < 8 ? i * 100 : (16 - i) * 100);
  SoundMixer mixer(7000);
  const VoiceId voice = mixer.AddVoice(Mono16(ramp), 3000);
  mixer.Play(voice, true);
  const std::vector<int16_t> left = Left(Render(mixer, 7 * 16 * 4 / 3));
  // Reference: linear interpolation of the periodic signal at positions n * 3/7.
  for (size_t n = 0; n < left.size(); ++n) {
    const double position = n * 3.0 / 7.0;
    const int i = static_cast<int>(position) % 16;
    const double fraction = position - std::floor(position);
    const double expected = ramp[i] + (ramp[(i + 1) % 16] - ramp[i]) * fraction;
    ASSERT_NEAR(left[n], expected, 1.0) << "frame " << n;
  }
}

TEST(SoundMixerTest, PlayOnceStopsAtTheEndAndRestartsFromTheBeginning) {
  SoundMixer mixer(1000);
  const VoiceId voice = mixer.AddVoice(Mono16({1, 2, 3}), 1000);
  mixer.Play(voice, false);
  EXPECT_EQ(Left(Render(mixer, 5)), (std::vector<int16_t>{1, 2, 3, 0, 0}));
  bool playing = true;
  uint32_t frame = 99;
  ASSERT_TRUE(mixer.GetState(voice, &playing, nullptr, &frame));
  EXPECT_FALSE(playing);
  EXPECT_EQ(frame, 0u);
  mixer.Play(voice, false);
  EXPECT_EQ(Left(Render(mixer, 4)), (std::vector<int16_t>{1, 2, 3, 0}));
}

TEST(SoundMixerTest, ALoopToldToPlayOnceFinishesItsPassWithoutRestarting) {
  SoundMixer mixer(1000);
  const VoiceId voice = mixer.AddVoice(Mono16({1, 2, 3, 4}), 1000);
  mixer.Play(voice, true);
  EXPECT_EQ(Left(Render(mixer, 6)), (std::vector<int16_t>{1, 2, 3, 4, 1, 2}));
  mixer.Play(voice, false);
  EXPECT_EQ(Left(Render(mixer, 4)), (std::vector<int16_t>{3, 4, 0, 0}));
}

TEST(SoundMixerTest, StopKeepsThePositionAndPlayResumesThere) {
  SoundMixer mixer(1000);
  const VoiceId voice = mixer.AddVoice(Mono16({1, 2, 3, 4}), 1000);
  mixer.Play(voice, true);
  Render(mixer, 2);
  mixer.Stop(voice);
  EXPECT_EQ(Left(Render(mixer, 2)), (std::vector<int16_t>{0, 0}));
  mixer.Play(voice, true);
  EXPECT_EQ(Left(Render(mixer, 2)), (std::vector<int16_t>{3, 4}));
  mixer.SetPosition(voice, 0);
  EXPECT_EQ(Left(Render(mixer, 1)), (std::vector<int16_t>{1}));
}

TEST(SoundMixerTest, ARateChangeTakesEffectMidBuffer) {
  SoundMixer mixer(1000);
  const VoiceId voice = mixer.AddVoice(Mono16({0, 10, 20, 30, 40, 50, 60, 70, 80}), 1000);
  mixer.Play(voice, true);
  EXPECT_EQ(Left(Render(mixer, 2)), (std::vector<int16_t>{0, 10}));
  mixer.SetFrequency(voice, 2000);
  EXPECT_EQ(Left(Render(mixer, 3)), (std::vector<int16_t>{20, 40, 60}));
}

TEST(SoundMixerTest, RealtimeCallsLandOnTheFrameMatchingTheirStamp) {
  SoundMixer mixer(1000);
  mixer.SetRealtime(true);
  const VoiceId voice = mixer.AddVoice(Mono16({500}), 1000);
  const int64_t before = platform::ClockUs();
  mixer.Play(voice, true);
  const int64_t after = platform::ClockUs();
  // A block of 100 frames standing for 10 ms that starts 5 ms before the call.
  const platform::BlockTiming timing{before - 5000, before + 5000};
  std::vector<int16_t> out(200);
  mixer.RenderFrames(out.data(), 100, &timing);
  int first = -1;
  for (int i = 0; i < 100; ++i)
    if (out[2 * i] != 0 && first < 0) first = i;
  EXPECT_GE(first, 50);
  EXPECT_LE(first, 50 + (after - before) / 100 + 1);
  // A call stamped after the block waits for the next one.
  mixer.Stop(voice);
  const platform::BlockTiming earlier{before - 20000, before - 10000};
  mixer.RenderFrames(out.data(), 10, &earlier);
  EXPECT_EQ(out[18], 500);
}

TEST(SoundMixerTest, AScheduledThreadsCallsLandOnTheirMomentNotOnWhenTheyAreMade) {
  SoundMixer mixer(1000);
  mixer.SetRealtime(true);
  const VoiceId voice = mixer.AddVoice(Mono16({500}), 1000);
  const int64_t now = platform::ClockUs();
  {
    // A tick due 30 ms ago (the system woke its thread late) plays at its due moment.
    const platform::ScheduledCallScope due(now - 30000);
    mixer.Play(voice, true);
  }
  const platform::BlockTiming timing{now - 40000, now - 20000};  // 20 frames, 1 ms each
  std::vector<int16_t> out(40);
  mixer.RenderFrames(out.data(), 20, &timing);
  EXPECT_EQ(out[2 * 9], 0);
  EXPECT_EQ(out[2 * 10], 500);  // frame 10 is the moment 30 ms ago
  // Outside the scope, calls are stamped when they are made again, and never before a call
  // already waiting: the stop waits for a block that reaches now.
  mixer.Stop(voice);
  const platform::BlockTiming next{now - 20000, now - 10000};
  mixer.RenderFrames(out.data(), 10, &next);
  EXPECT_EQ(out[2 * 9], 500);
}

TEST(SoundMixerTest, CallsForARemovedVoiceAndItsSlotReuseAreKeptApart) {
  SoundMixer mixer(1000);
  mixer.SetRealtime(true);
  const VoiceId old_voice = mixer.AddVoice(Mono16({7}), 1000);
  mixer.Play(old_voice, true);  // queued
  mixer.RemoveVoice(old_voice);
  const VoiceId new_voice = mixer.AddVoice(Mono16({9}), 1000);
  EXPECT_EQ(new_voice.slot, old_voice.slot);
  std::vector<int16_t> out(8);
  const platform::BlockTiming timing{0, platform::ClockUs() + 1000000};
  mixer.RenderFrames(out.data(), 4, &timing);
  EXPECT_EQ(out, std::vector<int16_t>(8, 0));  // the old Play did not start the new voice
  EXPECT_EQ(mixer.ActiveVoiceCount(), 0);
}

}  // namespace

namespace {

// Renders a busy mix of mono and stereo voices at many rates, with pan and volume.
std::vector<int16_t> RenderBusyMix(bool wide_kernel) {
  SoundMixer mixer(44100);
  mixer.SetWideKernelEnabled(wide_kernel);
  for (int v = 0; v < 12; ++v) {
    std::vector<uint8_t> bytes(100 + 37 * v);
    for (size_t i = 0; i < bytes.size(); ++i)
      bytes[i] = static_cast<uint8_t>(i * (v + 3) ^ (i >> 2));
    const VoiceId voice = mixer.AddVoice(
        ConvertPcm(bytes.data(), static_cast<uint32_t>(bytes.size()), v % 4 == 3 ? 2 : 1, 8),
        1000u + static_cast<uint32_t>(v) * 15013u);
    mixer.SetVolume(voice, -150 * v);
    mixer.SetPan(voice, 400 * v - 2400);
    mixer.Play(voice, v % 5 != 0);
  }
  return Render(mixer, 5000);
}

TEST(SoundMixerTest, TheVectorKernelGivesExactlyThePlainLoopsBytes) {
  if (!platform::HasWideMixKernel()) GTEST_SKIP() << "no vector kernel on this processor";
  EXPECT_EQ(RenderBusyMix(true), RenderBusyMix(false));
}

}  // namespace

namespace {

TEST(SoundMixerTest, AOneShotHoldsItsLastSampleInsteadOfGlidingBackToItsFirst) {
  // Regression: the end of a one-shot was interpolated towards the loop's guard frame (its first
  // sample), which made a click at the end of every drum hit that starts loud.
  SoundMixer mixer(2000);
  const VoiceId voice = mixer.AddVoice(Mono16({-20000, 0, 0}), 1000);  // half speed
  mixer.Play(voice, false);
  EXPECT_EQ(Left(Render(mixer, 8)), (std::vector<int16_t>{-20000, -10000, 0, 0, 0, 0, 0, 0}));
}

// A voice playing another's samples plays them at its own rate, volume and position, and is
// stopped (never left reading freed samples) when they are replaced or removed.
TEST(SoundMixerTest, AVoiceSharingAnothersSamplesPlaysThemAndStopsWhenTheyGo) {
  SoundMixer mixer(1000);
  mixer.SetRealtime(false);
  const VoiceId source = mixer.AddVoice(Mono16({100, 200, 300, 400}), 1000);
  const VoiceId sharer = mixer.AddVoice(Mono16({0}), 1000);
  ASSERT_TRUE(mixer.ShareSamples(sharer, source));
  EXPECT_FALSE(mixer.ShareSamples(source, sharer));  // one level only
  mixer.SetInterpolation(Interpolation::kNearest);
  mixer.Play(sharer, true);
  EXPECT_EQ(Left(Render(mixer, 6)), (std::vector<int16_t>{100, 200, 300, 400, 100, 200}));
  mixer.ReplaceSamples(source, Mono16({7, 7}));
  bool playing = true;
  ASSERT_TRUE(mixer.GetState(sharer, &playing, nullptr, nullptr));
  EXPECT_FALSE(playing);
  ASSERT_TRUE(mixer.ShareSamples(sharer, source));
  mixer.Play(sharer, true);
  EXPECT_EQ(Left(Render(mixer, 3)), (std::vector<int16_t>{7, 7, 7}));
  mixer.RemoveVoice(source);
  EXPECT_EQ(Left(Render(mixer, 3)), (std::vector<int16_t>{0, 0, 0}));
  EXPECT_FALSE(mixer.ShareSamples(sharer, source));
}

// A group's gain moves linearly frame by frame and lands on its target on the frame asked; a
// muted group stays silent while its fade moves on; the master gain scales the whole mix.
TEST(SoundMixerTest, GroupAndMasterGainsFadeFrameByFrame) {
  SoundMixer mixer(1000);
  mixer.SetRealtime(false);
  const VoiceId voice = mixer.AddVoice(Mono16({16384}), 1000, 3);
  mixer.Play(voice, true);
  mixer.SetGroupGain(3, 0, 4);  // 32768 → 0 over four frames
  EXPECT_EQ(Left(Render(mixer, 6)), (std::vector<int16_t>{16384, 12288, 8192, 4096, 0, 0}));
  mixer.SetGroupMuted(3, true);
  mixer.SetGroupGain(3, 32768, 2);
  EXPECT_EQ(Left(Render(mixer, 3)), (std::vector<int16_t>{0, 0, 0}));
  mixer.SetGroupMuted(3, false);
  EXPECT_EQ(Left(Render(mixer, 1)), (std::vector<int16_t>{16384}));
  mixer.SetMasterGain(16384, 0);
  EXPECT_EQ(Left(Render(mixer, 1)), (std::vector<int16_t>{8192}));
  mixer.SetMasterGain(32768, 100);
  mixer.FinishGainRamps();
  EXPECT_EQ(mixer.master_gain(), 32768);
  EXPECT_EQ(Left(Render(mixer, 1)), (std::vector<int16_t>{16384}));
}

}  // namespace
