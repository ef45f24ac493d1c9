// Ctrl-C, Ctrl-Break and the console closing end the program promptly, as SIGINT and SIGTERM do
// on POSIX: the event is noted for the frame loop, which ends as when the window is closed; if
// the loop does not get there within two seconds (a message box waits for its OK), the program
// ends where it stands, saying so, with the POSIX signal's exit status (128 + the signal). The
// system runs the console's handler on a thread of its own, so that thread is the watcher.
#include <SDL.h>
#include <windows.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "runtime/platform/quit_signals.h"

namespace platform {
namespace {

constexpr DWORD kGraceMs = 2000;

std::atomic<int> g_signal{0};
char g_line[128];

BOOL WINAPI OnConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      g_signal.store(SIGINT);
      break;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      g_signal.store(SIGTERM);
      break;
    default:
      return FALSE;
  }
  Sleep(kGraceMs);
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), g_line, static_cast<DWORD>(std::strlen(g_line)),
            &written, nullptr);
  // No exit handlers: other threads still run, and the system frees what the process holds.
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(128 + g_signal.load()));
  return TRUE;
}

}  // namespace

void InstallQuitSignals(const char* program) {
  static std::atomic<bool> installed{false};
  if (installed.exchange(true)) return;
  std::snprintf(g_line, sizeof g_line, "%s: ended by a signal while it could not stop by itself\n",
                program);
  // SDL's own handlers only queue a quit event, which nothing reads while a message box is up.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SetConsoleCtrlHandler(&OnConsoleEvent, TRUE);
}

int QuitSignalReceived() { return g_signal.load(); }

}  // namespace platform
