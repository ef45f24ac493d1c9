#include "runtime/core/clock.h"

#include <gtest/gtest.h>

#include "runtime/core/runtime_state.h"
#include "runtime/platform/platform_clock.h"
#include "test_support/scoped_hooks.h"

namespace {

uint32_t FakeClock() { return 0xFFFFFFFFu; }

TEST(ClockTest, MillisecondsAreThePlatformTimeAndWrapAsSigned) {
  const test_support::ClockMsScope clock(&FakeClock);
  EXPECT_EQ(runtime::ReadClockMs(), -1);
  // Without the fine counter, microseconds are the millisecond time times 1000.
  runtime::ResetRuntimeState();
  EXPECT_EQ(runtime::ReadClockUs(), 4294967295LL * 1000);
}

TEST(ClockTest, WithTheFineCounterMicrosecondsComeFromIt) {
  runtime::ResetRuntimeState();
  runtime::GetRuntimeState().UsePerformanceCounter = 1;
  runtime::GetRuntimeState().PerformanceFrequency = platform::CounterFrequency();
  const int64_t expected = platform::CounterTicks() / (platform::CounterFrequency() / 1000000);
  EXPECT_NEAR(static_cast<double>(runtime::ReadClockUs()), static_cast<double>(expected), 1000.0);
  runtime::ResetRuntimeState();
}

}  // namespace
