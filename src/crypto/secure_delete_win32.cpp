// Win32 backend of secure deletion.
#include <windows.h>

#include "crypto/secure_delete_backend.h"

namespace zorv {
namespace backend {

bool MakeWritable(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return true;  // missing: the open creates it empty
    }
    if (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) {
        return false;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        // The result is not examined: when it fails the open for writing fails
        // and reports it.
        SetFileAttributesA(path, attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    }
    return true;
}

bool RemoveFile(const char* path) {
    return DeleteFileA(path) != 0;
}

}  // namespace backend
}  // namespace zorv
