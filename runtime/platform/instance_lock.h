// Finds another running copy of the program: each copy claims a per-user lock named after the
// window class (an abstract UNIX socket), which the system releases when the process ends.
#pragma once

namespace platform {

// Claims the lock for `class_name`; false when another running copy holds it. Claiming again in
// the same process succeeds. The lock is held until ReleaseInstanceLock or the process ends.
bool ClaimInstanceLock(const char* class_name);
void ReleaseInstanceLock();

// Tests: a suffix that keeps test processes from finding each other ("" for none).
void SetInstanceLockSuffixForTesting(const char* suffix);

}  // namespace platform
