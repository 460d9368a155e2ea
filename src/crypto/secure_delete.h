// Secure deletion: overwrite a file 24 times in place, then delete it, so that
// its former contents cannot be read back through the file system.
//
// Overwriting in place reaches only the blocks the file system gives back for
// the file: an SSD that remaps writes, a copy-on-write or snapshotting file
// system, backups, a synchronised cloud folder or swapped-out memory may keep
// older copies that no overwrite can touch.
#pragma once

#include <cstdint>

#include "crypto/file_handle.h"

namespace zorv {

class FileHandle;

// Why a file was not destroyed.
enum class DeleteOutcome {
    kDeleted,     // wiped and gone
    kHardLinked,  // the file has other names, which would lose their contents: kept untouched
    kNotAFile,    // a symbolic link, junction or mount point, or not a regular file: kept
    kReplaced,    // the name leads to another file than the one expected: kept untouched
    kFailed,      // not opened, a write or flush failed, or the deletion failed
};

// Makes the file writable (clears the read-only attribute; on POSIX adds the
// owner's write permission), renames it to a wipe name in its folder
// (.zorv-XXXXXXXX.wipe, never replacing) and flushes the folder (one flush
// under the fault plan before the wipe's), wipes it as WipeFile does and
// deletes it. A wipe cut short thus never leaves a half-overwritten file
// under its own name, and later runs finish it (FinishLeftover). The wipe
// name stays only when the wipe fails part-way or the deletion fails;
// otherwise a file that is kept gets its own name back. A file whose folder
// leaves no room for the wipe name under the path limit (Windows: 260
// characters) is wiped under its own name.
// kDeleted when the file is gone. kFailed when it cannot be opened for writing
// (held open elsewhere without write sharing, held by another run, access
// denied): the file keeps its contents, but stays writable; kFailed too when a write or a flush
// fails part-way (partly overwritten) or when the deletion fails (fully overwritten), both under
// the wipe name, and when the rename fails (the file untouched under its own name). kHardLinked and
// kNotAFile leave the file untouched. A path that does not exist in an existing folder is created
// empty and deleted. With expected, the file opened for the wipe must be that one, or nothing is
// written (kReplaced): a name swapped since the caller looked at it. The file is opened and held
// (FileHandle::OpenForWipe) before it is renamed, until its removal, and the wipe name checked to
// lead to it.
DeleteOutcome SecureDestroy(const char* path, const FileIdentity* expected = nullptr);

// SecureDestroy, true for kDeleted.
bool SecureDelete(const char* path);

// For a temporary file of the program's own that may hold plain text: like
// SecureDelete, but when the wipe fails the name is deleted all the same, so
// no plain text stays readable under it. True only when the file was wiped and
// deleted; false means some of its former contents may remain on the disk, or
// (when the deletion failed too) the file is still there.
bool SecureDeleteTemporary(const char* path);

// For a temporary file that may hold plain text when the user is waiting for
// the program to end: one overwrite with a pseudo-random pattern, flushed,
// then the name deleted even when that overwrite failed. Far from what
// SecureDelete does, but quick. True when the name is gone.
bool WipeOnceAndDelete(const char* path);

// Overwrites the whole file in place, from offset 0, 8 times with the three
// patterns 0xAA, 0x55 and 4096 pseudo-random bytes (24 overwrites, each
// written in pieces of up to 1 MiB and flushed to the disk before the next
// starts). The file keeps its length. False when the file cannot be opened,
// has more than one name (then nothing is written), or a write or flush
// fails.
bool WipeFile(const char* path);

// WipeFile's 24 overwrites through a file the caller holds open for writing
// (a temporary output that may hold plain text). False when a write or
// flush fails.
bool WipeOpenFile(FileHandle& file);
// WipeOnceAndDelete's single overwrite, flushed, through an open file.
bool WipeOpenFileOnce(FileHandle& file);

// What became of a leftover name (leftover_names.h) found in a folder.
enum class LeftoverFinish {
    kFinished,  // wiped as WipeFile does, where it lay, then deleted
    // Not this run's to finish: a file another process holds (a live run's
    // temporary or file being destroyed, FileHandle::OpenForWipe), left
    // untouched; or one gone meanwhile (another run finished it).
    kPassedOver,
    // Still there, or removed unwiped: a file that must not be overwritten
    // (it has other names, or is a link) only loses this name; one that
    // cannot be opened or wiped is removed all the same where it can be.
    kFailed,
};

// Finishes a file left by a run that was killed, which may hold plain text.
LeftoverFinish FinishLeftoverFile(const char* path);

// FinishLeftoverFile for a caller with nothing to report of a file passed
// over: false only for kFailed.
bool FinishLeftover(const char* path);

}  // namespace zorv
