#include "runtime/platform/quit_signals.h"

#include <SDL.h>
#include <dirent.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <thread>

namespace platform {
namespace {

constexpr int kGraceSeconds = 2;

std::atomic<int> g_signal{0};
char g_line[128];

// The signals that end the program, blocked in every thread and taken by the watcher alone.
sigset_t QuitSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

// A child (SDL forks one for each message box, and whatever it execs) starts with the signals
// open again, so that it ends on SIGTERM as any program does.
void UnblockInChild() {
  const sigset_t quit = QuitSet();
  pthread_sigmask(SIG_UNBLOCK, &quit, nullptr);
}

void Sleep(long ms) {
  timespec rest{ms / 1000, (ms % 1000) * 1000000L};
  while (nanosleep(&rest, &rest) != 0 && errno == EINTR) {
  }
}

// Ends this process's children: a message box is shown by a process SDL forks, and the frame
// loop waits for it (ending it is pressing its OK).
void EndChildren() {
  const pid_t self = getpid();
  DIR* processes = opendir("/proc");
  if (!processes) return;
  while (dirent* entry = readdir(processes)) {
    char path[300];
    std::snprintf(path, sizeof path, "/proc/%.255s/stat", entry->d_name);
    std::FILE* stat =
        entry->d_name[0] >= '1' && entry->d_name[0] <= '9' ? std::fopen(path, "re") : nullptr;
    if (!stat) continue;
    int pid = 0;
    int parent = 0;
    // pid (command) state parent: the command may hold spaces, so read past its last ')'.
    char line[512] = {};
    const bool read = std::fgets(line, sizeof line, stat) != nullptr;
    std::fclose(stat);
    const char* after = read ? std::strrchr(line, ')') : nullptr;
    if (!after || std::sscanf(line, "%d", &pid) != 1 ||
        std::sscanf(after + 1, " %*c %d", &parent) != 1)
      continue;
    // SIGKILL: whatever the child does with SIGTERM, it ends.
    if (parent == self) kill(pid, SIGKILL);
  }
  closedir(processes);
}

// Waits for a signal, gives the frame loop its grace (closing a message box that holds it),
// then ends the process where it stands.
void Watch() {
  const sigset_t quit = QuitSet();
  int number = 0;
  while (sigwait(&quit, &number) != 0) {
  }
  g_signal.store(number);
  Sleep(kGraceSeconds * 1000 / 4);
  EndChildren();
  Sleep(kGraceSeconds * 1000 * 3 / 4);
  const ssize_t written = write(STDERR_FILENO, g_line, std::strlen(g_line));
  (void)written;
  // No exit handlers: other threads still run, and the system frees what the process holds.
  _exit(128 + g_signal.load());
}

}  // namespace

void InstallQuitSignals(const char* program) {
  static std::atomic<bool> installed{false};
  if (installed.exchange(true)) return;
  std::snprintf(g_line, sizeof g_line, "%s: ended by a signal while it could not stop by itself\n",
                program);
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // No handler: a handler runs on whichever thread the signal finds, and may be held back while
  // that thread waits (a sanitizer's runtime defers it until the wait returns, and the wait for
  // a message box does not return). Blocked here, before any other thread starts, the signals
  // stay pending for the watcher, which takes them with sigwait whatever the others do.
  const sigset_t quit = QuitSet();
  pthread_sigmask(SIG_BLOCK, &quit, nullptr);
  pthread_atfork(nullptr, nullptr, &UnblockInChild);
  std::thread(&Watch).detach();
}

int QuitSignalReceived() { return g_signal.load(); }

}  // namespace platform
