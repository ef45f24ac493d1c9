#include <windows.h>
// after windows.h, which it needs
#include <timeapi.h>

#include "runtime/platform/timer_resolution.h"

namespace platform {

void BeginTimerResolution(uint32_t period_ms) { timeBeginPeriod(period_ms); }
void EndTimerResolution(uint32_t period_ms) { timeEndPeriod(period_ms); }

}  // namespace platform
