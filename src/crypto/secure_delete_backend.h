// What each platform backend of secure deletion provides to secure_delete.cpp.
#pragma once

namespace zorv {
namespace backend {

enum class Wipeable {
    kYes,         // a regular file, now writable
    kMissing,     // nothing under the path
    kHardLinked,  // a regular file with more than one name: left as it is
    kRefused,     // must not be wiped: left as it is
};

// Makes an existing file writable (Win32: clears FILE_ATTRIBUTE_READONLY and
// keeps every other attribute; POSIX: adds the owner's write permission).
// Refuses a symbolic link, a junction or mount point (name-surrogate reparse
// points: wiping would destroy the file they point to), a folder and, on
// POSIX, anything other than a regular file. Other reparse points (a
// deduplicated or cloud placeholder file, for one) are files like any other.
// A file with several names is reported before any change, since the
// attribute belongs to all of them.
Wipeable MakeWritable(const char* path);

}  // namespace backend
}  // namespace zorv
