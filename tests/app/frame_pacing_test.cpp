#include <gtest/gtest.h>

#include "app/jukebox_app.h"

namespace {

TEST(FramePacingTest, TheWaitFillsTheFrameAndIsClampedToIt) {
  EXPECT_EQ(app::FrameWait(35, 1000, 1010), 25);  // 10 ms of work: wait the rest
  EXPECT_EQ(app::FrameWait(35, 1000, 1050), 0);   // a 50 ms frame is not made up later
  EXPECT_EQ(app::FrameWait(35, 1000, 990), 35);   // never more than one frame
  EXPECT_EQ(app::FrameWait(35, -5, 25), 5);       // the clock wraps through zero
}

}  // namespace
