// Keeping passwords and key schedules out of places they could be read
// from later: core dumps, the swap file, other processes of the same user
// that attach a debugger. Best effort: where the system refuses (a small
// RLIMIT_MEMLOCK, no privilege), the run goes on as before.
#pragma once

#include <cstddef>

namespace zorv {

// Linux: PR_SET_DUMPABLE 0, so the process leaves no core dump and ptrace
// by the same user is refused while it holds a password or a key. Call
// before the password is read; nothing to do elsewhere.
void KeepOutOfDumps();

// Locks the pages that hold [data, data + n) in memory, so they are never
// written to swap (mlock; VirtualLock on Windows). A failure is ignored.
// The pages stay locked until the process ends: other buffers may share
// them, so they are never unlocked early.
void LockInMemory(const void* data, std::size_t n);

}  // namespace zorv
