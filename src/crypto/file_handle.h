// FileHandle: the one seam between both programs and the operating system
// for file access (with file_entries.h for names and folders). A Win32
// backend (CreateFileA and friends, or the wide calls with UTF-8 paths after
// UseUtf8Paths: see wide_path.h) and a POSIX backend (open/read/write/fstat/
// futimens) implement it; everything above it is portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "crypto/positional_file.h"
#include "crypto/result_code.h"
#include "crypto/source_state.h"

namespace zorv {

// The three file times in the platform's own units: Win32 FILETIME ticks
// (100 ns since 1601); on POSIX nanoseconds since 1970 for last access and
// last write, creation unused (0). Meaningful only on the platform that read
// them.
struct FileTimes {
    int64_t creation = 0;
    int64_t lastAccess = 0;
    int64_t lastWrite = 0;
};

// What tells one file from another, and one state of its contents from the
// next: the device and file number (POSIX st_dev and st_ino; Windows the
// volume serial number and file index), the size, the last-write time and
// the change time (POSIX st_ctime; Windows the ChangeTime of the file's
// basic information). A program can put the last-write time back after
// editing a file in place; the change time it cannot set. All zero when
// unknown.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t file = 0;
    uint64_t size = 0;
    int64_t lastWrite = 0;
    int64_t lastChange = 0;

    bool Known() const { return device != 0 || file != 0; }
    bool SameFile(const FileIdentity& other) const {
        return device == other.device && file == other.file;
    }
    SourceState State() const { return SourceState{size, lastWrite, lastChange}; }
    // The same file with the same contents: see SourceUnchanged.
    bool SameState(const FileIdentity& other) const {
        return SameFile(other) && SourceUnchanged(other.State(), State());
    }
};

class FileHandle : public PositionalFile {
public:
    // A native handle value: a Win32 HANDLE or a POSIX descriptor. kNone is
    // -1 on both (INVALID_HANDLE_VALUE and the failed-open descriptor).
    using Native = intptr_t;
    static constexpr Native kNone = -1;

    FileHandle() = default;
    // Wraps an existing handle; closes it on Close only when owns is true
    // (false for standard input and output).
    FileHandle(Native handle, bool owns) : handle_(handle), owns_(owns) {}
    FileHandle(FileHandle&& other) noexcept;
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() override;

    // Each Open/Create first closes what is held. They return false and hold
    // nothing when the file cannot be opened.
    //
    // Opens an existing file for reading; others may read it but not write it
    // (Win32 sharing), so its length cannot change under a transform.
    bool OpenForRead(const char* path);
    // Creates a file for writing, truncating an existing one unless
    // failIfExists (then an existing file makes it fail).
    bool CreateForWrite(const char* path, bool failIfExists);
    // Opens a file for overwriting in place: never truncated, created empty
    // when missing, never through a symbolic link (POSIX). Writes are
    // buffered by the system as usual; the caller makes each overwrite reach
    // the disk with FlushData. Used by secure deletion.
    bool OpenForOverwrite(const char* path);
    // How OpenForWipe went.
    enum class Hold {
        kHeld,    // open, and no other process can take the file while it is
        kBusy,    // another process holds it so (a run at work on it): not opened
        kFailed,  // not opened: missing, a link (POSIX), access denied
    };
    // Opens an existing file for destroying it (secure_delete.h), held for
    // this process alone: POSIX takes an exclusive lock (flock) without
    // waiting for it, never through a symbolic link; Windows shares it for
    // reading only, with DELETE access so that it can be renamed and removed
    // through the handle. A live run holds its own files in flight this way
    // (VanishingFile too), so another run can tell them from leftovers.
    // Where the file system has no locks, the file is opened all the same.
    Hold OpenForWipe(const char* path);

    bool IsOpen() const { return handle_ != kNone; }
    Native native() const { return handle_; }

    // Reads until n bytes have arrived, the file ends or a call fails; returns
    // the count read. Fewer than n means end of file or failure.
    size_t Read(void* buffer, size_t n);
    // Writes all n bytes unless a call fails; returns the count written.
    size_t Write(const void* buffer, size_t n);
    // Moves the file position to the start. False on failure.
    bool Rewind();
    // The full 64-bit size, or -1 when it cannot be read.
    int64_t Size();
    bool GetTimes(FileTimes* times);
    // Sets the times read by GetTimes on another handle (on POSIX, last
    // access and last write; creation cannot be set there).
    bool SetTimes(const FileTimes& times);
    // True when path names the file this handle has open (the same file
    // through another name, a hard link or a symbolic link included). False
    // when it does not or cannot be examined.
    bool IsSameFileAs(const char* path);
    // Pushes written data and metadata to the device (FlushFileBuffers /
    // fsync). False on failure.
    bool Flush();
    // Pushes written data to the device, with only the metadata needed to
    // read it back (FlushFileBuffers / fdatasync). False on failure.
    bool FlushData();
    // The number of names (hard links) the open file has, or -1 when it
    // cannot be read.
    int64_t LinkCount();
    // The open file's identity. False when it cannot be read; identity is
    // then left alone.
    bool Identify(FileIdentity* identity) const;
    // Closes an owned handle and forgets it in any case. False when closing
    // reported an error (a late write failure on some file systems); closing
    // nothing is harmless and true.
    bool Close();

