// Runtime-wide settings and findings that start-up records and other parts read: the directory
// that was current at start-up (home of the log, restored at shut-down) and the choice of the
// fine counter for time measurement. Written by start-up on the main thread.
#pragma once

#include <cstdint>
#include <string>

namespace runtime {

struct RuntimeState {
  std::string StartupDirectory;  // empty until start-up
  int RuntimeInitialised = 0;
  int RuntimeEnding = 0;  // 1 while shutting down, 4 when the window was closed
  int ComInitialised = 0;
  int UsePerformanceCounter = 0;
  int64_t PerformanceFrequency = 0;  // fine counter ticks per second; 0 when there is none
  uint32_t MinimumTimerPeriod = 0;   // milliseconds
};

RuntimeState& GetRuntimeState();

// Back to the state at process start (tests).
void ResetRuntimeState();

}  // namespace runtime
