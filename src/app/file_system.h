// File-system queries shared by the dispatch and the front ends: wide-text
// conversion, existence and folder tests, name resolution, temporary names.
// Windows only (ANSI entry points, the process's code page).
#pragma once

#include <windows.h>

#include "app/win32_handles.h"

namespace zorv {

// Clears output[0..capacity) and converts text with the process's ANSI code
// page, terminator included. Returns the number of wide characters written
// including the terminator, or 0 on failure (output then all zeros).
int ToWide(const char* text, wchar_t* output, int capacity);

// At least one directory entry matches the path (wildcards allowed in the
// last component). A path ending in a backslash or a bare drive root gives
// false.
bool PathExists(const char* path);

// The path's attributes can be read and include the directory attribute.
bool IsFolder(const char* path);

// Replaces the last component of path by the name the file system stores for
// the first entry matching it (long name, stored letter case; a wildcard
// becomes the first match) and writes the result to output, a kMaxPath
// buffer that may be path itself. Returns false and leaves output unchanged
// when nothing matches. When the result would not fit in 259 bytes, output
// receives the path exactly as written (true). A path without a backslash
// ("name", "C:name") gets the found name in place of its last component,
// with no separator inserted. The entry's name is asked in its wide form:
// *inexact is set when it has no exact ANSI form (exact_name.h), and the
// found name in output is then its shown form, never to be used as a path.
bool ResolveFoundName(const char* path, char* output, bool* inexact);

// Creates a new, empty, uniquely named file "<prefix>XXXX.tmp" in the
// system's temporary folder and copies its full path to output (kMaxPath
// bytes). Returns 0, or -1 with output unchanged when either platform call
// fails.
int MakeTempFileName(const char* prefix, char* output);

}  // namespace zorv
