#include "tools/output/safe_output.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tools {
namespace {

// The temporary files being written, for the signal handler: fixed storage, so that the
// handler touches nothing but these arrays and unlink. A slot is claimed atomically (outputs
// are opened on several threads at once) and holds its path only once it is marked ready.
constexpr int kCleanupSlots = 1024;
enum SlotState : int { kFree, kClaimed, kReady };
char g_cleanup_paths[kCleanupSlots][PATH_MAX];
std::atomic<int> g_cleanup_state[kCleanupSlots];
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads the slots");

// The slot that now holds `path`, or -1 when every slot is taken.
int RegisterForCleanup(const std::string& path) {
  if (path.size() >= PATH_MAX) return -1;
  for (int slot = 0; slot < kCleanupSlots; ++slot) {
    int expected = kFree;
    if (!g_cleanup_state[slot].compare_exchange_strong(expected, kClaimed)) continue;
    std::memcpy(g_cleanup_paths[slot], path.c_str(), path.size() + 1);
    g_cleanup_state[slot].store(kReady);
    return slot;
  }
  return -1;
}

void UnregisterForCleanup(int slot) {
  if (slot >= 0 && slot < kCleanupSlots) g_cleanup_state[slot].store(kFree);
}

void OnFatalSignal(int signal_number) {
  for (int slot = 0; slot < kCleanupSlots; ++slot)
    if (g_cleanup_state[slot].load() == kReady) unlink(g_cleanup_paths[slot]);
  // Ends the program the way the signal would have (the shell sees the same status).
  signal(signal_number, SIG_DFL);
  raise(signal_number);
}

// Every signal whose default action ends the program and that can be caught.
constexpr int kFatalSignals[] = {SIGHUP,  SIGINT,  SIGQUIT,   SIGILL,  SIGTRAP, SIGABRT,
                                 SIGBUS,  SIGFPE,  SIGUSR1,   SIGSEGV, SIGUSR2, SIGPIPE,
                                 SIGALRM, SIGTERM, SIGSTKFLT, SIGXCPU, SIGXFSZ, SIGVTALRM,
                                 SIGPROF, SIGIO,   SIGPWR,    SIGSYS};

std::string Folder(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Follows symbolic links from `path` to the file they end at (which may not exist yet: the
// shell's ">" creates a dangling link's target). "" with errno set on a loop or a failure.
std::string FollowLinks(const std::string& path) {
  std::string at = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat info {};
    if (lstat(at.c_str(), &info) != 0) return errno == ENOENT ? at : std::string();
    if (!S_ISLNK(info.st_mode)) return at;
    char target[PATH_MAX];
    const ssize_t length = readlink(at.c_str(), target, sizeof target - 1);
    if (length < 0) return {};
    target[length] = '\0';
    at = target[0] == '/' ? std::string(target) : Folder(at) + "/" + target;
  }
  errno = ELOOP;
  return {};
}

// The process's umask, read without changing it (outputs are opened on several threads, and
// setting the mask even for a moment would give another thread's new file the wrong mode).
mode_t ReadUmask() {
  if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
    char line[256];
    unsigned mask = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, status))
      found = std::sscanf(line, "Umask: %o", &mask) == 1;
    std::fclose(status);
    if (found) return static_cast<mode_t>(mask);
  }
  // No /proc: set and restore it once, at the first output (before any thread writes one).
  const mode_t mask = umask(0);
  umask(mask);
  return mask;
}

mode_t ModeForNewFiles() {
  static const mode_t mode = 0666 & ~ReadUmask();
  return mode;
}

// The temporary file's name beside the output: the output's name with a suffix, shortened so
// that it fits wherever the output's name fits (at most NAME_MAX bytes, cut before a UTF-8
// continuation byte so the name stays readable).
std::string TemporaryName(const std::string& target) {
  static constexpr char kSuffix[] = ".partial-XXXXXX";
  std::string base = BaseName(target);
  const size_t room = NAME_MAX - (sizeof kSuffix - 1);
  if (base.size() > room) {
    size_t cut = room;
    while (cut > 0 && (static_cast<unsigned char>(base[cut]) & 0xC0) == 0x80) --cut;
    base.resize(cut);
  }
  return Folder(target) + "/" + base + kSuffix;
}

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
  struct stat first {};
  struct stat second {};
  if (stat(a.c_str(), &first) != 0 || stat(b.c_str(), &second) != 0) return false;
  return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

