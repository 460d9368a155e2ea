// POSIX backend of FileHandle: open/read/write/fstat/futimens.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "crypto/file_entries.h"
#include "crypto/file_handle.h"
#include "crypto/file_handle_backend.h"

namespace zorv {
namespace {

// Descriptors are not inherited by programs the process starts.
constexpr int kCommonFlags = O_CLOEXEC;
constexpr mode_t kNewFileMode = 0666;  // narrowed by the umask, like any new file
// Temporary files may hold plain text: nobody else may read them.
constexpr mode_t kPrivateFileMode = 0600;

int ToFd(FileHandle::Native h) {
    return static_cast<int>(h);
}

int64_t ToNanoseconds(const timespec& t) {
    return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

timespec FromNanoseconds(int64_t ns) {
    timespec t{};
    int64_t sec = ns / 1000000000;
    int64_t rest = ns % 1000000000;
    if (rest < 0) {
        rest += 1000000000;
        --sec;
    }
    t.tv_sec = static_cast<time_t>(sec);
    t.tv_nsec = static_cast<long>(rest);
    return t;
}

}  // namespace

namespace backend {

int64_t ReadOnce(FileHandle::Native handle, void* buffer, size_t n) {
    for (;;) {
        const ssize_t got = ::read(ToFd(handle), buffer, n);
        if (got >= 0 || errno != EINTR) {
            return got;
        }
    }
}

int64_t WriteOnce(FileHandle::Native handle, const void* buffer, size_t n) {
    for (;;) {
        const ssize_t put = ::write(ToFd(handle), buffer, n);
        if (put >= 0 || errno != EINTR) {
            return put;
        }
    }
}

bool FlushNative(FileHandle::Native handle, bool dataOnly) {
#if defined(__APPLE__)
    // fsync leaves the data in the drive's cache there; the full flush
    // reaches the medium, where the file system offers it.
    return (!dataOnly && ::fcntl(ToFd(handle), F_FULLFSYNC) == 0) || ::fsync(ToFd(handle)) == 0;
#else
    return (dataOnly ? ::fdatasync(ToFd(handle)) : ::fsync(ToFd(handle))) == 0;
#endif
}

bool CloseNative(FileHandle::Native handle) {
    return ::close(ToFd(handle)) == 0;
}

FileIdentity IdentityFromStat(const struct stat& st) {
    FileIdentity identity;
    identity.device = static_cast<uint64_t>(st.st_dev);
    identity.file = static_cast<uint64_t>(st.st_ino);
    identity.size = static_cast<uint64_t>(st.st_size);
#ifdef __APPLE__
    identity.lastWrite = ToNanoseconds(st.st_mtimespec);
    identity.lastChange = ToNanoseconds(st.st_ctimespec);
#else
    identity.lastWrite = ToNanoseconds(st.st_mtim);
    identity.lastChange = ToNanoseconds(st.st_ctim);
#endif
    return identity;
}

}  // namespace backend

bool FileHandle::OpenForRead(const char* path) {
    Close();
    const int fd = ::open(path, O_RDONLY | kCommonFlags);
    if (fd < 0) {
        return false;
    }
    handle_ = fd;
    owns_ = true;
    // A directory opens for reading here but not on Windows; refuse it the
    // same way rather than failing at the first read.
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        Close();
        return false;
    }
    return true;
}

bool FileHandle::CreateForWrite(const char* path, bool failIfExists) {
    Close();
    const int disposition = failIfExists ? O_CREAT | O_EXCL : O_CREAT | O_TRUNC;
    const int fd = ::open(path, O_WRONLY | disposition | kCommonFlags, kNewFileMode);
    if (fd < 0) {
        return false;
    }
    handle_ = fd;
    owns_ = true;
    return true;
}

bool FileHandle::OpenForOverwrite(const char* path) {
    Close();
    // O_NOFOLLOW: overwriting through a symbolic link would destroy the file
    // it points to and then delete only the link.
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_NOFOLLOW | kCommonFlags, kNewFileMode);
    if (fd < 0) {
        return false;
    }
    handle_ = fd;
    owns_ = true;
    return true;
}

FileHandle::Hold FileHandle::OpenForWipe(const char* path) {
    Close();
    const int fd = ::open(path, O_WRONLY | O_NOFOLLOW | kCommonFlags);
    if (fd < 0) {
        return Hold::kFailed;
    }
    handle_ = fd;
    owns_ = true;
    const Hold held = backend::HoldAlone(fd);
    if (held != Hold::kHeld) {
        Close();
    }
    return held;
}

