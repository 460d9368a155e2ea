// What each platform backend of FileHandle provides to the shared code in
// file_handle.cpp: one read or write call on a native handle.
// file_entries_posix.cpp also reads identities from a stat record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

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

// --- The calls behind VanishingFile and the wipe names ---

// Where the name of the file in path begins: the bytes before it are its
// folder, with the separator (Windows: a double-byte character whose second
// byte is a backslash is no separator in the ANSI code page).
std::size_t NameOffset(const char* path);

// Whether the calls by name reach path: Windows' take fewer than 260
// characters (in the ANSI code page, or UTF-16 units for UTF-8 paths);
// POSIX says so when a call fails (ENAMETOOLONG), so true there.
bool FitsPathLimit(const char* path);

// A file without a name in folder ("" for the current one), open for reading
// and writing; kNone when the system or the file system has none.
FileHandle::Native CreateUnnamed(const std::string& folder);

enum class Created { kOk, kTaken, kTooLong, kFailed };
// Creates a new file at path, open for reading and writing, mode 0600 on
// POSIX, never through a symbolic link. Windows also opens it with DELETE
// access and marks it for deletion (*marked says whether that worked).
Created CreateNamed(const char* path, FileHandle::Native* handle, bool* marked);
// Sets or clears the delete mark of a file opened by CreateNamed (Windows);
// false on POSIX, which has none.
bool SetDeleteMark(FileHandle::Native handle, bool marked);
// Gives a file without a name the name path, never replacing: 0, 71 (name
// taken), 84 (too long) or 83.
ResultCode LinkUnnamed(FileHandle::Native handle, const char* path);
// Renames the file at from to the name to, never replacing a file there:
// 0, 71 (name taken), 84 (too long) or 83. The one no-replace rename of
// both programs (RenameNoReplace of file_entries.h is this call). Windows:
// MoveFileExA for the desktop's ANSI paths; after UseUtf8Paths the wide
// call, writing through (zorv-cli flushes no folder there).
ResultCode RenamePath(const char* from, const char* to);
// RenamePath for a file held open by handle: Windows renames through the
// handle (a file opened without sharing cannot be renamed by name), POSIX
// by name. With replace, a file named to is replaced in one step: 0 or 83.
ResultCode RenameOpenFile(FileHandle::Native handle, const char* from, const char* to,
                          bool replace);
// Gives an open file the permission bits mode (POSIX; nothing on Windows).
void SetMode(FileHandle::Native handle, unsigned mode);
// Removes the name path; false when it stays.
bool RemoveName(const char* path);
// Removes the name path of a file that handle holds open (OpenForWipe or
// CreateNamed), before the handle is closed, so that no other process can
// take the file in between: POSIX by name, Windows by marking it for
// deletion through the handle (it goes when the handle is closed). False
// when it stays.
bool RemoveHeldName(FileHandle::Native handle, const char* path);
// Holds a file this process has just opened or created for itself alone
// (POSIX: flock LOCK_EX without waiting; Windows: nothing, its handle is not
// shared). kBusy when another process holds it; a file system without locks
// counts as held.
FileHandle::Hold HoldAlone(FileHandle::Native handle);
// Makes the names in folder ("" for the current one; a path in the form the
// seam's calls take) durable, under the fault plan as a flush: POSIX fsync
// of the folder; Windows FlushFileBuffers of the folder opened for writing.
// A system that refuses to flush a folder leaves nothing to do: true.
bool FlushFolder(const std::string& folder);

}  // namespace backend
}  // namespace zorv