std::string InputOverwrittenBy(const std::string& output, const std::vector<std::string>& inputs) {
  if (output == "-") return {};
  for (const std::string& input : inputs)
    if (!input.empty() && SameFile(output, input)) return input;
  return {};
}

std::string DescribeFileError(const std::string& path, int error) {
  return path + ": " + std::strerror(error);
}

void InstallSignalCleanup() {
  static std::atomic<bool> installed{false};
  if (installed.exchange(true)) return;
  ModeForNewFiles();  // read while there is one thread
  for (int signal_number : kFatalSignals) {
    struct sigaction current {};
    // A signal the caller ignores (nohup's SIGHUP) or handles (a sanitizer's) is left alone.
    if (sigaction(signal_number, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) continue;
    struct sigaction action {};
    action.sa_handler = &OnFatalSignal;
    sigemptyset(&action.sa_mask);
    sigaction(signal_number, &action, nullptr);
  }
}

SafeOutput::~SafeOutput() { Abandon(); }

bool SafeOutput::Open(const std::string& path, std::string* error) {
  Abandon();
  InstallSignalCleanup();
  path_ = path;
  error_ = 0;
  if (path == "-") {
    fd_ = STDOUT_FILENO;
    own_fd_ = false;
    return true;
  }
  target_ = FollowLinks(path);
  if (target_.empty()) {
    *error = DescribeFileError(path, errno);
    return false;
  }
  struct stat info {};
  if (stat(target_.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
    if (S_ISDIR(info.st_mode)) {
      *error = DescribeFileError(path, EISDIR);
      return false;
    }
    // A FIFO or a device: its reader gets the output itself; nothing may be renamed over it.
    fd_ = open(target_.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd_ < 0) {
      *error = DescribeFileError(path, errno);
      return false;
    }
    own_fd_ = true;
    return true;
  }
  const mode_t mode = ModeForNewFiles();
  temporary_ = TemporaryName(target_);
  fd_ = mkostemp(temporary_.data(), O_CLOEXEC);
  if (fd_ < 0) {
    *error = DescribeFileError(path, errno);
    temporary_.clear();
    return false;
  }
  own_fd_ = true;
  cleanup_slot_ = RegisterForCleanup(temporary_);
  if (cleanup_slot_ < 0) {
    // A file a signal could leave behind is not begun.
    *error = path + ": too many outputs are being written at once";
    Abandon();
    return false;
  }
  // mkstemp makes the file private; a finished output gets what a new file gets.
  fchmod(fd_, mode);
  return true;
}

bool SafeOutput::Write(const void* data, size_t bytes) {
  if (fd_ < 0 || error_ != 0) return false;
  const char* at = static_cast<const char*>(data);
  while (bytes > 0) {
    const ssize_t written = write(fd_, at, bytes);
    if (written < 0) {
      if (errno == EINTR) continue;
      error_ = errno;
      return false;
    }
    at += written;
    bytes -= static_cast<size_t>(written);
  }
  return true;
}

bool SafeOutput::WriteAt(uint64_t offset, const void* data, size_t bytes) {
  if (!seekable() || fd_ < 0 || error_ != 0) return false;
  const ssize_t written = pwrite(fd_, data, bytes, static_cast<off_t>(offset));
  if (written != static_cast<ssize_t>(bytes)) error_ = written < 0 ? errno : EIO;
  return error_ == 0;
}

bool SafeOutput::Commit(std::string* error) {
  if (fd_ < 0) {
    *error = DescribeFileError(path_, EBADF);
    return false;
  }
  if (error_ == 0 && seekable() && fsync(fd_) != 0) error_ = errno;
  if (own_fd_ && close(fd_) != 0 && error_ == 0) error_ = errno;
  fd_ = -1;
  if (error_ == 0 && seekable() && rename(temporary_.c_str(), target_.c_str()) != 0) error_ = errno;
  if (error_ != 0) {
    *error = DescribeFileError(path_, error_);
    Abandon();
    return false;
  }
  UnregisterForCleanup(cleanup_slot_);
  cleanup_slot_ = -1;
  temporary_.clear();
  return true;
}

void SafeOutput::Abandon() {
  if (fd_ >= 0 && own_fd_) close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) {
    unlink(temporary_.c_str());
    UnregisterForCleanup(cleanup_slot_);
    cleanup_slot_ = -1;
    temporary_.clear();
  }
}

}  // namespace tools
