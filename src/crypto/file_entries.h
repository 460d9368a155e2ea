// The names side of the file seam (FileHandle opens the files): what an
// entry is, a folder's listing and a folder pinned for the jobs that work in
// it, the no-replace rename, removal, the grouped flush, and the path
// helpers. Used by zorv-cli, whose paths are UTF-8 on Windows too: the Win32
// backend gives each call the path's exact wide form (WidePath), so no name
// is ever taken for a look-alike, and a path that has none names no file.
// The helpers split at ASCII separators only, which is exact for UTF-8 (no
// byte of a sequence past its first is below 0x80) but not for code page
// 932 text, which app/path_utils.h walks character by character.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "crypto/file_handle.h"
#include "crypto/result_code.h"

namespace zorv {

#ifdef _WIN32
constexpr char kPathSeparator = '\\';
// The wide entry points take at most 259 UTF-16 units of path.
constexpr std::size_t kMaxPathBytes = 259;
#else
constexpr char kPathSeparator = '/';
constexpr std::size_t kMaxPathBytes = 4095;
#endif
// The longest name of one entry that the usual file systems take.
constexpr std::size_t kMaxNameBytes = 255;

// The length of a path or name as the system counts it against the limits
// above: bytes on POSIX, UTF-16 units on Windows (where a character of
// UTF-8 text takes up to 4 bytes but 1 or 2 units).
std::size_t PathLength(const std::string& path);

// The identity of the entry named path itself: a symbolic link (Windows: a
// reparse point) is not followed, unless followLink asks for the identity
// of what the path leads to. False when it cannot be read. Like RemoveFile,
// it also takes the desktop program's ANSI paths, as FileHandle does (the
// job steps of both programs: job_steps.h).
bool QueryIdentity(const std::string& path, FileIdentity* identity, bool followLink = false);

// What the batch rules need to know of a directory entry.
struct EntryInfo {
    bool exists = false;
    bool isFolder = false;
    // No owner write permission (POSIX), the read-only attribute (Windows).
    bool readOnly = false;
    // Not a regular file or folder on POSIX (a device, a pipe, a symbolic
    // link), the system attribute on Windows.
    bool special = false;
    bool isLink = false;      // POSIX: a symbolic link (also special)
    bool notRegular = false;  // POSIX: a device, pipe or socket (also special)
    bool unreadable = false;  // POSIX: a folder without owner read permission
    // Windows: a name with no exact UTF-8 form (an unpaired surrogate), or
    // a path with no exact wide form; no call can reach it (also special).
    bool unnamable = false;
    std::uint64_t size = 0;
    // Known on POSIX; on Windows only when the walk needs it.
    FileIdentity identity;

    // The entries the desktop program refuses with message 74.
    bool ReadOnlyOrSystem() const { return readOnly || special; }
};

// Does not follow a symbolic link: a link is reported as existing, special
// and not a folder.
EntryInfo QueryEntry(const std::string& path);

struct FolderEntry {
    std::string name;
    EntryInfo info;
};

// The entries of a folder without "." and "..", sorted by name (byte
// order), so every platform walks a tree in the same order. False when the
// folder cannot be read; entries is then empty. With a known expected
// identity, also false when the folder opened under that name is another
// one (a folder replaced by a symbolic link since its parent was listed):
// on POSIX the folder is opened without following a link in its last
// component, its entries read through that descriptor (fstatat), and any
// swap of a folder above it shows as a changed identity here.
bool ListFolder(const std::string& folder, const FileIdentity& expected,
                std::vector<FolderEntry>* entries);

// The folder of a job's source, held open for the job that works in it: a
// walked file's from the folder named on the command line down, a named
// file's folder by itself. On POSIX it is reached from that first folder
// down, one component at a time, never through a symbolic link and each
// component checked against the identity the walk recorded; every entry of
// the folder is then reached through that open folder (as
// /proc/self/fd/N/name), so a folder swapped for a link during the run
// cannot lead a job outside the tree. On Windows, and where /proc is
// missing, the names are the plain paths and the jobs' identity checks
// stand alone.
class PinnedFolder {
public:
    PinnedFolder() = default;
    ~PinnedFolder();
    PinnedFolder(const PinnedFolder&) = delete;
    PinnedFolder& operator=(const PinnedFolder&) = delete;

    // Pins the folder of the file path, whose first rootLength bytes name
    // the folder given on the command line (0: the current folder); chain:
    // the identity of that folder (as its path led to it), then of each
    // folder below it. False when a folder on the way is missing, a link
    // (below the first), or another folder than the plan found.
    bool Pin(const std::string& path, std::size_t rootLength,
             const std::vector<FileIdentity>& chain);
    // The path by which this job reaches name in the folder.
    std::string Reach(const std::string& name) const;

private:
    std::string folder_;   // the plain path
    std::string reached_;  // how the folder is reached ("" until pinned)
    int descriptor_ = -1;
};

// Moves from to to without ever replacing an existing file: the no-replace
// rename, or a hard link and an unlink where that is missing, on POSIX;
// MoveFileExW without the replace flag on Windows (the rename of
// VanishingFile's backend). Returns 0, 71 when to exists, 84 when a path
// is too long, or 83 for any other failure. from is unchanged on failure.
ResultCode RenameNoReplace(const std::string& from, const std::string& to);

// Deletes a file without overwriting it; true when it is gone.
bool RemoveFile(const std::string& path);

// The process's file-creation mask (POSIX; 0 on Windows), read once. Call
// it first before other threads create files: reading it means setting it.
unsigned CurrentUmask();

// Waits until the contents of every open file in files are on the disk,
// with as few flushes as the system allows: on Linux one syncfs per file
// system; elsewhere each file is flushed. False when any flush fails. Each
// flush counts as one under the fault plan (FileFaultPlan).
bool SyncFiles(const std::vector<FileHandle*>& files);

// Makes a rename in folder durable (fsync of the folder on POSIX,
// FlushFileBuffers of the folder on Windows, where a rename through a
// handle does not write through; a flush under the fault plan). A failure
// is not reported: the rename stands either way.
void SyncFolder(const std::string& folder);

// The name part of a path: what follows the last separator.
std::string NameOf(const std::string& path);

// The folder part of a path ("." for a bare name on POSIX, "" on Windows,
// where an empty folder means the current one).
std::string FolderOf(const std::string& path);

// folder + separator + name, without doubling a separator that ends folder.
std::string JoinFolderAndName(const std::string& folder, const std::string& name);

}  // namespace zorv
