// The path calls of the Win32 backends of FileHandle and secure deletion:
// through the ANSI entry points with the path's bytes as they are, or, once
// UseUtf8Paths has been called, through the wide ones with the path's exact
// UTF-16 form. A UTF-8 path that does not convert reaches no file: the call
// fails with ERROR_INVALID_NAME.
#pragma once

#include <windows.h>

namespace zorv {
namespace backend {

HANDLE CreateFileAtPath(const char* path, DWORD access, DWORD share, DWORD disposition,
                        DWORD flags);
// INVALID_FILE_ATTRIBUTES on failure.
DWORD AttributesAtPath(const char* path);
bool SetAttributesAtPath(const char* path, DWORD attributes);
bool DeleteAtPath(const char* path);
// The reparse tag of the entry as the directory search reports it; 0 when
// the search fails.
DWORD ReparseTagAtPath(const char* path);

}  // namespace backend
}  // namespace zorv
