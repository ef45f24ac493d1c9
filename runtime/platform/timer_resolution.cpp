#include "runtime/platform/timer_resolution.h"

namespace platform {

// POSIX sleeps and clocks already wake within a millisecond: nothing to ask for.
void BeginTimerResolution(uint32_t) {}
void EndTimerResolution(uint32_t) {}

}  // namespace platform
