// Keeping passwords and key schedules out of places they could be read
// from later: core dumps, the swap file, other processes of the same user
// that attach a debugger. Best effort: where the system refuses (a small
// RLIMIT_MEMLOCK, no privilege), the run goes on as before.
#pragma once

#include "crypto/secure_zero.h"  // LockInMemory

namespace zorv {

// Linux: PR_SET_DUMPABLE 0, so the process leaves no core dump and ptrace
// by the same user is refused while it holds a password or a key. Call
// before the password is read; nothing to do elsewhere.
void KeepOutOfDumps();

}  // namespace zorv
