#include "crypto/secure_delete.h"

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <random>

#include "crypto/file_handle.h"
#include "crypto/secure_delete_backend.h"

namespace zorv {
namespace {

constexpr int kPasses = 8;
constexpr size_t kPieceBytes = 4096;

// Writes the first min(4096, remaining) bytes of the pattern again and again
// from offset 0 until `size` bytes have been overwritten.
bool OverwriteOnce(FileHandle& file, const uint8_t* pattern, uint64_t size) {
    if (!file.Rewind()) {
        return false;
    }
    uint64_t remaining = size;
    while (remaining > 0) {
        const size_t piece = remaining < kPieceBytes ? static_cast<size_t>(remaining) : kPieceBytes;
        const size_t written = file.Write(pattern, piece);
        if (written != piece) {
            return false;
        }
        remaining -= written;
    }
    return true;
}

void FillRandom(uint8_t* buffer) {
    // A generator of our own, seeded with the time in seconds, rather than the
    // process-wide rand(): deletion may run on a worker thread.
    std::mt19937 generator(static_cast<uint32_t>(std::time(nullptr)));
    for (size_t i = 0; i < kPieceBytes; ++i) {
        buffer[i] = static_cast<uint8_t>(generator());
    }
}

}  // namespace

bool WipeFile(const char* path) {
    FileHandle file;
    if (!file.OpenForOverwrite(path)) {
        return false;
    }
    const int64_t size = file.Size();
    if (size < 0) {
        return false;
    }
    // The buffer only ever holds the patterns, never file contents, so it is
    // not cleared afterwards.
    uint8_t buffer[kPieceBytes];
    for (int pass = 0; pass < kPasses; ++pass) {
        for (int overwrite = 0; overwrite < 3; ++overwrite) {
            if (overwrite == 2) {
                FillRandom(buffer);
            } else {
                std::fill(buffer, buffer + kPieceBytes, overwrite == 0 ? 0xAA : 0x55);
            }
            if (!OverwriteOnce(file, buffer, static_cast<uint64_t>(size))) {
                return false;
            }
        }
    }
    return file.Close();
}

bool SecureDelete(const char* path) {
    if (!backend::MakeWritable(path)) {
        return false;
    }
    if (!WipeFile(path)) {
        return false;
    }
    return backend::RemoveFile(path);
}

}  // namespace zorv
