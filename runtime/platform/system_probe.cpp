#include "runtime/platform/system_probe.h"

#include <SDL.h>
#ifdef _WIN32
#include <windows.h>
// winnt.h names a macro after our function.
#undef ReadTimeStampCounter
#else
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#endif

#if defined(__x86_64__) || defined(__i386__)
#define RT_HAVE_CPUID 1
#include <cpuid.h>
#include <x86intrin.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/platform/sdl_window.h"

namespace platform {

#ifdef RT_HAVE_CPUID
CpuReport ProbeCpu() {
  CpuReport report;
  unsigned a = 0;
  unsigned b = 0;
  unsigned c = 0;
  unsigned d = 0;
  const unsigned highest = __get_cpuid_max(0, nullptr);
  if (highest == 0) return report;
  report.has_cpuid = true;
  __get_cpuid(0, &a, &b, &c, &d);
  char vendor[13] = {};
  std::memcpy(vendor, &b, 4);
  std::memcpy(vendor + 4, &d, 4);
  std::memcpy(vendor + 8, &c, 4);
  report.vendor = vendor;
  if (highest >= 1) {
    __get_cpuid(1, &a, &b, &c, &d);
    report.has_tsc = (d >> 4) & 1;
    report.has_mmx = (d >> 23) & 1;
  }
  if (static_cast<unsigned>(__get_cpuid_max(0x80000000, nullptr)) >= 0x80000004u) {
    char name[49] = {};
    for (unsigned f = 0; f < 3; ++f) {
      __get_cpuid(0x80000002 + f, &a, &b, &c, &d);
      std::memcpy(name + 16 * f, &a, 4);
      std::memcpy(name + 16 * f + 4, &b, 4);
      std::memcpy(name + 16 * f + 8, &c, 4);
      std::memcpy(name + 16 * f + 12, &d, 4);
    }
    report.name = name;
  }
  return report;
}

uint64_t ReadTimeStampCounter() { return __rdtsc(); }
#else
// Processors without the CPUID instruction: the report says so, and with no time-stamp counter
// reported the counter is never read.
CpuReport ProbeCpu() { return CpuReport{}; }
uint64_t ReadTimeStampCounter() { return 0; }
#endif

#ifdef _WIN32
// Windows' own version (RtlGetVersion: GetVersionEx answers what the program's manifest claims).
OsReport ProbeOs() {
  OsReport report;
  using GetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  const auto get_version = ntdll ? reinterpret_cast<GetVersion>(reinterpret_cast<void*>(
                                       GetProcAddress(ntdll, "RtlGetVersion")))
                                 : nullptr;
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (!get_version || get_version(&info) != 0) return report;
  report.name = "Windows NT";
  report.release = std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion);
  report.build = static_cast<int>(info.dwBuildNumber);
  char service_pack[256] = {};
  WideCharToMultiByte(CP_UTF8, 0, info.szCSDVersion, -1, service_pack, sizeof service_pack, nullptr,
                      nullptr);
  report.version = service_pack;
  return report;
}

void ProbeMemory(uint64_t* total, uint64_t* available) {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  *total = 0;
  *available = 0;
  if (!GlobalMemoryStatusEx(&status)) return;
  *total = status.ullTotalPhys;
  *available = status.ullAvailPhys;
}
#else
OsReport ProbeOs() {
  OsReport report;
  utsname names{};
  if (uname(&names) != 0) return report;
  report.name = names.sysname;
  report.release = names.release;
  // The version text starts "#<build> ...".
  const char* version = names.version;
  if (*version == '#') {
    char* end = nullptr;
    report.build = static_cast<int>(std::strtol(version + 1, &end, 10));
    version = end;
    while (*version == ' ') ++version;
  }
  report.version = version;
  return report;
}

void ProbeMemory(uint64_t* total, uint64_t* available) {
  struct sysinfo info {};
  *total = 0;
  *available = 0;
  if (sysinfo(&info) != 0) return;
  *total = static_cast<uint64_t>(info.totalram) * info.mem_unit;
  *available = static_cast<uint64_t>(info.freeram + info.bufferram) * info.mem_unit;
}
#endif

PlatformServices ProbePlatformServices() {
  PlatformServices services;
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) {
    services.display = SdlWindow::StartedVideoShowsAnything();
    if (!services.display)
      std::fprintf(stderr, "the display cannot be used: video driver %s shows nothing\n",
                   SDL_GetCurrentVideoDriver());
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  } else {
    // The refusal that follows names no reason of its own: say what the display answered.
    std::fprintf(stderr, "the display cannot be used: %s\n", SDL_GetError());
  }
  // A sound device is not required (the runtime runs silent without one): a driver is.
  services.audio = SDL_GetNumAudioDrivers() > 0;
  if (SDL_InitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_EVENTS) == 0) {
    services.input = true;
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_EVENTS);
  } else {
    std::fprintf(stderr, "input cannot be read: %s\n", SDL_GetError());
  }
  return services;
}

}  // namespace platform
