// What each platform backend of secure deletion provides to secure_delete.cpp.
#pragma once

namespace zorv {
namespace backend {

// Makes an existing file writable (Win32: clears FILE_ATTRIBUTE_READONLY and
// keeps every other attribute; POSIX: adds the owner's write permission).
// Returns false for a path that must not be wiped: a symbolic link or
// reparse point (wiping would destroy the file it points to) or anything
// other than a regular file. A missing path is fine (true).
bool MakeWritable(const char* path);

// Deletes the file; false when it stays.
bool RemoveFile(const char* path);

}  // namespace backend
}  // namespace zorv
