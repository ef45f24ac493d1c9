#include "runtime/core/app_log.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "runtime/core/runtime_state.h"
#include "runtime/platform/platform_clock.h"

namespace runtime {
namespace {

constexpr const char* kLogFileName = "AppLog.txt";

struct LogState {
  int AppLogDisabled = 0;
  int tab_depth = 0;
  int line_open = 0;
  uint32_t start_time = 0;
  int file_usable = 0;
};
LogState g_log;

// The log is written by its absolute path in the start-up directory, so the process's current
// directory is never touched: the application may change it freely and finds it unchanged.
std::string LogFilePath() {
  const std::string& directory = GetRuntimeState().StartupDirectory;
  if (!directory.empty() && directory.back() == '/') return directory + kLogFileName;
  return directory + "/" + kLogFileName;
}

}  // namespace

int AppLogWrite(const char* text) {
  if (g_log.AppLogDisabled || GetRuntimeState().StartupDirectory.empty() || !text) return -1;
  std::FILE* file = std::fopen(LogFilePath().c_str(), "ab");
  g_log.file_usable = file != nullptr;
  if (!file) return -1;
  if (!g_log.line_open) {
    const uint32_t elapsed = platform::ClockMs() - g_log.start_time;
    std::fprintf(file, "%d:", static_cast<int>(elapsed));
    for (int i = 0; i < g_log.tab_depth; ++i) std::fputc('\t', file);
  }
  const size_t length = std::strlen(text);
  std::fwrite(text, 1, length, file);
  g_log.line_open = (length == 0 || text[length - 1] != '\n') ? 1 : 0;
  std::fclose(file);
  return -1;
}

int AppLogWriteFormat(const char* format, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, format);
  int written = std::vsnprintf(buffer, sizeof buffer - 1, format, args);
  va_end(args);
  // A text too long for the buffer is cut so that the line feed still fits.
  size_t length =
      written < 0 ? 0 : std::min<size_t>(static_cast<size_t>(written), sizeof buffer - 2);
  buffer[length] = '\n';
  buffer[length + 1] = '\0';
  return AppLogWrite(buffer);
}

int AppLogIndent() {
  if (g_log.file_usable) ++g_log.tab_depth;
  return 0;
}

int AppLogOutdent() {
  if (g_log.file_usable && g_log.tab_depth > 0) --g_log.tab_depth;
  return 0;
}

int SetAppLogEnabled(int enabled) {
  g_log.AppLogDisabled = enabled == 0 ? 1 : 0;
  return 0;
}

void PrepareAppLog() {
  if (g_log.AppLogDisabled) return;
  std::FILE* file = std::fopen(kLogFileName, "wb");
  g_log.file_usable = file != nullptr;
  if (file) std::fclose(file);
  g_log.tab_depth = 0;
  g_log.line_open = 0;
  g_log.start_time = platform::ClockMs();
}

bool IsAppLogEnabled() { return g_log.AppLogDisabled == 0; }

int AppLogTabDepth() { return g_log.tab_depth; }

void ResetAppLog() { g_log = LogState{}; }

}  // namespace runtime
