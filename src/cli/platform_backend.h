// What each backend of PlatformFile provides to the shared half in
// platform_file.cpp: one positional read or write call, a flush and a close
// on a native handle.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cli/platform_file.h"

namespace zorv {
namespace platform {

// The handle of no file: INVALID_HANDLE_VALUE on Windows, -1 on POSIX.
#ifdef _WIN32
inline PlatformFile::Handle NoFile() {
    return reinterpret_cast<void*>(static_cast<std::intptr_t>(-1));
}
#else
inline PlatformFile::Handle NoFile() {
    return -1;
}
#endif

// One system call at offset (retried when a signal interrupts it): the bytes
// transferred, 0 at the end of the file, or -1 on failure.
std::int64_t ReadOnceAt(PlatformFile::Handle handle, std::uint64_t offset, void* buffer,
                        std::size_t n);
std::int64_t WriteOnceAt(PlatformFile::Handle handle, std::uint64_t offset, const void* buffer,
                         std::size_t n);
// Waits until the file's contents are on the disk.
bool SyncNative(PlatformFile::Handle handle);
void CloseNative(PlatformFile::Handle handle);

}  // namespace platform
}  // namespace zorv
