// Clearing of secrets in a way the compiler may not remove as a dead store,
// and keeping them out of the swap file.
#pragma once

#include <cstddef>

namespace zorv {

// Overwrites n bytes at p with zeros. Used for every buffer that held a
// password, key schedule or decrypted plain text.
void SecureZero(void* p, std::size_t n);

// Locks the pages that hold [data, data + n) in memory, so they are never
// written to swap (mlock; VirtualLock on Windows). Best effort: a failure
// (a small RLIMIT_MEMLOCK, no privilege) is ignored. The pages stay locked
// until the process ends: other buffers may share them, so they are never
// unlocked early.
void LockInMemory(const void* data, std::size_t n);

}  // namespace zorv
