// Finds another running copy of the program: each copy claims a per-user lock named after the
// window class (an abstract UNIX socket), which the system releases when the process ends.
// The runtime's start-up is the only caller, on the main thread.
#pragma once

#include <sys/socket.h>

namespace platform {

enum class InstanceClaim {
  kClaimed,        // this copy holds the lock (also when it already held it)
  kHeldByAnother,  // another running copy holds it: the name is in use
  kUnavailable,    // the lock cannot be made here (a sandbox refusing sockets, say)
};

// Claims the lock for `class_name`. The lock is held until ReleaseInstanceLock or the process
// ends. Only a name already in use means a second copy; any other failure is kUnavailable, and
// the caller lets this copy run.
InstanceClaim ClaimInstanceLock(const char* class_name);
void ReleaseInstanceLock();

// The lock's name takes a suffix from the environment variable RTLIB_INSTANCE_SUFFIX, so that
// test runs started side by side never find each other; the shipped program leaves it unset.
inline constexpr const char* kInstanceSuffixVariable = "RTLIB_INSTANCE_SUFFIX";

// Tests: a suffix that keeps test processes from finding each other ("" for none); it takes
// the place of the environment's suffix.
void SetInstanceLockSuffixForTesting(const char* suffix);

// Tests: replaces the bind call (null restores the system's), to reach every failure.
using BindFunction = int (*)(int fd, const sockaddr* address, socklen_t length);
void SetInstanceLockBindForTesting(BindFunction bind_function);

}  // namespace platform