    // --- Files at offsets, for zorv-cli (which calls UseUtf8Paths) ---------
    // Several threads may read and write one handle at offsets of their own;
    // the Read/Write position is left alone.

    // Opens an existing regular file for reading, with the sharing of
    // OpenForRead. On POSIX never through a symbolic link in the last
    // component, and the open does not block (a FIFO put in the file's place
    // would wait for a writer): anything but a regular file is refused
    // before blocking reads are turned back on.
    bool OpenRegularForRead(const char* path);
    // Opens an existing regular file for reading, with the same sharing,
    // never through a link in the last component: POSIX as
    // OpenRegularForRead; Windows refuses a reparse point (a symbolic link,
    // a junction) and a folder instead of opening what it leads to.
    bool OpenRegularNoFollow(const char* path);
    // Creates a new file for writing (Win32: and reading), failing if the
    // name exists; not shared (Win32), owner-only access (POSIX): it may
    // hold plain text.
    bool CreateNewPrivate(const char* path);
    // Reads exactly n bytes at offset (loops over short reads); false on an
    // error or when the file ends first.
    bool ReadAt(uint64_t offset, void* buffer, size_t n) const override;
    // Writes exactly n bytes at offset; false on any error (a full disk).
    bool WriteAt(uint64_t offset, const void* buffer, size_t n) const override;
    // Starts writing [offset, offset + n) to the disk without waiting
    // (Linux); a hint, no result.
    void StartWriteBack(uint64_t offset, uint64_t n) const override;
    // Gives this file the times of source.
    void CopyTimesFrom(const FileHandle& source) const;
    // The permission bits a copy of this file gets: its own less the
    // process's umask, as a program creating the file would give (POSIX;
    // 0 on Windows, which has none).
    unsigned ModeOfCopy() const;
    // The permission bits of a new file, 0666 less the umask (POSIX; 0 on
    // Windows).
    static unsigned NewFileMode();

private:
    bool FlushWith(bool dataOnly);

    Native handle_ = kNone;
    bool owns_ = false;
};

// Failure injection for tests, in the manner of a mock of the system calls:
// counts every read (Read, ReadAt), write (Write, WriteAt) and flush (Flush,
// FlushData; SyncFiles and SyncFolder of file_entries.h; the folder flushes
// of VanishingFile::Place and SecureDestroy) of the process,
// from any thread, and lets the Nth of them fail or (Read and Write only)
// come up short: a counter is taken in one step, so exactly one call is the
// Nth whichever thread makes it. Tests install a plan while no file work
// runs; production code never installs one.
struct FileFaultPlan {
    int64_t failReadAt = 0;    // the Nth read (1-based) moves nothing; 0 = never
    int64_t shortReadAt = 0;   // the Nth Read returns half of what was asked
    int64_t failWriteAt = 0;   // the Nth write writes nothing
    int64_t shortWriteAt = 0;  // the Nth Write writes half
    int64_t failFlushAt = 0;   // the Nth flush fails without flushing
    // Called with the bytes of every Write (not WriteAt) before they go to
    // the file, and with (nullptr, 0) for every flush that succeeds, so a
    // test can record what reached the disk in which order. Null: nothing
    // is called.
    void (*observe)(void* context, const uint8_t* bytes, size_t n) = nullptr;
    void* observeContext = nullptr;
    bool refuseBuffers = false;  // the transforms get no chunk buffer (72)
    // The steps around the names of files, counted like the calls above
    // (see FileStep): the Nth of each fails without reaching the system.
    int64_t failCreateAt = 0;  // creating a temporary (VanishingFile::Create)
    int64_t failUnmarkAt = 0;  // clearing a temporary's delete mark (Place)
    int64_t failRenameAt = 0;  // giving a file another name (Place, SecureDestroy)
    int64_t failRemoveAt = 0;  // removing a name (SecureDestroy, FinishLeftover, Discard)
};

struct FileCallCounts {
    int64_t reads = 0;
    int64_t writes = 0;
    int64_t flushes = 0;
    uint64_t bytesWritten = 0;
    int64_t creates = 0;
    int64_t unmarks = 0;
    int64_t renames = 0;
    int64_t removes = 0;
};

// The name steps that the fault plan counts. Unmark is counted on every
// platform, though only Windows has a mark to clear, so that one table of
// failures serves both.
enum class FileStep { kCreate, kUnmark, kRename, kRemove };

