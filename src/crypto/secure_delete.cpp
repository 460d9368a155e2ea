#include "crypto/secure_delete.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>
#include <random>
#include <string>

#include "crypto/file_handle.h"
#include "crypto/file_handle_backend.h"
#include "crypto/leftover_names.h"
#include "crypto/secure_delete_backend.h"

namespace zorv {
namespace {

constexpr int kPasses = 8;
constexpr size_t kPatternBytes = 4096;
// Each overwrite goes out in pieces of 256 copies of the pattern. One write
// of 4096 bytes per system call, each waiting for the disk, made a 64 MiB
// file take about a minute; large writes and one flush per overwrite put the
// same bytes on the disk at its own speed.
constexpr size_t kPieceBytes = 256 * kPatternBytes;

// kNotOpened: nothing was written; kFailed: a write or flush failed part-way.
enum class WipeResult { kWiped, kHardLinked, kNotOpened, kFailed };

// Attempts at a free wipe name before giving up.
constexpr int kNameAttempts = 16;

bool IsExpected(const FileHandle& file, const FileIdentity* expected) {
    FileIdentity found;
    return expected == nullptr || (file.Identify(&found) && found.SameFile(*expected));
}

// Writes the piece buffer (the pattern repeated) from offset 0 until `size`
// bytes have been overwritten, then flushes so that this overwrite is on the
// disk before the next one starts.
bool OverwriteOnce(FileHandle& file, const uint8_t* piece, size_t pieceBytes, uint64_t size) {
    if (!file.Rewind()) {
        return false;
    }
    uint64_t remaining = size;
    while (remaining > 0) {
        const size_t n = remaining < pieceBytes ? static_cast<size_t>(remaining) : pieceBytes;
        if (file.Write(piece, n) != n) {
            return false;
        }
        remaining -= n;
    }
    return file.FlushData();
}

void FillRandom(uint8_t* pattern) {
    // A generator of our own, seeded with the time in seconds, rather than the
    // process-wide rand(): deletion may run on a worker thread.
    std::mt19937 generator(static_cast<uint32_t>(std::time(nullptr)));
    for (size_t i = 0; i < kPatternBytes; ++i) {
        pattern[i] = static_cast<uint8_t>(generator());
    }
}

// Fills the first 4096 bytes with the pattern of this overwrite, then copies
// them over the rest of the piece.
void FillPiece(uint8_t* piece, size_t pieceBytes, int overwrite) {
    if (overwrite == 2) {
        FillRandom(piece);
    } else {
        std::fill(piece, piece + kPatternBytes, overwrite == 0 ? 0xAA : 0x55);
    }
    for (size_t at = kPatternBytes; at < pieceBytes; at += kPatternBytes) {
        std::memcpy(piece + at, piece, kPatternBytes);
    }
}

// Overwrites the open file from offset 0 to its end, passes times, starting
// each pass at overwrite firstOverwrite (numbered 0 (0xAA), 1 (0x55),
// 2 (random)).
bool OverwriteAll(FileHandle& file, int passes, int firstOverwrite) {
    const int64_t size = file.Size();
    if (size < 0) {
        return false;
    }
    // No larger than the file needs (rounded up to whole patterns). The
    // buffer only ever holds the patterns, never file contents, so it is not
    // cleared afterwards.
    const auto wanted = static_cast<uint64_t>(size) + kPatternBytes - 1;
    const size_t pieceBytes = std::max(
        kPatternBytes,
        static_cast<size_t>(std::min<uint64_t>(kPieceBytes, wanted - wanted % kPatternBytes)));
    std::unique_ptr<uint8_t[]> piece(new (std::nothrow) uint8_t[pieceBytes]);
    if (!piece) {
        return false;
    }
    for (int pass = 0; pass < passes; ++pass) {
        for (int overwrite = firstOverwrite; overwrite < 3; ++overwrite) {
            FillPiece(piece.get(), pieceBytes, overwrite);
            if (!OverwriteOnce(file, piece.get(), pieceBytes, static_cast<uint64_t>(size))) {
                return false;
            }
        }
    }
    return true;
}

WipeResult Wipe(const char* path, int passes, int firstOverwrite) {
    FileHandle file;
    if (!file.OpenForOverwrite(path)) {
        return WipeResult::kNotOpened;
    }
    // Checked on the open handle, so no name can be linked in between.
    const int64_t links = file.LinkCount();
    if (links > 1) {
        return WipeResult::kHardLinked;
    }
    if (links < 0) {
        return WipeResult::kNotOpened;
    }
    if (!OverwriteAll(file, passes, firstOverwrite)) {
        return WipeResult::kFailed;
    }
    return file.Close() ? WipeResult::kWiped : WipeResult::kFailed;
}

enum class Moved { kYes, kTooLong, kReplaced, kFailed };

// Gives the file held in file, opened under path, a wipe name in its
// folder, never replacing a file: kYes with that name in wipePath. The file
// is untouched otherwise; kTooLong when the wipe name would be past the path
// limit (it is longer than a short name of the file's own); kReplaced when
// path had come to name another file since it was opened (POSIX renames by
// name), which keeps its name.
Moved MoveToWipeName(FileHandle& file, const char* path, std::string* wipePath) {
    const std::string folder(path, backend::NameOffset(path));
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        char name[kLeftoverNameBytes];
        MakeLeftoverName(LeftoverKind::kWipe, name);
        *wipePath = folder + name;
        if (!backend::FitsPathLimit(wipePath->c_str())) {
            return Moved::kTooLong;
        }
        if (StepFails(FileStep::kRename)) {
            return Moved::kFailed;
        }
        const ResultCode moved =
            backend::RenameOpenFile(file.native(), path, wipePath->c_str(), false);
        if (moved == kResultOk) {
            if (file.IsSameFileAs(wipePath->c_str())) {
                // The new name on the disk before the first overwrite: a
                // power cut must not bring the old one back over a
                // half-wiped file. A failure is not reported: the wipe is
                // no less due.
                (void)backend::FlushFolder(folder);
                return Moved::kYes;
            }
            (void)backend::RenamePath(wipePath->c_str(), path);
            return Moved::kReplaced;
        }
        if (moved != kResultFileExists) {
            return moved == kResultPathTooLong ? Moved::kTooLong : Moved::kFailed;
        }
    }
    return Moved::kFailed;
}

bool RemoveStep(const char* path) {
    return !StepFails(FileStep::kRemove) && backend::RemoveName(path);
}

// Removes the name path of the file held in file, before it is closed; by
// name once closed where that fails (Windows, when the mark cannot be set).
bool RemoveHeldStep(FileHandle& file, const char* path) {
    if (StepFails(FileStep::kRemove)) {
        return false;
    }
    if (backend::RemoveHeldName(file.native(), path)) {
        return true;
    }
    (void)file.Close();
    return backend::RemoveName(path);
}

}  // namespace

