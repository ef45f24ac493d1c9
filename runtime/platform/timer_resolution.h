// The system timer's resolution, asked for while the game's periodic timer runs: on Windows the
// multimedia timer's timeBeginPeriod/timeEndPeriod, so that sleeps and timers wake within a
// millisecond instead of a scheduler tick (15.6 ms); POSIX timers need no request, and there
// these do nothing. Each Begin is matched by one End with the same period. Any thread.
#pragma once

#include <cstdint>

namespace platform {

void BeginTimerResolution(uint32_t period_ms);
void EndTimerResolution(uint32_t period_ms);

}  // namespace platform
