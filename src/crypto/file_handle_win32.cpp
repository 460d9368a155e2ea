// Win32 backend of FileHandle: CreateFile (ANSI or wide, see
// path_calls_win32.h), ReadFile, WriteFile and friends.
#include <windows.h>

#include "crypto/file_handle.h"
#include "crypto/file_handle_backend.h"
#include "crypto/path_calls_win32.h"

namespace zorv {
namespace {

HANDLE ToHandle(FileHandle::Native h) {
    return reinterpret_cast<HANDLE>(h);
}

FileHandle::Native FromHandle(HANDLE h) {
    return reinterpret_cast<FileHandle::Native>(h);
}

// ReadFile and WriteFile count in DWORDs; larger requests go in pieces.
constexpr size_t kMaxPiece = size_t{1} << 30;

DWORD PieceOf(size_t n) {
    return static_cast<DWORD>(n < kMaxPiece ? n : kMaxPiece);
}

int64_t FromFileTime(const FILETIME& t) {
    return static_cast<int64_t>(static_cast<uint64_t>(t.dwHighDateTime) << 32 | t.dwLowDateTime);
}

FILETIME ToFileTime(int64_t ticks) {
    const auto u = static_cast<uint64_t>(ticks);
    FILETIME t;
    t.dwLowDateTime = static_cast<DWORD>(u);
    t.dwHighDateTime = static_cast<DWORD>(u >> 32);
    return t;
}

}  // namespace

namespace backend {

int64_t ReadOnce(FileHandle::Native handle, void* buffer, size_t n) {
    DWORD got = 0;
    if (!ReadFile(ToHandle(handle), buffer, PieceOf(n), &got, nullptr)) {
        return -1;
    }
    return got;
}

int64_t WriteOnce(FileHandle::Native handle, const void* buffer, size_t n) {
    DWORD put = 0;
    if (!WriteFile(ToHandle(handle), buffer, PieceOf(n), &put, nullptr)) {
        return -1;
    }
    return put;
}

bool FlushNative(FileHandle::Native handle, bool dataOnly) {
    (void)dataOnly;  // FlushFileBuffers has no data-only form
    return FlushFileBuffers(ToHandle(handle)) != 0;
}

bool CloseNative(FileHandle::Native handle) {
    return CloseHandle(ToHandle(handle)) != 0;
}

}  // namespace backend

namespace {

FileHandle::Native OpenNative(const char* path, DWORD access, DWORD share, DWORD disposition,
                              DWORD flags) {
    return FromHandle(backend::CreateFileAtPath(path, access, share, disposition, flags));
}

}  // namespace

bool FileHandle::OpenForRead(const char* path) {
    Close();
    // Sharing for reading only: nobody may write the source while it is read,
    // so its length cannot change under a transform.
    handle_ = OpenNative(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
    owns_ = IsOpen();
    return owns_;
}

bool FileHandle::CreateForWrite(const char* path, bool failIfExists) {
    Close();
    handle_ = OpenNative(path, GENERIC_WRITE, FILE_SHARE_WRITE,
                         failIfExists ? CREATE_NEW : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL);
    owns_ = IsOpen();
    return owns_;
}

bool FileHandle::OpenForOverwrite(const char* path) {
    Close();
    // OPEN_ALWAYS never truncates an existing file. No write-through: the
    // wipe flushes once per overwrite, which a real disk does far faster
    // than one synchronous write per piece.
    handle_ = OpenNative(path, GENERIC_WRITE, FILE_SHARE_WRITE, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL);
    owns_ = IsOpen();
    return owns_;
}

bool FileHandle::Rewind() {
    LARGE_INTEGER zero;
    zero.QuadPart = 0;
    return SetFilePointerEx(ToHandle(handle_), zero, nullptr, FILE_BEGIN) != 0;
}

int64_t FileHandle::Size() {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(ToHandle(handle_), &size)) {
        return -1;
    }
    return size.QuadPart;
}

bool FileHandle::GetTimes(FileTimes* times) {
    FILETIME creation;
    FILETIME access;
    FILETIME write;
    if (!GetFileTime(ToHandle(handle_), &creation, &access, &write)) {
        return false;
    }
    times->creation = FromFileTime(creation);
    times->lastAccess = FromFileTime(access);
    times->lastWrite = FromFileTime(write);
    return true;
}

bool FileHandle::SetTimes(const FileTimes& times) {
    const FILETIME creation = ToFileTime(times.creation);
    const FILETIME access = ToFileTime(times.lastAccess);
    const FILETIME write = ToFileTime(times.lastWrite);
    return SetFileTime(ToHandle(handle_), &creation, &access, &write) != 0;
}

bool FileHandle::IsSameFileAs(const char* path) {
    // Opened without any access, only to read the file's identity.
    FileHandle other(OpenNative(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL),
                     true);
    BY_HANDLE_FILE_INFORMATION mine;
    BY_HANDLE_FILE_INFORMATION theirs;
    return other.IsOpen() && GetFileInformationByHandle(ToHandle(handle_), &mine) &&
           GetFileInformationByHandle(ToHandle(other.native()), &theirs) &&
           mine.dwVolumeSerialNumber == theirs.dwVolumeSerialNumber &&
           mine.nFileIndexHigh == theirs.nFileIndexHigh &&
           mine.nFileIndexLow == theirs.nFileIndexLow;
}

bool FileHandle::Identify(FileIdentity* identity) const {
    BY_HANDLE_FILE_INFORMATION info;
    // The change time, which SetFileTime cannot put back, is only in the
    // basic information.
    FILE_BASIC_INFO basic = {};
    if (!GetFileInformationByHandle(ToHandle(handle_), &info) ||
        !GetFileInformationByHandleEx(ToHandle(handle_), FileBasicInfo, &basic, sizeof basic)) {
        return false;
    }
    identity->device = info.dwVolumeSerialNumber;
    identity->file = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    identity->size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    identity->lastWrite = FromFileTime(info.ftLastWriteTime);
    identity->lastChange = basic.ChangeTime.QuadPart;
    return true;
}

int64_t FileHandle::LinkCount() {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(ToHandle(handle_), &info)) {
        return -1;
    }
    return info.nNumberOfLinks;
}

