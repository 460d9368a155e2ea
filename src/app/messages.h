// Message boxes and texts from the string table (res/messages.ja.txt), looked
// up by ID in the module stored by SetModuleInstance. IDs 70-84 double as
// ResultCode values (crypto/result_code.h).
#pragma once

#include <windows.h>

#include <cstddef>

namespace zorv {

// Caption of every message box of the program.
constexpr char kMessageCaption[] = "Zorv";

// Shows string id (at most 255 bytes; an unknown ID shows an empty text) in a
// message box with kMessageCaption and style (MB_ICONERROR,
// MB_ICONEXCLAMATION), owned by owner or by nobody when owner is null.
// Returns when the user closes it. Uses a buffer of its own per call, so any
// thread may call it.
void ShowMessage(HWND owner, int id, UINT style);

// The text of string id with its first "%s" replaced by path, into out
// (size bytes, cut to fit). Loaded into a buffer of its own rather than
// LoadText's shared one, so any thread may call it.
void FormatPathMessage(int id, const char* path, char* out, std::size_t size);

// The text of string id into out (size bytes, cut to fit; "" for an unknown
// ID), in a buffer of the caller's, so any thread may call it.
void CopyText(int id, char* out, std::size_t size);

// ShowMessage for a text that names a path through "%s".
void ShowMessageWithPath(HWND owner, int id, const char* path, UINT style);

// The text of string id in one process-wide 512-byte buffer (at most 511
// bytes; "" for an unknown ID). Never null. Every call overwrites the buffer:
// use or copy the text before the next call. No lock.
const char* LoadText(int id);

}  // namespace zorv
