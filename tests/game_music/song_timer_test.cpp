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

// Counts, and every tenth tick takes three periods of 1 ms, as a loaded machine makes it.
std::atomic<int> g_fast_ticks{0};
void SometimesSlowTick(void*) {
  if (++g_fast_ticks % 10 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(3));
}

TEST(ThreadTickSourceTest, TicksThatFellDueWhileOneRanLateArePlayedNotSlipped) {
  // A song of 1 ms steps keeps its tempo: after any stretch of time, as many ticks have played
  // as periods have passed, however late the thread woke or long a tick took.
  org::ThreadTickSource source;
  g_fast_ticks = 0;
  const auto started = std::chrono::steady_clock::now();
  const uint32_t id = source.Start(1, &SometimesSlowTick);
  ASSERT_NE(id, 0u);
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  const int ticks = g_fast_ticks;
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - started)
                           .count();
  EXPECT_TRUE(source.Kill(id));
  // The ticks due at the end may still be on their way (a loaded machine may not run the
  // thread for some milliseconds); a timer that slipped would have lost about a fifth (80).
  EXPECT_GE(ticks, elapsed - 30) << elapsed << " ms";
  EXPECT_LE(ticks, elapsed + 1) << elapsed << " ms";
}

}  // namespace
