#include "runtime/platform/platform_clock.h"

#include <gtest/gtest.h>

#include "test_support/scoped_hooks.h"

namespace {

uint32_t FixedClock() { return 0xFFFFFFF0u; }

TEST(PlatformClockTest, MillisecondSourceCanBeReplacedAndRestored) {
  {
    const test_support::ClockMsScope clock(&FixedClock);
    EXPECT_EQ(platform::ClockMs(), 0xFFFFFFF0u);
  }
  EXPECT_NE(platform::ClockMs(), 0xFFFFFFF0u);
}

TEST(PlatformClockTest, SleepLastsAtLeastItsTimeAndClocksAgree) {
  const int64_t us_before = platform::ClockUs();
  const uint32_t ms_before = platform::ClockMs();
  const int64_t ticks_before = platform::CounterTicks();
  platform::SleepMs(20);
  const int64_t us_elapsed = platform::ClockUs() - us_before;
  const uint32_t ms_elapsed = platform::ClockMs() - ms_before;
  const int64_t ticks_elapsed = platform::CounterTicks() - ticks_before;
  EXPECT_GE(us_elapsed, 20000);
  EXPECT_GE(ms_elapsed, 19u);  // the millisecond clock may tick just after the sleep began
  EXPECT_NEAR(static_cast<double>(ticks_elapsed) / platform::CounterFrequency() * 1e6,
              static_cast<double>(us_elapsed), 2000.0);
}

}  // namespace
