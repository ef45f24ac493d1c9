#include "runtime/platform/instance_lock.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform {
namespace {
int g_socket = -1;
bool g_suffix_set = false;
char g_suffix[64] = "";
BindFunction g_bind = nullptr;

const char* Suffix() {
  if (g_suffix_set) return g_suffix;
  const char* from_environment = std::getenv(kInstanceSuffixVariable);
  return from_environment ? from_environment : "";
}

// What a later copy sends: this greeting, then the items, each ended by a zero byte.
constexpr char kGreeting[] = "open\n";
constexpr size_t kMaxHandOverBytes = 1 << 20;
constexpr char kAnswer[] = "taken\n";
constexpr int kAnswerMs = 1000;
// The running copy takes a hand-over between two frames, unless a message box holds it.
constexpr int kTakenWithinMs = 3000;

int Bind(int fd, const sockaddr* address, socklen_t length) {
  return g_bind ? g_bind(fd, address, length) : bind(fd, address, length);
}

// The lock's address for `class_name`: in the abstract namespace (a leading zero byte), so no
// file exists and the name goes with the process.
socklen_t LockAddress(const char* class_name, sockaddr_un* address) {
  *address = sockaddr_un{};
  address->sun_family = AF_UNIX;
  const int written =
      std::snprintf(address->sun_path + 1, sizeof address->sun_path - 1, "%s-instance-%u%s",
                    class_name, static_cast<unsigned>(getuid()), Suffix());
  const int length =
      written < 0 ? 0 : std::min<int>(written, static_cast<int>(sizeof address->sun_path) - 2);
  return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
}

// Reads what one later copy sends, waiting at most a second for it to finish.
std::vector<std::string> ReadHandOver(int connection) {
  std::string bytes;
  char block[4096];
  while (bytes.size() < kMaxHandOverBytes) {
    pollfd wait{connection, POLLIN, 0};
    if (poll(&wait, 1, kAnswerMs) <= 0) break;
    const ssize_t got = read(connection, block, sizeof block);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    bytes.append(block, static_cast<size_t>(got));
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

}  // namespace

InstanceClaim ClaimInstanceLock(const char* class_name) {
  if (g_socket >= 0) return InstanceClaim::kClaimed;
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return InstanceClaim::kUnavailable;  // errno says why
  sockaddr_un address;
  const socklen_t size = LockAddress(class_name, &address);
  if (Bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0) {
    const int error = errno;
    close(fd);
    errno = error;  // the caller reports why
    return error == EADDRINUSE ? InstanceClaim::kHeldByAnother : InstanceClaim::kUnavailable;
  }
  // Later copies connect to hand over what they were given; without listening the lock still
  // holds, and they end as they always did.
  listen(fd, 8);
  g_socket = fd;
  return InstanceClaim::kClaimed;
}

HandOver HandToRunningCopy(const char* class_name, const std::vector<std::string>& items) {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return HandOver::kNoCopy;
  sockaddr_un address;
  const socklen_t size = LockAddress(class_name, &address);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), size) != 0) {
    close(fd);
    return HandOver::kNoCopy;
  }
  std::string message = kGreeting;
  for (const std::string& item : items) message.append(item).push_back('\0');
  size_t sent = 0;
  while (sent < message.size()) {
    const ssize_t n = send(fd, message.data() + sent, message.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    sent += static_cast<size_t>(n);
  }
  // The end of the items, then the running copy's answer: taken only when it says so (a copy
  // that holds the lock but never reads, stuck or gone with a child keeping the lock, did not).
  shutdown(fd, SHUT_WR);
  char answer[sizeof kAnswer] = {};
  size_t got = 0;
  pollfd wait{fd, POLLIN, 0};
  while (sent == message.size() && got < sizeof kAnswer - 1 && poll(&wait, 1, kTakenWithinMs) > 0) {
    const ssize_t n = read(fd, answer + got, sizeof kAnswer - 1 - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  close(fd);
  const bool taken = got == sizeof kAnswer - 1 && std::memcmp(answer, kAnswer, got) == 0;
  return taken ? HandOver::kTaken : HandOver::kNoAnswer;
}

std::vector<std::vector<std::string>> TakeHandedOver() {
  std::vector<std::vector<std::string>> handed;
  if (g_socket < 0) return handed;
  for (int connection; (connection = accept4(g_socket, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) {
    std::vector<std::string> items = ReadHandOver(connection);
    if (!items.empty()) {
      const ssize_t n = send(connection, kAnswer, sizeof kAnswer - 1, MSG_NOSIGNAL);
      (void)n;  // a sender that has gone cannot be told
    }
    close(connection);
    if (!items.empty()) handed.push_back(std::move(items));
  }
  return handed;
}

void SetInstanceLockSuffixForTesting(const char* suffix) {
  g_suffix_set = suffix != nullptr && suffix[0] != '\0';
  std::snprintf(g_suffix, sizeof g_suffix, "%s", suffix ? suffix : "");
}

void SetInstanceLockBindForTesting(BindFunction bind_function) { g_bind = bind_function; }

void ReleaseInstanceLock() {
  if (g_socket < 0) return;
  close(g_socket);
  g_socket = -1;
}

}  // namespace platform