bool FileHandle::Rewind() {
    return ::lseek(ToFd(handle_), 0, SEEK_SET) == 0;
}

int64_t FileHandle::Size() {
    struct stat st {};
    if (::fstat(ToFd(handle_), &st) != 0) {
        return -1;
    }
    return static_cast<int64_t>(st.st_size);
}

bool FileHandle::GetTimes(FileTimes* times) {
    struct stat st {};
    if (::fstat(ToFd(handle_), &st) != 0) {
        return false;
    }
    times->creation = 0;
    times->lastAccess = ToNanoseconds(st.st_atim);
    times->lastWrite = ToNanoseconds(st.st_mtim);
    return true;
}

bool FileHandle::SetTimes(const FileTimes& times) {
    const timespec both[2] = {FromNanoseconds(times.lastAccess), FromNanoseconds(times.lastWrite)};
    return ::futimens(ToFd(handle_), both) == 0;
}

bool FileHandle::IsSameFileAs(const char* path) {
    struct stat mine {};
    struct stat other {};
    return ::fstat(ToFd(handle_), &mine) == 0 && ::stat(path, &other) == 0 &&
           mine.st_dev == other.st_dev && mine.st_ino == other.st_ino;
}

bool FileHandle::Identify(FileIdentity* identity) const {
    struct stat st {};
    if (::fstat(ToFd(handle_), &st) != 0) {
        return false;
    }
    *identity = backend::IdentityFromStat(st);
    return true;
}

int64_t FileHandle::LinkCount() {
    struct stat st {};
    if (::fstat(ToFd(handle_), &st) != 0) {
        return -1;
    }
    return static_cast<int64_t>(st.st_nlink);
}

// --- Files at offsets --------------------------------------------------------

namespace backend {

int64_t ReadOnceAt(FileHandle::Native handle, uint64_t offset, void* buffer, size_t n) {
    for (;;) {
        const ssize_t got = ::pread(ToFd(handle), buffer, n, static_cast<off_t>(offset));
        if (got >= 0 || errno != EINTR) {
            return got;
        }
    }
}

int64_t WriteOnceAt(FileHandle::Native handle, uint64_t offset, const void* buffer, size_t n) {
    for (;;) {
        const ssize_t put = ::pwrite(ToFd(handle), buffer, n, static_cast<off_t>(offset));
        if (put >= 0 || errno != EINTR) {
            return put;
        }
    }
}

}  // namespace backend

bool FileHandle::OpenRegularForRead(const char* path) {
    Close();
    const int fd = ::open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | kCommonFlags);
    if (fd < 0) {
        return false;
    }
    handle_ = fd;
    owns_ = true;
    struct stat st {};
    const int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flags < 0 ||
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        Close();
        return false;
    }
    return true;
}

bool FileHandle::OpenRegularNoFollow(const char* path) {
    return OpenRegularForRead(path);
}

bool FileHandle::CreateNewPrivate(const char* path) {
    Close();
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | kCommonFlags, 0600);
    if (fd < 0) {
        return false;
    }
    handle_ = fd;
    owns_ = true;
    return true;
}

void FileHandle::StartWriteBack(uint64_t offset, uint64_t n) const {
#ifdef __linux__
    ::sync_file_range(ToFd(handle_), static_cast<off_t>(offset), static_cast<off_t>(n),
                      SYNC_FILE_RANGE_WRITE);
#else
    (void)offset;
    (void)n;
#endif
}

void FileHandle::CopyTimesFrom(const FileHandle& source) const {
    struct stat st {};
    if (::fstat(ToFd(source.handle_), &st) != 0) {
        return;
    }
#ifdef __APPLE__
    const timespec times[2] = {st.st_atimespec, st.st_mtimespec};
#else
    const timespec times[2] = {st.st_atim, st.st_mtim};
#endif
    ::futimens(ToFd(handle_), times);
}

unsigned FileHandle::ModeOfCopy() const {
    struct stat st {};
    if (::fstat(ToFd(handle_), &st) != 0) {
        return NewFileMode();
    }
    return st.st_mode & 0777 & ~static_cast<mode_t>(CurrentUmask());
}

unsigned FileHandle::NewFileMode() {
    return 0666 & ~static_cast<mode_t>(CurrentUmask());
}

}  // namespace zorv

// --- Temporary files without a name, and renames that never replace ---------