// --- Files at offsets --------------------------------------------------------

namespace backend {
namespace {

// One ReadFile or WriteFile call at offset, made by call(count, &moved,
// &record): the bytes moved, or -1 on failure.
template <typename Call>
int64_t OnceAt(uint64_t offset, size_t n, Call call) {
    OVERLAPPED record = {};
    record.Offset = static_cast<DWORD>(offset);
    record.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD moved = 0;
    return call(PieceOf(n), &moved, &record) ? static_cast<int64_t>(moved) : -1;
}

}  // namespace

int64_t ReadOnceAt(FileHandle::Native handle, uint64_t offset, void* buffer, size_t n) {
    return OnceAt(offset, n, [&](DWORD count, DWORD* moved, OVERLAPPED* at) {
        return ReadFile(ToHandle(handle), buffer, count, moved, at);
    });
}

int64_t WriteOnceAt(FileHandle::Native handle, uint64_t offset, const void* buffer, size_t n) {
    return OnceAt(offset, n, [&](DWORD count, DWORD* moved, OVERLAPPED* at) {
        return WriteFile(ToHandle(handle), buffer, count, moved, at);
    });
}

}  // namespace backend

bool FileHandle::OpenRegularForRead(const char* path) {
    Close();
    // No write sharing: nobody may change the source while it is read.
    handle_ =
        OpenNative(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN);
    owns_ = IsOpen();
    return owns_;
}

bool FileHandle::CreateNewPrivate(const char* path) {
    Close();
    handle_ = OpenNative(path, GENERIC_READ | GENERIC_WRITE | FILE_WRITE_ATTRIBUTES, 0, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL);
    owns_ = IsOpen();
    return owns_;
}

void FileHandle::StartWriteBack(uint64_t, uint64_t) const {}

void FileHandle::CopyMetadataFrom(const FileHandle& source) const {
    FILETIME creation = {}, access = {}, write = {};
    if (GetFileTime(ToHandle(source.handle_), &creation, &access, &write)) {
        SetFileTime(ToHandle(handle_), &creation, &access, &write);
    }
}

void FileHandle::GiveNewFileMode() const {}

}  // namespace zorv
