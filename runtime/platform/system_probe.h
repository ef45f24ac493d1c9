// What the machine offers, for the start-up report: the processor's identification (CPUID), its
// time-stamp counter, the operating system's name and release, the physical memory, and whether
// the display, audio and input services of our platform layer are there.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

struct CpuReport {
  bool has_cpuid = false;
  std::string vendor;  // 12 characters
  std::string name;    // up to 48 characters; empty without the extended functions
  bool has_tsc = false;
  bool has_mmx = false;
};

CpuReport ProbeCpu();
uint64_t ReadTimeStampCounter();

struct OsReport {
  std::string name;     // the kernel's name, such as "Linux"
  std::string release;  // its release
  int build = 0;        // the build number from the kernel's version text
  std::string version;  // the rest of that text
};
OsReport ProbeOs();

// Total and available physical memory in bytes.
void ProbeMemory(uint64_t* total, uint64_t* available);

struct PlatformServices {
  bool display = false;
  bool audio = false;
  bool input = false;
};
PlatformServices ProbePlatformServices();

}  // namespace platform