namespace zorv {
namespace backend {
namespace {

// The kernel's no-replace rename; -1 with errno EINVAL, ENOSYS or ENOTSUP
// where the file system or the kernel lacks it.
int RenameExclusive(const char* from, const char* to) {
#if defined(__linux__)
    return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
#elif defined(__APPLE__)
    return ::renamex_np(from, to, RENAME_EXCL);
#else
    errno = ENOSYS;
    return -1;
#endif
}

ResultCode LinkFailure(int error) {
    if (error == EEXIST) {
        return kResultFileExists;
    }
    return error == ENAMETOOLONG ? kResultPathTooLong : kResultWriteFailed;
}

}  // namespace

std::size_t NameOffset(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash == nullptr ? 0 : static_cast<std::size_t>(slash - path) + 1;
}

bool FitsPathLimit(const char*) {
    return true;
}

FileHandle::Native CreateUnnamed(const std::string& folder) {
#ifdef O_TMPFILE
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_RDWR | kCommonFlags,
                          kPrivateFileMode);
    return fd < 0 ? FileHandle::kNone : fd;
#else
    (void)folder;
    return FileHandle::kNone;
#endif
}

Created CreateNamed(const char* path, FileHandle::Native* handle, bool* marked) {
    *marked = false;
    const int fd =
        ::open(path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | kCommonFlags, kPrivateFileMode);
    if (fd >= 0) {
        *handle = fd;
        return Created::kOk;
    }
    if (errno == EEXIST) {
        return Created::kTaken;
    }
    return errno == ENAMETOOLONG ? Created::kTooLong : Created::kFailed;
}

bool SetDeleteMark(FileHandle::Native, bool) {
    return false;
}

ResultCode LinkUnnamed(FileHandle::Native handle, const char* path) {
#ifdef __linux__
    // Through /proc: linking the descriptor itself (AT_EMPTY_PATH) needs a
    // privilege that ordinary users lack.
    char proc[64];
    std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", ToFd(handle));
    if (::linkat(AT_FDCWD, proc, AT_FDCWD, path, AT_SYMLINK_FOLLOW) == 0) {
        return kResultOk;
    }
    if (errno == ENOENT && ::linkat(ToFd(handle), "", AT_FDCWD, path, AT_EMPTY_PATH) == 0) {
        return kResultOk;
    }
    return LinkFailure(errno);
#else
    (void)handle;
    (void)path;
    return kResultWriteFailed;
#endif
}

ResultCode RenamePath(const char* from, const char* to) {
    if (RenameExclusive(from, to) == 0) {
        return kResultOk;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) {
        return LinkFailure(errno);
    }
    // No kernel support on this file system: a hard link also refuses an
    // existing name, and the old name is dropped afterwards.
    if (::link(from, to) != 0) {
        return LinkFailure(errno);
    }
    (void)::unlink(from);
    return kResultOk;
}

ResultCode RenameOpenFile(FileHandle::Native, const char* from, const char* to, bool replace) {
    if (!replace) {
        return RenamePath(from, to);
    }
    return ::rename(from, to) == 0 ? kResultOk : kResultWriteFailed;
}

void SetMode(FileHandle::Native handle, unsigned mode) {
    ::fchmod(ToFd(handle), static_cast<mode_t>(mode));
}

bool RemoveName(const char* path) {
    return ::unlink(path) == 0;
}

bool RemoveHeldName(FileHandle::Native, const char* path) {
    // The lock stays with the open file until it is closed.
    return ::unlink(path) == 0;
}

FileHandle::Hold HoldAlone(FileHandle::Native handle) {
    // flock rather than fcntl's record locks: those belong to the process
    // and go with any descriptor of the file it closes.
    for (;;) {
        if (::flock(ToFd(handle), LOCK_EX | LOCK_NB) == 0) {
            return FileHandle::Hold::kHeld;
        }
        if (errno == EWOULDBLOCK) {
            return FileHandle::Hold::kBusy;
        }
        if (errno != EINTR) {
            return FileHandle::Hold::kHeld;  // no locks here (ENOLCK, EOPNOTSUPP)
        }
    }
}

bool FlushFolder(const std::string& folder) {
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | kCommonFlags);
    if (fd < 0) {
        return false;
    }
    const bool flushed = PlannedFlush([fd] { return ::fsync(fd) == 0; });
    ::close(fd);
    return flushed;
}

}  // namespace backend
}  // namespace zorv
