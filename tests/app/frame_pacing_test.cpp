#include <gtest/gtest.h>

#include <limits>

#include "app/jukebox_app.h"

namespace {

TEST(FramePacingTest, TheWaitFillsTheFrameAndIsClampedToIt) {
  EXPECT_EQ(app::FrameWait(35, 1000, 1010), 25);  // 10 ms of work: wait the rest
  EXPECT_EQ(app::FrameWait(35, 1000, 1050), 0);   // a 50 ms frame is not made up later
  EXPECT_EQ(app::FrameWait(35, 1000, 990), 35);   // never more than one frame
  EXPECT_EQ(app::FrameWait(35, -5, 25), 5);       // the clock wraps through zero
}

TEST(FramePacingTest, TheWaitIsRightAcrossTheClocksWraps) {
  constexpr int kMax = std::numeric_limits<int>::max();
  constexpr int kMin = std::numeric_limits<int>::min();
  // After 24.8 days the count passes 2^31 and turns negative.
  EXPECT_EQ(app::FrameWait(35, kMax - 9, kMin + 10), 15);  // 20 ms across the sign
  EXPECT_EQ(app::FrameWait(35, kMax, kMin), 34);
  EXPECT_EQ(app::FrameWait(35, kMax - 100, kMin + 100), 0);  // a late frame across it
  // After 49.7 days it passes 2^32 and starts again from 0.
  EXPECT_EQ(app::FrameWait(35, -1, 0), 34);
  EXPECT_EQ(app::FrameWait(35, -20, 14), 1);
  EXPECT_EQ(app::FrameWait(35, -1000, 1000), 0);
}

}  // namespace
