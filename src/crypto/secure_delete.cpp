#include "crypto/secure_delete.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>
#include <random>

#include "crypto/file_handle.h"
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

enum class WipeResult { kWiped, kHardLinked, kReplaced, kFailed };

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

// The overwrites are numbered 0 (0xAA), 1 (0x55), 2 (random) within a pass.
WipeResult Wipe(const char* path, int passes, int firstOverwrite, const FileIdentity* expected) {
    FileHandle file;
    if (!file.OpenForOverwrite(path)) {
        return WipeResult::kFailed;
    }
    if (!IsExpected(file, expected)) {
        return WipeResult::kReplaced;
    }
    // Checked on the open handle, so no name can be linked in between.
    const int64_t links = file.LinkCount();
    if (links > 1) {
        return WipeResult::kHardLinked;
    }
    const int64_t size = file.Size();
    if (links < 0 || size < 0) {
        return WipeResult::kFailed;
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
        return WipeResult::kFailed;
    }
    for (int pass = 0; pass < passes; ++pass) {
        for (int overwrite = firstOverwrite; overwrite < 3; ++overwrite) {
            FillPiece(piece.get(), pieceBytes, overwrite);
            if (!OverwriteOnce(file, piece.get(), pieceBytes, static_cast<uint64_t>(size))) {
                return WipeResult::kFailed;
            }
        }
    }
    return file.Close() ? WipeResult::kWiped : WipeResult::kFailed;
}

}  // namespace

bool WipeFile(const char* path) {
    return Wipe(path, kPasses, 0, nullptr) == WipeResult::kWiped;
}

bool WipeOnceAndDelete(const char* path) {
    (void)Wipe(path, 1, 2, nullptr);
    return backend::RemoveFile(path);
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
            break;
        case backend::Wipeable::kYes:
            break;
    }
    switch (Wipe(path, kPasses, 0, expected)) {
        case WipeResult::kHardLinked:
            return DeleteOutcome::kHardLinked;
        case WipeResult::kReplaced:
            return DeleteOutcome::kReplaced;
        case WipeResult::kFailed:
            return DeleteOutcome::kFailed;
        case WipeResult::kWiped:
            break;
    }
    return backend::RemoveFile(path) ? DeleteOutcome::kDeleted : DeleteOutcome::kFailed;
}

bool SecureDelete(const char* path) {
    return SecureDestroy(path) == DeleteOutcome::kDeleted;
}

bool SecureDeleteTemporary(const char* path) {
    if (SecureDelete(path)) {
        return true;
    }
    // Removing a name never harms the file's other names, so this holds for a
    // temporary file that someone linked elsewhere too.
    backend::RemoveFile(path);
    return false;
}

}  // namespace zorv
