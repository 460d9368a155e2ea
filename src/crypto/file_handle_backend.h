// What each platform backend of FileHandle provides to the shared code in
// file_handle.cpp: one read or write call on a native handle.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/file_handle.h"

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

}  // namespace backend
}  // namespace zorv
