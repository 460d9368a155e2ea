// Win32 backend of FileHandle: CreateFile (ANSI or wide, see
// path_calls_win32.h), ReadFile, WriteFile and friends.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "crypto/file_handle.h"
#include "crypto/file_handle_backend.h"
#include "crypto/path_calls_win32.h"
#include "crypto/wide_path.h"

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

namespace {

// Whether a file that could not be opened for writing is one another process
// holds: opened without sharing writes (a live run's file), or marked for
// deletion by its owner (a live run's temporary, which goes with that
// owner's handle). Windows refuses a marked file even an open for reading
// its attributes, with access denied; a file the user may not write still
// opens so.
bool HeldElsewhere(const char* path, DWORD error) {
    if (error == ERROR_SHARING_VIOLATION) {
        return true;
    }
    if (error != ERROR_ACCESS_DENIED) {
        return false;
    }
    const HANDLE query = backend::CreateFileAtPath(
        path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT);
    if (query != INVALID_HANDLE_VALUE) {
        CloseHandle(query);
        return false;
    }
    return GetLastError() == ERROR_ACCESS_DENIED;
}

}  // namespace

FileHandle::Hold FileHandle::OpenForWipe(const char* path) {
    Close();
    // Shared for reading only: another run's finisher, which opens for
    // writing, meets a sharing violation.
    handle_ = OpenNative(path, GENERIC_WRITE | DELETE, FILE_SHARE_READ, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL);
    owns_ = IsOpen();
    if (owns_) {
        return Hold::kHeld;
    }
    return HeldElsewhere(path, GetLastError()) ? Hold::kBusy : Hold::kFailed;
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

bool FileHandle::OpenRegularNoFollow(const char* path) {
    Close();
    // The reparse point itself is opened, never what it leads to, and then
    // refused by its attributes.
    handle_ = OpenNative(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING,
                         FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN);
    owns_ = IsOpen();
    BY_HANDLE_FILE_INFORMATION info;
    constexpr DWORD kNotRegular = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY;
    if (owns_ && (!GetFileInformationByHandle(ToHandle(handle_), &info) ||
                  (info.dwFileAttributes & kNotRegular) != 0)) {
        Close();
    }
    return IsOpen();
}

bool FileHandle::CreateNewPrivate(const char* path) {
    Close();
    handle_ = OpenNative(path, GENERIC_READ | GENERIC_WRITE | FILE_WRITE_ATTRIBUTES, 0, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL);
    owns_ = IsOpen();
    return owns_;
}

void FileHandle::StartWriteBack(uint64_t, uint64_t) const {}

void FileHandle::CopyTimesFrom(const FileHandle& source) const {
    FILETIME creation = {}, access = {}, write = {};
    if (GetFileTime(ToHandle(source.handle_), &creation, &access, &write)) {
        SetFileTime(ToHandle(handle_), &creation, &access, &write);
    }
}

unsigned FileHandle::ModeOfCopy() const {
    return 0;
}

unsigned FileHandle::NewFileMode() {
    return 0;
}

}  // namespace zorv

// --- Temporary files marked for deletion, and renames that never replace ----

