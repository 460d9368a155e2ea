// Win32 backend of secure deletion.
#include <windows.h>

#include "crypto/secure_delete_backend.h"

namespace zorv {
namespace backend {
namespace {

// The reparse tag of a reparse point, as the directory search reports it.
// 0 when the search fails.
DWORD ReparseTagOf(const char* path) {
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA(path, &data);
    if (search == INVALID_HANDLE_VALUE) {
        return 0;
    }
    FindClose(search);
    return data.dwReserved0;
}

// The number of names of the file itself (never of what a reparse point leads
// to); 0 when it cannot be read.
DWORD LinkCountOf(const char* path) {
    HANDLE file = CreateFileA(path, FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return 0;
    }
    BY_HANDLE_FILE_INFORMATION info;
    const DWORD links = GetFileInformationByHandle(file, &info) ? info.nNumberOfLinks : 0;
    CloseHandle(file);
    return links;
}

}  // namespace

Wipeable MakeWritable(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return Wipeable::kMissing;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        return Wipeable::kRefused;
    }
    // A tag that cannot be read counts as a name surrogate: refusing is safe.
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        const DWORD tag = ReparseTagOf(path);
        if (tag == 0 || IsReparseTagNameSurrogate(tag)) {
            return Wipeable::kRefused;
        }
    }
    if (LinkCountOf(path) > 1) {
        return Wipeable::kHardLinked;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        // The result is not examined: when it fails the open for writing fails
        // and reports it.
        SetFileAttributesA(path, attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    }
    return Wipeable::kYes;
}

bool RemoveFile(const char* path) {
    return DeleteFileA(path) != 0;
}

}  // namespace backend
}  // namespace zorv
