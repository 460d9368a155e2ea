// The "source changed" check of both programs: a source whose state after
// its job differs from the state read before it was written to meanwhile,
// and what was made from it misses or mixes what was written.
#pragma once

#include <cstdint>

namespace zorv {

// The state of a file's contents as the platform reports it, in its own
// units (see FileTimes). lastChange is the change time (POSIX st_ctime;
// Windows the ChangeTime of the file's basic information), which a program
// cannot set back as it can the last-write time after editing a file in
// place. 0 where it is not read: the transforms' own check on the open
// source (file_cipher.cpp) reads the size and the last-write time only.
struct SourceState {
    uint64_t size = 0;
    int64_t lastWrite = 0;
    int64_t lastChange = 0;
};

// True when now shows the contents that before showed. Both states come
// from the same reader, so a change time that is not read is 0 on both
// sides and compares equal: only a reader that gets it is the stricter.
inline bool SourceUnchanged(const SourceState& before, const SourceState& now) {
    return now.size == before.size && now.lastWrite == before.lastWrite &&
           now.lastChange == before.lastChange;
}

}  // namespace zorv
