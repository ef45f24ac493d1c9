#include "runtime/platform/stream_clock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

using platform::BlockTiming;
using platform::StreamClock;

constexpr int kFrames = 512;
constexpr int kRate = 44100;
constexpr double kPeriodUs = kFrames * 1e6 / kRate;

TEST(StreamClockTest, BlocksFollowOneAnotherWithoutGapsAndRunALatencyBehind) {
  StreamClock clock(2.0);
  BlockTiming previous = clock.OnBlock(1000000, kFrames, kRate);
  EXPECT_NEAR(previous.start_us, 1000000 - 2 * kPeriodUs, 1.0);
  EXPECT_NEAR(previous.end_us - previous.start_us, kPeriodUs, 1.0);
  for (int k = 1; k < 200; ++k) {
    const BlockTiming next =
        clock.OnBlock(1000000 + static_cast<int64_t>(std::llround(k * kPeriodUs)), kFrames, kRate);
    EXPECT_EQ(next.start_us, previous.end_us);
    previous = next;
  }
}

TEST(StreamClockTest, CallbackJitterIsSmoothedAway) {
  StreamClock clock(2.0);
  std::mt19937 generator(7);
  std::uniform_real_distribution<double> jitter(-3000.0, 3000.0);  // ±3 ms wake-up noise
  double worst = 0;
  for (int k = 0; k < 2000; ++k) {
    const double ideal = 5e6 + k * kPeriodUs;
    const BlockTiming block =
        clock.OnBlock(static_cast<int64_t>(ideal + jitter(generator)), kFrames, kRate);
    if (k > 500) worst = std::max(worst, std::fabs(block.end_us - block.start_us - kPeriodUs));
  }
  // Each block stands for close to its real duration, far steadier than the raw ±3 ms.
  EXPECT_LT(worst, 200.0);
}

TEST(StreamClockTest, FollowsADeviceThatRunsFast) {
  StreamClock clock(2.0);
  const double device_period = kPeriodUs * 0.95;  // the device pulls 5 % faster than our clock
  BlockTiming block{};
  for (int k = 0; k < 3000; ++k)
    block = clock.OnBlock(static_cast<int64_t>(k * device_period), kFrames, kRate);
  EXPECT_NEAR(block.end_us - block.start_us, device_period, 5.0);
  // And the line stays a fixed latency behind the callbacks instead of drifting away.
  EXPECT_NEAR(block.start_us, 2999 * device_period - 2 * kPeriodUs, 100.0);
}

TEST(StreamClockTest, AStallStartsANewLine) {
  StreamClock clock(2.0);
  for (int k = 0; k < 10; ++k) clock.OnBlock(static_cast<int64_t>(k * kPeriodUs), kFrames, kRate);
  const int64_t late = static_cast<int64_t>(10 * kPeriodUs + 500000);  // half a second stall
  const BlockTiming block = clock.OnBlock(late, kFrames, kRate);
  EXPECT_NEAR(block.start_us, late - 2 * kPeriodUs, 1.0);
}

TEST(StreamClockTest, TheStartBurstOfASoundServerDoesNotBendTheLine) {
  // A server fills its buffer first: three callbacks in 2 ms, then a pause of almost a second
  // before it starts consuming, then one block per period. The line is anchored at the first
  // steady callback and then runs straight: no block's span differs from its period.
  StreamClock clock(2.0);
  for (int64_t t : {0, 1000, 2000}) clock.OnBlock(t, kFrames, kRate);
  EXPECT_FALSE(clock.settled());
  const int64_t steady = 909000;
  BlockTiming block = clock.OnBlock(steady, kFrames, kRate);
  EXPECT_TRUE(clock.settled());
  EXPECT_NEAR(block.start_us, steady - 2 * kPeriodUs, 1.0);
  for (int k = 1; k < 400; ++k) {
    block =
        clock.OnBlock(steady + static_cast<int64_t>(std::llround(k * kPeriodUs)), kFrames, kRate);
    EXPECT_NEAR(block.end_us - block.start_us, kPeriodUs, 1.0) << k;
  }
  EXPECT_NEAR(block.start_us, steady + 399 * kPeriodUs - 2 * kPeriodUs, 2.0);
  EXPECT_EQ(clock.underruns(), 0u);
}

TEST(StreamClockTest, CallbacksABlockLateAreCountedAsUnderruns) {
  StreamClock clock(2.0);
  int64_t now = 0;
  for (int k = 0; k < 20; ++k, now += static_cast<int64_t>(kPeriodUs))
    clock.OnBlock(now, kFrames, kRate);
  EXPECT_EQ(clock.underruns(), 0u);
  clock.OnBlock(now + static_cast<int64_t>(0.5 * kPeriodUs), kFrames, kRate);  // late, in time
  EXPECT_EQ(clock.underruns(), 0u);
  now += static_cast<int64_t>(kPeriodUs);
  clock.OnBlock(now + static_cast<int64_t>(1.5 * kPeriodUs), kFrames, kRate);  // a block late
  EXPECT_EQ(clock.underruns(), 1u);
  clock.OnBlock(now + 500000, kFrames, kRate);  // a stall: a new line, and one more underrun
  EXPECT_EQ(clock.underruns(), 2u);
}

}  // namespace
