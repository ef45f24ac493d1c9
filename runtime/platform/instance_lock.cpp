#include "runtime/platform/instance_lock.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstring>

namespace platform {
namespace {
int g_socket = -1;
char g_suffix[64] = "";
}  // namespace

bool ClaimInstanceLock(const char* class_name) {
  if (g_socket >= 0) return true;
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return true;  // no way to tell: let this copy run
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  // The abstract namespace (a leading zero byte): no file, gone with the process.
  const int length =
      std::snprintf(address.sun_path + 1, sizeof address.sun_path - 1, "%s-instance-%u%s",
                    class_name, static_cast<unsigned>(getuid()), g_suffix);
  const socklen_t size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0) {
    close(fd);
    return false;
  }
  g_socket = fd;
  return true;
}

void SetInstanceLockSuffixForTesting(const char* suffix) {
  std::snprintf(g_suffix, sizeof g_suffix, "%s", suffix ? suffix : "");
}

void ReleaseInstanceLock() {
  if (g_socket < 0) return;
  close(g_socket);
  g_socket = -1;
}

}  // namespace platform
