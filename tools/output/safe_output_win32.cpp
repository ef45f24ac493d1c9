// Writing a tool's output without losing a file, on Windows: the same promises as the POSIX
// version (safe_output.cpp), with the system's own means. Paths are UTF-8 and opened through
// their wide form; the temporary file beside the output is renamed over it with MoveFileEx
// once complete; an output that is a device or a pipe (NUL, CON, \\.\pipe\...) is written
// directly; and Ctrl-C, Ctrl-Break or the console closing removes the temporary files being
// written before the program ends. The console's handler runs on a thread of its own (not in
// a signal), so the registry of temporary files is a plain list under a lock.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>

#include "runtime/platform/wide_text.h"
#include "tools/output/safe_output.h"

namespace tools {
namespace {

std::mutex g_cleanup_mutex;
std::set<std::pair<int, std::wstring>> g_cleanup;
std::atomic<int> g_next_slot{0};

int RegisterForCleanup(const std::string& path) {
  const int slot = g_next_slot.fetch_add(1);
  std::lock_guard<std::mutex> lock(g_cleanup_mutex);
  g_cleanup.insert({slot, platform::WideFromUtf8(path)});
  return slot;
}

void UnregisterForCleanup(int slot) {
  std::lock_guard<std::mutex> lock(g_cleanup_mutex);
  for (auto it = g_cleanup.begin(); it != g_cleanup.end(); ++it) {
    if (it->first == slot) {
      g_cleanup.erase(it);
      return;
    }
  }
}

// Removes the temporary files, then lets the next handler (the system's: the program ends).
BOOL WINAPI OnConsoleEvent(DWORD) {
  std::lock_guard<std::mutex> lock(g_cleanup_mutex);
  for (const auto& [slot, path] : g_cleanup) DeleteFileW(path.c_str());
  g_cleanup.clear();
  return FALSE;
}

// The last separator of a Windows path ('/' or '\\').
size_t LastSeparator(const std::string& path) { return path.find_last_of("/\\"); }

std::string Folder(const std::string& path) {
  const size_t slash = LastSeparator(path);
  if (slash == std::string::npos) return ".";
  return path.substr(0, slash == 0 ? 1 : slash);
}

std::string BaseName(const std::string& path) {
  const size_t slash = LastSeparator(path);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

int ErrnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_WRITE_PROTECT:
      return EROFS;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    default:
      return EIO;
  }
}

// The temporary file beside `target` ("<name>.partial-<process>-<count>"), created new.
int CreateTemporary(const std::string& target, std::string* temporary) {
  static std::atomic<unsigned> count{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, ".partial-%lu-%u", GetCurrentProcessId(),
                  count.fetch_add(1));
    *temporary = Folder(target) + "/" + BaseName(target) + suffix;
    const int fd = _wopen(platform::WideFromUtf8(*temporary).c_str(),
                          _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// What the existing `path` is: a regular file (or nothing yet) is written through a
// temporary file; a folder is refused; anything else (a device, a pipe) is written directly.
enum class Kind { kNew, kRegular, kFolder, kOther };
Kind KindOf(const std::string& path) {
  const std::wstring wide = platform::WideFromUtf8(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    // Devices (NUL, CON) and pipes have no attributes to read: ask what they are when opened.
    HANDLE handle = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return Kind::kNew;
    const DWORD type = GetFileType(handle);
    CloseHandle(handle);
    return type == FILE_TYPE_DISK ? Kind::kRegular : Kind::kOther;
  }
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? Kind::kFolder : Kind::kRegular;
}

bool FileIdentity(const std::string& path, BY_HANDLE_FILE_INFORMATION* info) {
  HANDLE handle = CreateFileW(platform::WideFromUtf8(path).c_str(), 0,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool ok = GetFileInformationByHandle(handle, info) != 0;
  CloseHandle(handle);
  return ok;
}

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
  BY_HANDLE_FILE_INFORMATION first{};
  BY_HANDLE_FILE_INFORMATION second{};
  if (!FileIdentity(a, &first) || !FileIdentity(b, &second)) return false;
  return first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
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
  SetConsoleCtrlHandler(&OnConsoleEvent, TRUE);
}

SafeOutput::~SafeOutput() { Abandon(); }

bool SafeOutput::Open(const std::string& path, std::string* error) {
  Abandon();
  InstallSignalCleanup();
  path_ = path;
  error_ = 0;
  if (path == "-") {
    fd_ = _fileno(stdout);
    _setmode(fd_, _O_BINARY);  // the bytes as they are, no CRLF
    own_fd_ = false;
    return true;
  }
  target_ = path;
  switch (KindOf(target_)) {
    case Kind::kFolder:
      *error = DescribeFileError(path, EISDIR);
      return false;
    case Kind::kOther:
      fd_ = _wopen(platform::WideFromUtf8(target_).c_str(), _O_WRONLY | _O_BINARY | _O_NOINHERIT);
      if (fd_ < 0) {
        *error = DescribeFileError(path, errno);
        return false;
      }
      own_fd_ = true;
      return true;
    case Kind::kNew:
    case Kind::kRegular:
      break;
  }
  fd_ = CreateTemporary(target_, &temporary_);
  if (fd_ < 0) {
    *error = DescribeFileError(path, errno);
    temporary_.clear();
    return false;
  }
  own_fd_ = true;
  cleanup_slot_ = RegisterForCleanup(temporary_);
  return true;
}

bool SafeOutput::Write(const void* data, size_t bytes) {
  if (fd_ < 0 || error_ != 0) return false;
  const char* at = static_cast<const char*>(data);
  while (bytes > 0) {
    const unsigned block = static_cast<unsigned>(std::min<size_t>(bytes, 1u << 30));
    const int written = _write(fd_, at, block);
    if (written < 0) {
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
  const long long end = _telli64(fd_);
  if (_lseeki64(fd_, static_cast<long long>(offset), SEEK_SET) < 0) {
    error_ = errno;
    return false;
  }
  const int written = _write(fd_, data, static_cast<unsigned>(bytes));
  if (written != static_cast<int>(bytes)) error_ = written < 0 ? errno : EIO;
  if (_lseeki64(fd_, end, SEEK_SET) < 0 && error_ == 0) error_ = errno;
  return error_ == 0;
}

bool SafeOutput::Commit(std::string* error) {
  if (fd_ < 0) {
    *error = DescribeFileError(path_, EBADF);
    return false;
  }
  if (error_ == 0 && seekable() && _commit(fd_) != 0) error_ = errno;
  if (own_fd_ && _close(fd_) != 0 && error_ == 0) error_ = errno;
  fd_ = -1;
  if (error_ == 0 && seekable() &&
      !MoveFileExW(platform::WideFromUtf8(temporary_).c_str(),
                   platform::WideFromUtf8(target_).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    error_ = ErrnoOf(GetLastError());
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
  if (fd_ >= 0 && own_fd_) _close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) {
    DeleteFileW(platform::WideFromUtf8(temporary_).c_str());
    UnregisterForCleanup(cleanup_slot_);
    cleanup_slot_ = -1;
    temporary_.clear();
  }
}

}  // namespace tools
