// The runtime's clocks: the millisecond time the application paces frames and measures play time
// with, and a microsecond time for fine measurements. Main thread (they are safe anywhere).
#pragma once

#include <cstdint>

namespace runtime {

// Milliseconds from an arbitrary origin; 32 bits, wrapping.
int ReadClockMs();

// Microseconds: from the fine counter when start-up chose it (UsePerformanceCounter), else the
// millisecond time × 1000.
int64_t ReadClockUs();

}  // namespace runtime