bool WipeFile(const char* path) {
    return Wipe(path, kPasses, 0) == WipeResult::kWiped;
}

bool WipeOnceAndDelete(const char* path) {
    (void)Wipe(path, 1, 2);
    return backend::RemoveName(path);
}

DeleteOutcome SecureDestroy(const char* path, const FileIdentity* expected) {
    switch (backend::MakeWritable(path)) {
        case backend::Wipeable::kHardLinked:
            return DeleteOutcome::kHardLinked;
        case backend::Wipeable::kRefused:
            return DeleteOutcome::kNotAFile;
        case backend::Wipeable::kMissing:
            // The open would create it empty: not the file a caller meant.
            if (expected != nullptr) {
                return DeleteOutcome::kReplaced;
            }
            // Nothing to hide under another name: an empty file is made and
            // destroyed where the folder exists.
            return Wipe(path, kPasses, 0) == WipeResult::kWiped && RemoveStep(path)
                       ? DeleteOutcome::kDeleted
                       : DeleteOutcome::kFailed;
        case backend::Wipeable::kYes:
            break;
    }
    // Held from here to its removal, so that another run in the folder
    // never takes the wipe name for a leftover of a killed one. A file
    // another process holds so is left alone.
    FileHandle file;
    if (file.OpenForWipe(path) != FileHandle::Hold::kHeld) {
        return DeleteOutcome::kFailed;
    }
    if (!IsExpected(file, expected)) {
        return DeleteOutcome::kReplaced;
    }
    // Checked on the open handle, so no name can be linked in between.
    const int64_t links = file.LinkCount();
    if (links != 1) {
        return links > 1 ? DeleteOutcome::kHardLinked : DeleteOutcome::kFailed;
    }
    // Under a wipe name before the first overwrite: a wipe cut short (a
    // kill, a power cut) never leaves a half-overwritten file under the name
    // of the file it was, where it would pass for that file; later runs
    // finish it.
    std::string wipePath;
    switch (MoveToWipeName(file, path, &wipePath)) {
        case Moved::kYes:
            break;
        case Moved::kTooLong:
            // No room for the wipe name: wiped under its own, as a last resort.
            wipePath = path;
            break;
        case Moved::kReplaced:
            return DeleteOutcome::kReplaced;
        case Moved::kFailed:
            return DeleteOutcome::kFailed;
    }
    if (!OverwriteAll(file, kPasses, 0)) {
        return DeleteOutcome::kFailed;  // partly overwritten: stays a leftover
    }
    // Each overwrite was flushed: a late error of the close concerns none.
    return RemoveHeldStep(file, wipePath.c_str()) ? DeleteOutcome::kDeleted
                                                  : DeleteOutcome::kFailed;
}

