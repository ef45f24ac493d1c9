// Finds another running copy of the program: each copy claims a per-user lock named after the
// window class (an abstract UNIX socket; on Windows the game's named mutex, with a named pipe
// beside it), which the system releases when the process ends. The lock also listens: a later copy
// can hand what it was asked to open (songs) to the running one instead of ending with nothing
// done. The runtime's start-up claims it; the desktop player hands over and collects; all on the
// main thread.
#pragma once

#ifndef _WIN32
#include <sys/socket.h>
#endif

#include <string>
#include <vector>

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

// Hands `items` (paths of this system, each without a zero byte) to the running copy holding the
// lock for `class_name`. True when it answered that it took them; false when no copy runs, or
// none answered within three seconds (a message box holds it), and nothing was handed over.
enum class HandOver {
  kTaken,     // the running copy took the items
  kNoCopy,    // no copy runs
  kNoAnswer,  // one holds the lock but did not take them
};
HandOver HandToRunningCopy(const char* class_name, const std::vector<std::string>& items);

// What later copies handed to this one since the last call (each hand-over's items in order),
// without waiting. Empty while this copy holds no lock.
std::vector<std::vector<std::string>> TakeHandedOver();

// The lock's name takes a suffix from the environment variable RTLIB_INSTANCE_SUFFIX, so that
// test runs started side by side never find each other; the shipped program leaves it unset.
inline constexpr const char* kInstanceSuffixVariable = "RTLIB_INSTANCE_SUFFIX";

// Tests: a suffix that keeps test processes from finding each other ("" for none); it takes
// the place of the environment's suffix.
void SetInstanceLockSuffixForTesting(const char* suffix);

#ifndef _WIN32
// Tests: replaces the bind call (null restores the system's), to reach every failure.
using BindFunction = int (*)(int fd, const sockaddr* address, socklen_t length);
void SetInstanceLockBindForTesting(BindFunction bind_function);
#endif

}  // namespace platform
