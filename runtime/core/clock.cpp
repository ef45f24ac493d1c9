#include "runtime/core/clock.h"

#include "runtime/core/runtime_state.h"
#include "runtime/platform/platform_clock.h"

namespace runtime {

int ReadClockMs() { return static_cast<int>(platform::ClockMs()); }

int64_t ReadClockUs() {
  const RuntimeState& state = GetRuntimeState();
  if (state.UsePerformanceCounter == 1 && state.PerformanceFrequency != 0) {
    return static_cast<int64_t>(static_cast<double>(platform::CounterTicks()) * 1000000.0 /
                                static_cast<double>(state.PerformanceFrequency));
  }
  return int64_t{platform::ClockMs()} * 1000;
}

}  // namespace runtime