bool SecureDelete(const char* path) {
    return SecureDestroy(path) == DeleteOutcome::kDeleted;
}

bool WipeOpenFile(FileHandle& file) {
    return OverwriteAll(file, kPasses, 0);
}

bool WipeOpenFileOnce(FileHandle& file) {
    return OverwriteAll(file, 1, 2);
}

LeftoverFinish FinishLeftoverFile(const char* path) {
    // Wiped where it lies: the name already says what it is. A file that
    // must not be overwritten (other names, a link) loses only this name.
    switch (backend::MakeWritable(path)) {
        case backend::Wipeable::kMissing:
            return LeftoverFinish::kPassedOver;  // finished meanwhile by another run
        case backend::Wipeable::kHardLinked:
        case backend::Wipeable::kRefused:
            (void)RemoveStep(path);
            return LeftoverFinish::kFailed;
        case backend::Wipeable::kYes:
            break;
    }
    FileHandle file;
    switch (file.OpenForWipe(path)) {
        case FileHandle::Hold::kBusy:
            // A live run's file in flight, not a leftover: its run places
            // or destroys it.
            return LeftoverFinish::kPassedOver;
        case FileHandle::Hold::kFailed:
            (void)RemoveStep(path);
            return LeftoverFinish::kFailed;
        case FileHandle::Hold::kHeld:
            break;
    }
    // Checked on the open handle, so no name can be linked in between.
    const bool wiped = file.LinkCount() == 1 && OverwriteAll(file, kPasses, 0);
    return RemoveHeldStep(file, path) && wiped ? LeftoverFinish::kFinished
                                               : LeftoverFinish::kFailed;
}

bool FinishLeftover(const char* path) {
    return FinishLeftoverFile(path) != LeftoverFinish::kFailed;
}

bool SecureDeleteTemporary(const char* path) {
    if (SecureDelete(path)) {
        return true;
    }
    // Removing a name never harms the file's other names, so this holds for a
    // temporary file that someone linked elsewhere too.
    backend::RemoveName(path);
    return false;
}

}  // namespace zorv