// For the seam's own code: counts one step and says whether the installed
// plan makes it fail.
bool StepFails(FileStep step);

// Installs a plan and resets the counters; ClearFileFaults removes it.
void SetFileFaults(const FileFaultPlan& plan);
void ClearFileFaults();
FileCallCounts GetFileCallCounts();
// True when the installed plan refuses the transforms their chunk buffer.
bool BuffersRefused();

// Names that a kill would leave behind and that a VanishingFile gives its
// file on its own, out of its caller's sight: the temporary name of a file
// without one that is to replace another (Placing::replace). named is
// called once the name exists and returns a token (negative: not watched),
// dropped with that token once the name is gone or has become the final
// one. zorv-cli watches them so that a second signal removes them too
// (cli/interrupt.h). Install while no file work runs; nothing is watched by
// default.
struct TemporaryNameWatch {
    int (*named)(const char* path) = nullptr;
    void (*dropped)(int token) = nullptr;
};
void WatchTemporaryNames(const TemporaryNameWatch& watch);

// --- Temporary files that vanish with the process ---------------------------
//
// An output written beside its final name, which nobody sees before it is
// complete, and which the system removes when the process ends before it is
// placed (killed, crashed):
//   - Linux: a file without a name (O_TMPFILE) in the final name's folder,
//     given that name with linkat once complete;
//   - Windows: a file named .zorv-XXXXXXXX.tmp in that folder, marked for
//     deletion as soon as it is created (the mark goes with the last handle,
//     whatever ends the process); once complete and flushed the mark is
//     cleared and the file renamed through its handle, never replacing;
//   - elsewhere (a file system that refuses O_TMPFILE, macOS): a file named
//     .zorv-XXXXXXXX.tmp, which a killed process leaves behind; later runs
//     recognise it and finish it (leftover_names.h). So does a power cut on
//     Windows, which forgets the mark.
// The file is readable and writable by its owner only (POSIX mode 0600), and
// held as OpenForWipe holds a file (POSIX: locked; Windows: not shared), so
// that a run working in the same folder passes a named one over instead of
// finishing it as a leftover (FinishLeftover).
class VanishingFile {
public:
    VanishingFile() = default;
    ~VanishingFile() { (void)Discard(); }
    VanishingFile(const VanishingFile&) = delete;
    VanishingFile& operator=(const VanishingFile&) = delete;

    // Creates the temporary file in finalPath's folder, first discarding
    // what is held. 0 done; 84 its path would be too long (Windows: 259
    // bytes through the ANSI calls); 70 it cannot be created.
    ResultCode Create(const char* finalPath);
    // The open temporary, for the transform to write; empty once placed.
    FileHandle& File() { return file_; }
    // The temporary's name, for a report; empty for a file without a name.
    const std::string& TemporaryPath() const { return temporary_; }
    // The final name given to Create.
    const std::string& FinalPath() const { return final_; }
    // How Place gives the final name.
    struct Placing {
        // The contents are on the disk already (a grouped flush: SyncFiles
        // of file_entries.h), so Place does not flush them again; the caller
        // then makes the new name durable too (SyncFolder), once for all
        // the files it places in a folder. Otherwise Place flushes the
        // final name's folder after giving the name (a rename through a
        // handle does not write through on Windows).
        bool flushed = false;
        // A file that has the final name is replaced in one step (the name
        // always holds the old file or the new one) instead of refusing it.
        // A file without a name then gets a temporary one first, as a link
        // cannot replace: a kill before the rename leaves that name for
        // later runs to finish.
        bool replace = false;
        // POSIX: the permission bits the file gets once it has the final
        // name; until then it keeps 0600, whatever it holds. Negative: it
        // keeps 0600.
        int mode = -1;
    };
    // Flushes the file, clears its mark and gives it the final name unless a
    // file has that name. 0: in place, closed, nothing left to discard. 71:
    // the name is taken and left alone; 84: too long; 83: the flush or the
    // rename failed. On failure the temporary is still held, marked again.
    // A failed flush of the folder is not reported: the name stands.
    ResultCode Place() { return Place(Placing()); }
    ResultCode Place(const Placing& placing);
    // Closes and removes the temporary unless it was placed: a file without
    // a name or with the mark vanishes as it is closed, a named one is
    // removed while still held (POSIX: by name; Windows: marked through the
    // handle), so no other run can take it for a leftover meanwhile. Contents are not overwritten:
    // a caller whose file may hold plain text wipes it through File() first (secure_delete.h).
    // False when a named one could not be removed and stays behind.
    bool Discard();

private:
    ResultCode GiveFinalName(bool replace);
    void DropWatch();

    FileHandle file_;
    std::string final_;
    std::string temporary_;  // empty for a file without a name
    bool marked_ = false;    // Windows: the delete mark is set
    int watch_ = -1;         // the token of a watched name (TemporaryNameWatch)
};

}  // namespace zorv
