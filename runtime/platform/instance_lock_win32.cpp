// The instance lock on Windows: the game's named mutex (named after the window class), which the
// system releases when the process ends; a second copy finds the name taken. Beside it a named
// pipe of the same name takes what later copies hand over (songs), as the POSIX lock's socket
// does: the greeting, the items each ended by a zero byte, and an empty item to end them.
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "runtime/platform/instance_lock.h"
#include "runtime/platform/wide_text.h"

namespace platform {
namespace {

HANDLE g_mutex = nullptr;
HANDLE g_pipe = INVALID_HANDLE_VALUE;
bool g_suffix_set = false;
char g_suffix[64] = "";

constexpr char kGreeting[] = "open\n";
constexpr size_t kMaxHandOverBytes = 1 << 20;
constexpr char kAnswer[] = "taken\n";
constexpr DWORD kAnswerMs = 1000;
constexpr DWORD kTakenWithinMs = 3000;
constexpr DWORD kPipeBufferBytes = 64 * 1024;

const char* Suffix() {
  if (g_suffix_set) return g_suffix;
  const char* from_environment = std::getenv(kInstanceSuffixVariable);
  return from_environment ? from_environment : "";
}

// The mutex's name: the window class, as the game named it (in this session's namespace, so
// each user's desktop has its own), with the tests' suffix.
std::wstring MutexName(const char* class_name) {
  return L"Local\\" + WideFromUtf8(std::string(class_name) + Suffix());
}

std::wstring PipeName(const char* class_name) {
  return L"\\\\.\\pipe\\" + WideFromUtf8(std::string(class_name) + "-instance" + Suffix());
}

// The server end of the hand-over pipe, polled between frames (no thread, no wait).
HANDLE OpenPipeServer(const char* class_name) {
  return CreateNamedPipeW(
      PipeName(class_name).c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_FIRST_PIPE_INSTANCE,
      PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_NOWAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
      kPipeBufferBytes, kPipeBufferBytes, 0, nullptr);
}

// Reads one hand-over from a connected client, waiting at most a second for its end.
std::vector<std::string> ReadHandOver(HANDLE pipe) {
  std::string bytes;
  const ULONGLONG give_up = GetTickCount64() + kAnswerMs;
  const std::string end_of_items(1, '\0');
  while (bytes.size() < kMaxHandOverBytes && GetTickCount64() < give_up) {
    char block[4096];
    DWORD got = 0;
    if (ReadFile(pipe, block, sizeof block, &got, nullptr) && got > 0) {
      bytes.append(block, got);
      const bool ended = bytes.size() > sizeof kGreeting - 1 && bytes.back() == '\0' &&
                         (bytes.size() == sizeof kGreeting || bytes[bytes.size() - 2] == '\0');
      if (ended) break;
      continue;
    }
    if (GetLastError() != ERROR_NO_DATA) break;  // the client went away
    Sleep(1);
  }
  std::vector<std::string> items;
  if (bytes.compare(0, sizeof kGreeting - 1, kGreeting) != 0) return items;
  for (size_t at = sizeof kGreeting - 1; at < bytes.size();) {
    const size_t end = bytes.find('\0', at);
    if (end == std::string::npos) break;  // an item cut short is left out
    if (end > at) items.push_back(bytes.substr(at, end - at));
    at = end + 1;
  }
  return items;
}

bool WriteAll(HANDLE pipe, const std::string& bytes) {
  DWORD written = 0;
  return WriteFile(pipe, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

// Disconnecting drops what the client has not read yet: the answer is left until the client has
// read it and closed its end (a second at most; a sender that has gone cannot be told).
void WaitForClientToClose(HANDLE pipe) {
  const ULONGLONG give_up = GetTickCount64() + kAnswerMs;
  char ignored[64];
  DWORD got = 0;
  while (GetTickCount64() < give_up) {
    if (!ReadFile(pipe, ignored, sizeof ignored, &got, nullptr) && GetLastError() != ERROR_NO_DATA)
      return;
    Sleep(1);
  }
}

}  // namespace

InstanceClaim ClaimInstanceLock(const char* class_name) {
  if (g_mutex) return InstanceClaim::kClaimed;
  HANDLE mutex = CreateMutexW(nullptr, FALSE, MutexName(class_name).c_str());
  if (!mutex) {
    errno = EACCES;  // the caller reports why
    return InstanceClaim::kUnavailable;
  }
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    errno = EEXIST;
    return InstanceClaim::kHeldByAnother;
  }
  g_mutex = mutex;
  // Without the pipe the lock still holds, and later copies end as they always did.
  g_pipe = OpenPipeServer(class_name);
  return InstanceClaim::kClaimed;
}

HandOver HandToRunningCopy(const char* class_name, const std::vector<std::string>& items) {
  const std::wstring name = PipeName(class_name);
  HANDLE pipe = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OVERLAPPED, nullptr);
  if (pipe == INVALID_HANDLE_VALUE && GetLastError() == ERROR_PIPE_BUSY &&
      WaitNamedPipeW(name.c_str(), kTakenWithinMs)) {
    pipe = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       FILE_FLAG_OVERLAPPED, nullptr);
  }
  if (pipe == INVALID_HANDLE_VALUE) {
    // No pipe: no copy runs, unless one holds the mutex without listening.
    HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, MutexName(class_name).c_str());
    if (!mutex) return HandOver::kNoCopy;
    CloseHandle(mutex);
    return HandOver::kNoAnswer;
  }
  std::string message = kGreeting;
  for (const std::string& item : items) message.append(item).push_back('\0');
  message.push_back('\0');
  // Overlapped, so that a copy that never reads cannot hold this one: three seconds at most.
  OVERLAPPED io{};
  io.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  DWORD done = 0;
  bool sent = false;
  if (WriteFile(pipe, message.data(), static_cast<DWORD>(message.size()), nullptr, &io) ||
      GetLastError() == ERROR_IO_PENDING) {
    sent = WaitForSingleObject(io.hEvent, kTakenWithinMs) == WAIT_OBJECT_0 &&
           GetOverlappedResult(pipe, &io, &done, FALSE) && done == message.size();
  }
  char answer[sizeof kAnswer] = {};
  DWORD got = 0;
  if (sent) {
    ResetEvent(io.hEvent);
    if (ReadFile(pipe, answer, sizeof kAnswer - 1, nullptr, &io) ||
        GetLastError() == ERROR_IO_PENDING) {
      if (WaitForSingleObject(io.hEvent, kTakenWithinMs) != WAIT_OBJECT_0 ||
          !GetOverlappedResult(pipe, &io, &got, FALSE))
        got = 0;
    }
  }
  CancelIo(pipe);
  CloseHandle(io.hEvent);
  CloseHandle(pipe);
  const bool taken = got == sizeof kAnswer - 1 && std::memcmp(answer, kAnswer, got) == 0;
  return taken ? HandOver::kTaken : HandOver::kNoAnswer;
}

std::vector<std::vector<std::string>> TakeHandedOver() {
  std::vector<std::vector<std::string>> handed;
  if (g_pipe == INVALID_HANDLE_VALUE) return handed;
  // In the pipe's no-wait mode a client that has connected shows as "already connected".
  while (!ConnectNamedPipe(g_pipe, nullptr) && GetLastError() == ERROR_PIPE_CONNECTED) {
    std::vector<std::string> items = ReadHandOver(g_pipe);
    if (!items.empty() && WriteAll(g_pipe, kAnswer)) WaitForClientToClose(g_pipe);
    DisconnectNamedPipe(g_pipe);
    if (!items.empty()) handed.push_back(std::move(items));
  }
  return handed;
}

void SetInstanceLockSuffixForTesting(const char* suffix) {
  g_suffix_set = suffix != nullptr && suffix[0] != '\0';
  std::snprintf(g_suffix, sizeof g_suffix, "%s", suffix ? suffix : "");
}

void ReleaseInstanceLock() {
  if (g_pipe != INVALID_HANDLE_VALUE) CloseHandle(g_pipe);
  g_pipe = INVALID_HANDLE_VALUE;
  if (g_mutex) CloseHandle(g_mutex);
  g_mutex = nullptr;
}

}  // namespace platform
