// Names that have an exact form in the process's ANSI code page. Every name
// that enters zorv.exe (command-line items, clipboard names, folder entries)
// is checked here against its real, wide form before it is used: the ANSI
// conversion maps a character it lacks to a look-alike ("é" becomes "e",
// "¥" becomes a backslash) or to '?', and the ANSI calls would then act on
// another file's name. Windows only.
#pragma once

#include <windows.h>

namespace zorv {

// True when name (length wide characters; -1: up to its terminator)
// converts to the ANSI code page without a best-fit mapping and without the
// default character, and back to the same wide text. An empty name is exact.
bool HasExactAnsiForm(const wchar_t* name, int length);

// Writes the ANSI form of name (length wide characters; -1: up to its
// terminator) and a NUL into output (capacity bytes) and returns its length
// in bytes; with a null output it only measures. Each character that has no
// exact form of its own is written as '?', so the form of a name that is not
// exact shows where it differs and is never another entry's own name (no
// file name holds '?'). Returns -1 when output is too small (its contents
// are then undefined).
int ToAnsiName(const wchar_t* name, int length, char* output, int capacity);

}  // namespace zorv
