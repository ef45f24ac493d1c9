// The drum slots of one engine, on a recording device: a drum file's bytes become one buffer of its
// samples, played at the key's rate, panned and set in volume; what is not such a file, or what
// the device refuses, leaves the slot as the result says.
#include "org/drum_slot_set.h"

#include <gtest/gtest.h>

#include "test_support/drum_wav.h"
#include "test_support/recording_sound_device.h"

namespace {

using org::DrumLoadResult;

class DrumSlotSetTest : public testing::Test {
 protected:
  DrumSlotSetTest() { slots.SetDevice(&device); }
  DrumLoadResult Load(const std::string& file, int slot) {
    return slots.Load(reinterpret_cast<const uint8_t*>(file.data()), file.size(), slot);
  }

  test_support::RecordingSoundDevice device;
  org::DrumSlotSet slots;  // after the device: released before it goes
};

TEST_F(DrumSlotSetTest, ADrumFileBecomesOneBufferOfItsSamples) {
  ASSERT_EQ(Load(test_support::DrumWav({1, 2, 3, 4, 5}, 11025), 2), DrumLoadResult::kLoaded);
  ASSERT_EQ(device.buffers.size(), 1u);
  EXPECT_EQ(device.buffers[0].desc.format.samples_per_sec, 11025u);
  EXPECT_EQ(device.buffers[0].content, (std::vector<uint8_t>{1, 2, 3, 4, 5}));
  EXPECT_TRUE(slots.has_voice(2));
  EXPECT_FALSE(slots.has_voice(3));
}

TEST_F(DrumSlotSetTest, PlayingRestartsTheSampleAtTheKeysRate) {
  ASSERT_EQ(Load(test_support::DrumWav(std::vector<uint8_t>(64, 0x90)), 0),
            DrumLoadResult::kLoaded);
  device.ClearCalls();
  slots.Play(0, 0);
  slots.Play(0, 95);
  slots.Play(0, 48);
  const auto calls = device.Calls();
  ASSERT_EQ(calls.size(), 12u);
  EXPECT_EQ(calls[0].what, "stop");
  EXPECT_EQ(calls[1].what, "position");
  EXPECT_EQ(calls[1].value, 0);
  EXPECT_EQ(calls[2].value, 100);
  EXPECT_EQ(calls[3].what, "play");
  EXPECT_EQ(calls[3].value, 0);
  EXPECT_EQ(calls[6].value, 76100);
  EXPECT_EQ(calls[10].value, 38500);
  slots.SetPan(0, 12);
  slots.SetPan(0, 13);  // outside the table: ignored
  slots.SetVolume(0, 0);
  EXPECT_EQ(device.buffers[0].pan, 2560);
  EXPECT_EQ(device.buffers[0].volume, -2040);
  slots.Play(5, 10);  // an empty slot: nothing
  EXPECT_EQ(device.Calls().size(), 12u + 2u);
}

TEST_F(DrumSlotSetTest, BytesThatAreNotRiffAreRefused) {
  std::string rifx = test_support::DrumWav(std::vector<uint8_t>(64, 0x90));
  rifx[3] = 'X';
  EXPECT_EQ(Load(rifx, 0), DrumLoadResult::kNotWav);
  EXPECT_EQ(Load("RIFF", 0), DrumLoadResult::kNotWav);
  EXPECT_TRUE(device.Calls("create").empty());
}

TEST_F(DrumSlotSetTest, AFileShorterThanItsDeclaredDataGivesWhatItHolds) {
  // Regression: the declared length was copied from past the end of the file.
  ASSERT_EQ(Load(test_support::DrumWav({10, 20, 30}, 22050, 1000000), 0), DrumLoadResult::kLoaded);
  EXPECT_EQ(device.buffers[0].content, (std::vector<uint8_t>{10, 20, 30}));
}

TEST_F(DrumSlotSetTest, WhatTheDeviceRefusesIsSaidAndAnUnfilledBufferStays) {
  device.creates_before_failure = 0;
  EXPECT_EQ(Load(test_support::DrumWav({1, 2}), 0), DrumLoadResult::kCreateFailed);
  EXPECT_FALSE(slots.has_voice(0));
  device.creates_before_failure = -1;
  EXPECT_EQ(Load(test_support::DrumWav({}), 0), DrumLoadResult::kCreateFailed);  // no samples
  device.fail_lock = true;
  EXPECT_EQ(Load(test_support::DrumWav({1, 2}), 2), DrumLoadResult::kLockFailed);
  EXPECT_TRUE(slots.has_voice(2));
}

TEST_F(DrumSlotSetTest, WithoutADeviceNothingIsMade) {
  slots.SetDevice(nullptr);
  Load(test_support::DrumWav({1, 2}), 0);
  EXPECT_FALSE(slots.has_voice(0));
  EXPECT_TRUE(device.Calls().empty());
}

}  // namespace