namespace zorv {
namespace backend {
namespace {

bool IsTakenError(DWORD error) {
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

ResultCode RenameFailure(DWORD error) {
    if (IsTakenError(error)) {
        return kResultFileExists;
    }
    return error == ERROR_FILENAME_EXCED_RANGE ? kResultPathTooLong : kResultWriteFailed;
}

// The wide form of a path as the calls by name take it: the exact form of
// UTF-8 text (zorv-cli), or the ANSI code page's (the desktop program).
bool WideFormOf(const char* path, std::wstring* wide) {
    if (Utf8PathsInUse()) {
        return WidePath(path, wide);
    }
    const int units = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path, -1, nullptr, 0);
    if (units <= 0) {
        return false;
    }
    wide->resize(static_cast<std::size_t>(units));
    MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path, -1, &(*wide)[0], units);
    wide->resize(static_cast<std::size_t>(units - 1));
    return true;
}

// The "\\?\" form of an ANSI path, which the wide calls take past 259
// characters.
bool LongWideFormOf(const char* path, std::wstring* wide) {
    std::wstring given;
    if (!WideFormOf(path, &given)) {
        return false;
    }
    const DWORD units = GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
    if (units == 0) {
        return false;
    }
    std::wstring full(units, L'\0');
    const DWORD written = GetFullPathNameW(given.c_str(), units, &full[0], nullptr);
    if (written == 0 || written >= units) {
        return false;
    }
    full.resize(written);
    if (full.compare(0, 2, L"\\\\") == 0) {
        *wide = L"\\\\?\\UNC\\" + full.substr(2);
    } else {
        *wide = L"\\\\?\\" + full;
    }
    return true;
}

}  // namespace

std::size_t NameOffset(const char* path) {
    std::size_t offset = 0;
    for (std::size_t i = 0; path[i] != '\0'; ++i) {
        const auto byte = static_cast<unsigned char>(path[i]);
        if (byte == '\\' || byte == '/' || byte == ':') {
            offset = i + 1;
        } else if (!Utf8PathsInUse() && IsDBCSLeadByte(byte) && path[i + 1] != '\0') {
            ++i;  // the trail byte may be a backslash's
        }
    }
    return offset;
}

bool FitsPathLimit(const char* path) {
    if (!Utf8PathsInUse()) {
        return std::strlen(path) < MAX_PATH;
    }
    std::wstring wide;
    return WidePath(path, &wide) && wide.size() < MAX_PATH;
}

FileHandle::Native CreateUnnamed(const std::string&) {
    return FileHandle::kNone;
}

Created CreateNamed(const char* path, FileHandle::Native* handle, bool* marked) {
    *marked = false;
    // Nobody else may open it: it may hold plain text. DELETE lets the
    // handle mark it, clear the mark and rename it.
    constexpr DWORD kAccess = GENERIC_READ | GENERIC_WRITE | DELETE;
    HANDLE file = INVALID_HANDLE_VALUE;
    if (!FitsPathLimit(path)) {
        // The temporary's name may be longer than the final one, which fits
        // the calls by name: made through the wide call's long form instead.
        std::wstring wide;
        if (!LongWideFormOf(path, &wide)) {
            return Created::kTooLong;
        }
        file = CreateFileW(wide.c_str(), kAccess, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    } else {
        file = CreateFileAtPath(path, kAccess, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
    }
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (IsTakenError(error)) {
            return Created::kTaken;
        }
        return error == ERROR_FILENAME_EXCED_RANGE ? Created::kTooLong : Created::kFailed;
    }
    *handle = FromHandle(file);
    *marked = SetDeleteMark(*handle, true);
    return Created::kOk;
}

bool SetDeleteMark(FileHandle::Native handle, bool marked) {
    FILE_DISPOSITION_INFO info;
    info.DeleteFile = marked ? TRUE : FALSE;
    return SetFileInformationByHandle(ToHandle(handle), FileDispositionInfo, &info, sizeof info) !=
           0;
}

ResultCode LinkUnnamed(FileHandle::Native, const char*) {
    return kResultWriteFailed;  // never made here
}

ResultCode RenamePath(const char* from, const char* to) {
    if (!Utf8PathsInUse()) {
        return MoveFileExA(from, to, 0) ? kResultOk : RenameFailure(GetLastError());
    }
    std::wstring wideFrom;
    std::wstring wideTo;
    if (!WidePath(from, &wideFrom) || !WidePath(to, &wideTo)) {
        return kResultWriteFailed;
    }
    return MoveFileExW(wideFrom.c_str(), wideTo.c_str(), MOVEFILE_WRITE_THROUGH)
               ? kResultOk
               : RenameFailure(GetLastError());
}

ResultCode RenameOpenFile(FileHandle::Native handle, const char* from, const char* to,
                          bool replace) {
    (void)from;
    std::wstring wide;
    if (!FitsPathLimit(to)) {
        return kResultPathTooLong;
    }
    if (!WideFormOf(to, &wide)) {
        return kResultWriteFailed;
    }
    // The record ends with the name, which runs past the declared array.
    const std::size_t nameBytes = wide.size() * sizeof(wchar_t);
    std::vector<unsigned char> record(sizeof(FILE_RENAME_INFO) + nameBytes);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(record.data());
    info->ReplaceIfExists = replace ? TRUE : FALSE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(nameBytes);
    std::memcpy(info->FileName, wide.c_str(), nameBytes + sizeof(wchar_t));
    if (SetFileInformationByHandle(ToHandle(handle), FileRenameInfo, info,
                                   static_cast<DWORD>(record.size())) == 0) {
        return replace ? kResultWriteFailed : RenameFailure(GetLastError());
    }
    return kResultOk;
}

void SetMode(FileHandle::Native, unsigned) {}

bool RemoveName(const char* path) {
    return DeleteAtPath(path);
}

bool RemoveHeldName(FileHandle::Native handle, const char*) {
    // No sharing lets DeleteFile open it: the mark goes through the handle.
    return SetDeleteMark(handle, true);
}

FileHandle::Hold HoldAlone(FileHandle::Native) {
    return FileHandle::Hold::kHeld;
}

bool FlushFolder(const std::string& folder) {
    // A folder opens only with backup semantics, and flushes only when
    // opened for writing.
    const HANDLE opened = CreateFileAtPath(folder.empty() ? "." : folder.c_str(), GENERIC_WRITE,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
    if (opened == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool flushed = PlannedFlush([opened] {
        if (FlushFileBuffers(opened)) {
            return true;
        }
        // Some file systems (FAT, some network ones) refuse to flush a
        // folder: there is nothing of theirs to flush.
        const DWORD error = GetLastError();
        return error == ERROR_INVALID_FUNCTION || error == ERROR_INVALID_PARAMETER ||
               error == ERROR_NOT_SUPPORTED || error == ERROR_ACCESS_DENIED;
    });
    CloseHandle(opened);
    return flushed;
}

}  // namespace backend
}  // namespace zorv
