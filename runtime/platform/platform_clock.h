// Monotonic clocks and sleep for the whole runtime: the millisecond time that stands in for the
// multimedia timer, a fine counter that stands in for the high-resolution counter, and a sleep.
// Called by the runtime core (log prefixes, frame pacing, timer tests), the sequencer timer and the
// sound device's stream clock. Tests may replace the millisecond source to get fixed readings.
#pragma once

#include <cstdint>

namespace platform {

// Milliseconds since an arbitrary origin; 32 bits, wraps after about 49.7 days. Any thread.
uint32_t ClockMs();

// The fine counter in ticks, and its ticks per second (never 0 on this platform). Any thread.
int64_t CounterTicks();
int64_t CounterFrequency();

// Microseconds since an arbitrary origin, from the fine counter. Any thread.
int64_t ClockUs();

// Sleeps the calling thread for at least `ms` milliseconds (0 yields the processor).
void SleepMs(uint32_t ms);

// Replaces the millisecond source (tests only); nullptr restores the real clock.
using ClockMsSource = uint32_t (*)();
void SetClockMsSourceForTesting(ClockMsSource source);

}  // namespace platform
