#include "app/key_tracker.h"

#include <gtest/gtest.h>

#include <vector>

#include "test_support/scratch_directory.h"

namespace {

using app::KeyTracker;

constexpr int kLeft = 203;

// Runs `updates` updates with `held` down in the first `held_for` of them; returns the pulses.
std::vector<int> PulsesWhileHeld(KeyTracker& keys, int updates) {
  std::vector<int> pulses;
  uint8_t states[256] = {};
  states[kLeft] = 1;
  for (int u = 0; u < updates; ++u) {
    keys.UpdateFrom(states, 0);
    if (keys.KeyRepeat(kLeft)) pulses.push_back(u);
  }
  return pulses;
}

TEST(KeyTrackerTest, AHeldKeyPulsesAtThePressThirteenUpdatesLaterThenEverySecond) {
  KeyTracker keys;
  EXPECT_EQ(PulsesWhileHeld(keys, 22), (std::vector<int>{0, 13, 15, 17, 19, 21}));
  uint8_t none[256] = {};
  keys.UpdateFrom(none, 0);
  EXPECT_FALSE(keys.KeyDown(kLeft));
  EXPECT_EQ(PulsesWhileHeld(keys, 14), (std::vector<int>{0, 13}));  // released: starts over
}

TEST(KeyTrackerTest, PressedIsTrueInExactlyOneUpdatePerPress) {
  KeyTracker keys;
  uint8_t states[256] = {};
  states[57] = 1;
  int pressed = 0;
  int down = 0;
  for (int u = 0; u < 10; ++u) {
    keys.UpdateFrom(states, 0);
    pressed += keys.KeyPressed(57);
    down += keys.KeyDown(57);
  }
  EXPECT_EQ(pressed, 1);
  EXPECT_EQ(down, 10);
}

TEST(KeyTrackerTest, ButtonsFollowThePadWordAndItsNewBits) {
  KeyTracker keys;
  uint8_t none[256] = {};
  keys.UpdateFrom(none, 0x8 | 0x20);
  EXPECT_TRUE(keys.ButtonDown(0));
  EXPECT_TRUE(keys.ButtonPressed(4));
  keys.UpdateFrom(none, 0x8 | 0x20);
  EXPECT_TRUE(keys.ButtonDown(4));
  EXPECT_FALSE(keys.ButtonPressed(4));
  EXPECT_FALSE(keys.ButtonDown(10));  // outside the ten buttons
}

class KeycastTest : public testing::Test {
 protected:
  test_support::ScratchDirectory dir_;
  test_support::CurrentDirectoryScope here_{dir_.path()};
};

TEST_F(KeycastTest, MissingFileKeepsTheDefaults) {
  KeyTracker keys;
  const int32_t expected[10] = {0x8, 0x1, 0x4, 0x2, 0x20, 0x40, 0x80, 0x10, 0x800, 0x400};
  for (int b = 0; b < 10; ++b) EXPECT_EQ(keys.ButtonMask(b), expected[b]) << b;
}

TEST_F(KeycastTest, TheFileSetsButtonsFourToNineButNeverTheDirections) {
  std::string file(64, '\0');
  for (int word = 0; word < 16; ++word) file[word * 4] = static_cast<char>(0x70 + word);
  file[4 * 4 + 1] = 0x01;  // word 4 = 0x0174
  dir_.WriteFile("keycast.ini", file);
  KeyTracker keys;
  EXPECT_EQ(keys.ButtonMask(0), 0x8);
  EXPECT_EQ(keys.ButtonMask(3), 0x2);
  EXPECT_EQ(keys.ButtonMask(4), 0x174);
  EXPECT_EQ(keys.ButtonMask(9), 0x79);
}

TEST_F(KeycastTest, AShortFileReplacesOnlyWhatItCovers) {
  dir_.WriteFile("keycast.ini", std::string(8, '\x7F'));
  KeyTracker keys;
  EXPECT_EQ(keys.ButtonMask(4), 0x20);
  dir_.WriteFile("keycast.ini", std::string(18, '\x01'));  // half of word 4
  KeyTracker half;
  EXPECT_EQ(half.ButtonMask(4), 0x0101);
}

}  // namespace
