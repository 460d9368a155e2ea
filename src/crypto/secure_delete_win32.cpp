// Win32 backend of secure deletion (its path calls: path_calls_win32.h).
#include <windows.h>

#include "crypto/path_calls_win32.h"
#include "crypto/secure_delete_backend.h"

namespace zorv {
namespace backend {
namespace {

// The number of names of the file itself (never of what a reparse point leads
// to); 0 when it cannot be read.
DWORD LinkCountOf(const char* path) {
    HANDLE file = CreateFileAtPath(path, FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT);
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
    const DWORD attributes = AttributesAtPath(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return Wipeable::kMissing;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        return Wipeable::kRefused;
    }
    // A tag that cannot be read counts as a name surrogate: refusing is safe.
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        const DWORD tag = ReparseTagAtPath(path);
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
        SetAttributesAtPath(path, attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    }
    return Wipeable::kYes;
}

}  // namespace backend
}  // namespace zorv
