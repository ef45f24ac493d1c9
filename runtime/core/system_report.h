// The machine report written to the log at start-up: the runtime's version, the operating
// system, the platform layer's services (reported as the graphics and sound library version the
// runtime was written for), the processor's speed and features. Refuses to run when that version
// is below 7.0 (a service missing), so a program that goes on has always recorded 7.0.
// Called once by runtime start-up, on the main thread.
#pragma once

#include <cstdint>

namespace runtime {

struct SystemFindings {
  int OsKind = 0;
  int DirectXVersion = 0;  // (major << 16) | (minor << 8) | letter
  int MmxUsable = 0;
  int TscAvailable = 0;
  int64_t TscTicksPerHalfSecond = 0;
};

SystemFindings& GetSystemFindings();

// Returns 0, or ends the process with exit code -1 after a notice when a service is missing.
int ReportSystemInfo();

// Replaces the probe of the platform's services (tests); null restores the probe.
struct PlatformServicesOverride {
  bool display = true;
  bool audio = true;
  bool input = true;
};
void SetPlatformServicesForTesting(const PlatformServicesOverride* services);

// The version our platform services amount to: 7.0 with display, audio and input; less without.
int PlatformVersionFor(bool display, bool audio, bool input);

void ResetSystemFindings();

}  // namespace runtime
