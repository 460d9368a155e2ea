// What each platform backend of FileHandle provides to the shared code in
// file_handle.cpp: one read or write call on a native handle.
// file_entries_posix.cpp also reads identities from a stat record.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/file_handle.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace zorv {
namespace backend {

// One system call: the bytes transferred (0 at end of file), or -1 on failure.
int64_t ReadOnce(FileHandle::Native handle, void* buffer, size_t n);
int64_t WriteOnce(FileHandle::Native handle, const void* buffer, size_t n);
// Pushes written data to the device: everything (FlushFileBuffers / fsync),
// or with dataOnly only what reading it back needs (fdatasync on POSIX).
bool FlushNative(FileHandle::Native handle, bool dataOnly);
// Closes a native handle; false when the system reported an error.
bool CloseNative(FileHandle::Native handle);

// One positional call at offset, leaving the file position alone where the
// system can (retried when a signal interrupts it): the bytes transferred,
// 0 at the end of the file, or -1 on failure.
int64_t ReadOnceAt(FileHandle::Native handle, uint64_t offset, void* buffer, size_t n);
int64_t WriteOnceAt(FileHandle::Native handle, uint64_t offset, const void* buffer, size_t n);

// Every flush of the seam, whether of a FileHandle or made without one (a
// file system's, a folder's), runs under the fault plan: counted, failed
// without calling flush() when the plan says so, observed when it succeeds.
bool FlushAllowed();  // counts one flush; false when it is to fail
void FlushObserved();
template <typename Flush>
bool PlannedFlush(Flush flush) {
    if (!FlushAllowed() || !flush()) {
        return false;
    }
    FlushObserved();
    return true;
}

#ifndef _WIN32
// The identity in a stat record.
FileIdentity IdentityFromStat(const struct stat& st);
#endif

}  // namespace backend
}  // namespace zorv
