#include "tools/output/safe_output.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tools {
namespace {

// The temporary files being written, for the signal handler: fixed storage, so that the
// handler touches nothing but these arrays and unlink.
constexpr int kCleanupSlots = 64;
char g_cleanup_paths[kCleanupSlots][PATH_MAX];
volatile sig_atomic_t g_cleanup_used[kCleanupSlots];

int RegisterForCleanup(const std::string& path) {
  if (path.size() >= PATH_MAX) return -1;
  for (int slot = 0; slot < kCleanupSlots; ++slot) {
    if (g_cleanup_used[slot]) continue;
    std::memcpy(g_cleanup_paths[slot], path.c_str(), path.size() + 1);
    g_cleanup_used[slot] = 1;
    return slot;
  }
  return -1;
}

void UnregisterForCleanup(const std::string& path) {
  for (int slot = 0; slot < kCleanupSlots; ++slot)
    if (g_cleanup_used[slot] && path == g_cleanup_paths[slot]) g_cleanup_used[slot] = 0;
}

void OnFatalSignal(int signal_number) {
  for (int slot = 0; slot < kCleanupSlots; ++slot)
    if (g_cleanup_used[slot]) unlink(g_cleanup_paths[slot]);
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

mode_t ModeForNewFiles() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
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
  static bool installed = false;
  if (installed) return;
  installed = true;
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
  temporary_ = Folder(target_) + "/" + BaseName(target_) + ".partial-XXXXXX";
  fd_ = mkostemp(temporary_.data(), O_CLOEXEC);
  if (fd_ < 0) {
    *error = DescribeFileError(path, errno);
    temporary_.clear();
    return false;
  }
  own_fd_ = true;
  RegisterForCleanup(temporary_);
  // mkstemp makes the file private; a finished output gets what a new file gets.
  fchmod(fd_, ModeForNewFiles());
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
  if (seekable()) UnregisterForCleanup(temporary_);
  temporary_.clear();
  return true;
}

void SafeOutput::Abandon() {
  if (fd_ >= 0 && own_fd_) close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) {
    unlink(temporary_.c_str());
    UnregisterForCleanup(temporary_);
    temporary_.clear();
  }
}

}  // namespace tools
