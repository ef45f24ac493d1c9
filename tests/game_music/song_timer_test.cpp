// The periodic timer's own thread: ticks repeat at their period, and a kill waits for the tick
// that runs.
#include "game_music/song_timer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

// A tick function for the thread source tests: counts, and takes a while.
std::atomic<int> g_ticks{0};
std::atomic<bool> g_in_tick{false};
void SlowTick(void*) {
  g_in_tick = true;
  std::this_thread::sleep_for(std::chrono::milliseconds(15));
  ++g_ticks;
  g_in_tick = false;
}

TEST(ThreadTickSourceTest, TicksRepeatAndAKillWaitsForTheRunningTick) {
  org::ThreadTickSource source;
  g_ticks = 0;
  const uint32_t id = source.Start(5, &SlowTick);
  ASSERT_NE(id, 0u);
  EXPECT_EQ(source.Start(5, &SlowTick), 0u);  // one timer at a time
  while (g_ticks < 3) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  while (!g_in_tick) std::this_thread::sleep_for(std::chrono::microseconds(100));
  EXPECT_TRUE(source.Kill(id));
  EXPECT_FALSE(g_in_tick);  // the tick in progress finished before the kill returned
  const int after_kill = g_ticks;
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(g_ticks, after_kill);
  EXPECT_FALSE(source.Kill(id));
}

}  // namespace
