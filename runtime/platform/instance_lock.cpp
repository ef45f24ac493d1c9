#include "runtime/platform/instance_lock.h"

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

int Bind(int fd, const sockaddr* address, socklen_t length) {
  return g_bind ? g_bind(fd, address, length) : bind(fd, address, length);
}

}  // namespace

InstanceClaim ClaimInstanceLock(const char* class_name) {
  if (g_socket >= 0) return InstanceClaim::kClaimed;
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return InstanceClaim::kUnavailable;  // errno says why
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  // The abstract namespace (a leading zero byte): no file, gone with the process.
  const int written =
      std::snprintf(address.sun_path + 1, sizeof address.sun_path - 1, "%s-instance-%u%s",
                    class_name, static_cast<unsigned>(getuid()), Suffix());
  const int length =
      written < 0 ? 0 : std::min<int>(written, static_cast<int>(sizeof address.sun_path) - 2);
  const socklen_t size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
  if (Bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0) {
    const int error = errno;
    close(fd);
    errno = error;  // the caller reports why
    return error == EADDRINUSE ? InstanceClaim::kHeldByAnother : InstanceClaim::kUnavailable;
  }
  g_socket = fd;
  return InstanceClaim::kClaimed;
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
