// The names both programs give their own files beside a user's:
//   .zorv-XXXXXXXX.tmp   an output being written (a named temporary file);
//   .zorv-XXXXXXXX.wipe  a file being destroyed, renamed before its first
//                        overwrite so that a half-wiped file never keeps the
//                        name it had;
// X being lower-case hexadecimal digits. A process killed at the wrong
// moment leaves them behind; a later run in that folder recognises them,
// never takes them as its input, and finishes them (FinishLeftover in
// secure_delete.h). The names are plain ASCII, so they mean the same in
// code page 932 and in UTF-8.
#pragma once

#include <cstddef>

namespace zorv {

enum class LeftoverKind {
    kNone,       // a user's file
    kTemporary,  // .zorv-XXXXXXXX.tmp: may hold plain text
    kWipe,       // .zorv-XXXXXXXX.wipe: a file the user meant to destroy
};

// Room for a name with its terminator.
constexpr std::size_t kLeftoverNameBytes = 20;

// Writes a new name of kind (kTemporary or kWipe) into name, which has
// kLeftoverNameBytes. Consecutive calls, in one process or several, give
// different names with high probability; callers still create or rename
// without replacing, and try again when the name is taken.
void MakeLeftoverName(LeftoverKind kind, char* name);

// The kind of an entry's name (without its folder), exactly as
// MakeLeftoverName writes it; kNone for every other name.
LeftoverKind LeftoverKindOf(const char* name);

}  // namespace zorv
