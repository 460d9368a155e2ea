// Win32 backend of file_entries.h, on the wide entry points: paths are UTF-8
// inside zorv-cli, as on POSIX, and each call takes the path's exact UTF-16
// form (WidePath). A path that has none (an unpaired surrogate from a
// listing) names no file here.
#include "crypto/file_entries.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <utility>

#include "crypto/path_calls_win32.h"
#include "crypto/wide_path.h"

namespace zorv {
namespace {

EntryInfo InfoFromAttributes(DWORD attributes, DWORD sizeHigh, DWORD sizeLow) {
    EntryInfo info;
    info.exists = true;
    info.isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    info.readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    info.special = (attributes & FILE_ATTRIBUTE_SYSTEM) != 0;
    info.size = info.isFolder ? 0 : (static_cast<std::uint64_t>(sizeHigh) << 32) | sizeLow;
    return info;
}

// Position of the last separator ('\\' or '/'), or npos. No byte of a
// UTF-8 sequence past its first is below 0x80, so a plain search is exact.
std::size_t FindLastSeparator(const std::string& path) {
    return path.find_last_of("\\/");
}

// The wide form of path, or an empty string, which no call opens: every
// call below then fails as for a missing file.
std::wstring Wide(const std::string& path) {
    std::wstring wide;
    WidePath(path, &wide);
    return wide;
}

// An owning FileHandle of a handle opened here.
FileHandle Owned(HANDLE handle) {
    return FileHandle(reinterpret_cast<FileHandle::Native>(handle), true);
}

// Closes a directory search when it goes out of scope.
struct ScopedSearch {
    explicit ScopedSearch(HANDLE search) : handle(search) {}
    ScopedSearch(const ScopedSearch&) = delete;
    ScopedSearch& operator=(const ScopedSearch&) = delete;
    ~ScopedSearch() {
        if (handle != INVALID_HANDLE_VALUE) {
            FindClose(handle);
        }
    }
    HANDLE handle;
};

// What a listing or a name without a wide form is: an entry no call here can
// reach, refused as one whose name cannot be handled.
EntryInfo UnnamableEntry() {
    EntryInfo info;
    info.exists = true;
    info.special = true;
    info.unnamable = true;
    return info;
}

}  // namespace

bool QueryIdentity(const std::string& path, FileIdentity* identity, bool followLink) {
    // No access to the contents, only to the identity, and of the reparse
    // point itself rather than of what it leads to (unless asked).
    DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (followLink ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    // Through the path calls of FileHandle: the desktop program's job steps
    // (job_steps.h) ask with its ANSI paths.
    const FileHandle entry(Owned(backend::CreateFileAtPath(
        path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        OPEN_EXISTING, flags)));
    return entry.IsOpen() && entry.Identify(identity);
}

EntryInfo QueryEntry(const std::string& path) {
    std::wstring wide;
    if (!WidePath(path, &wide)) {
        return UnnamableEntry();
    }
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) {
        return EntryInfo{};
    }
    return InfoFromAttributes(data.dwFileAttributes, data.nFileSizeHigh, data.nFileSizeLow);
}

PinnedFolder::~PinnedFolder() = default;

bool PinnedFolder::Pin(const std::string& path, std::size_t, const std::vector<FileIdentity>&) {
    folder_ = FolderOf(path);
    return true;
}

std::string PinnedFolder::Reach(const std::string& name) const {
    return JoinFolderAndName(folder_, name);
}

bool ListFolder(const std::string& folder, const FileIdentity& expected,
                std::vector<FolderEntry>* entries) {
    // The search reports no file numbers: entries carry no identity, and the
    // job's checks on the open file and before destroying it stand alone.
    (void)expected;
    entries->clear();
    WIN32_FIND_DATAW found = {};
    const ScopedSearch search(FindFirstFileW(Wide(JoinFolderAndName(folder, "*")).c_str(), &found));
    if (search.handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    do {
        bool exact = true;
        const std::u16string units(found.cFileName, found.cFileName + wcslen(found.cFileName));
        std::string name = Utf16ToUtf8(units.data(), units.size(), &exact);
        if (name == "." || name == "..") {
            continue;
        }
        FolderEntry item;
        item.info = exact ? InfoFromAttributes(found.dwFileAttributes, found.nFileSizeHigh,
                                               found.nFileSizeLow)
                          : UnnamableEntry();
        item.name = std::move(name);
        entries->push_back(std::move(item));
    } while (FindNextFileW(search.handle, &found));
    std::sort(entries->begin(), entries->end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    return true;
}

unsigned CurrentUmask() {
    return 0;
}

bool SyncFiles(const std::vector<FileHandle*>& files) {
    bool ok = true;
    for (FileHandle* file : files) {
        ok = file->Flush() && ok;
    }
    return ok;
}

std::string NameOf(const std::string& path) {
    std::size_t separator = FindLastSeparator(path);
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

std::string FolderOf(const std::string& path) {
    std::size_t separator = FindLastSeparator(path);
    if (separator == std::string::npos) {
        return "";
    }
    // Keep the separator of a root ("C:\", "\") so the folder stays the root.
    bool root = separator == 0 || (separator == 2 && path[1] == ':');
    return path.substr(0, root ? separator + 1 : separator);
}

std::string JoinFolderAndName(const std::string& folder, const std::string& name) {
    if (folder.empty()) {
        return name;
    }
    bool endsWithSeparator = FindLastSeparator(folder) == folder.size() - 1;
    return endsWithSeparator ? folder + name : folder + '\\' + name;
}

}  // namespace zorv
