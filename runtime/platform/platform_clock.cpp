#include "runtime/platform/platform_clock.h"

#include <sched.h>

#include <atomic>
#include <ctime>

namespace platform {
namespace {

std::atomic<ClockMsSource> g_ms_source{nullptr};

int64_t MonotonicNanoseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return int64_t{now.tv_sec} * 1000000000 + now.tv_nsec;
}

}  // namespace

uint32_t ClockMs() {
  if (ClockMsSource source = g_ms_source.load(std::memory_order_acquire)) return source();
  return static_cast<uint32_t>(MonotonicNanoseconds() / 1000000);
}

int64_t CounterTicks() { return MonotonicNanoseconds(); }

int64_t CounterFrequency() { return 1000000000; }

int64_t ClockUs() { return MonotonicNanoseconds() / 1000; }

void SleepMs(uint32_t ms) {
  if (ms == 0) {
    sched_yield();
    return;
  }
  timespec request{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  // Sleep the whole time even when a signal interrupts us.
  while (nanosleep(&request, &request) != 0) {
  }
}

void SetClockMsSourceForTesting(ClockMsSource source) {
  g_ms_source.store(source, std::memory_order_release);
}

}  // namespace platform
