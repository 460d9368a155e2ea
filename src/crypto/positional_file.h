// What the parallel transforms need of a file: reads and writes at offsets,
// made by several threads at once. zorv-cli's files provide it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zorv {

// An open file that several threads read and write at offsets of their own.
class PositionalFile {
public:
    virtual ~PositionalFile() = default;
    // Reads exactly n bytes at offset; false on an error or when the file
    // ends first.
    virtual bool ReadAt(uint64_t offset, void* buffer, size_t n) const = 0;
    // Writes exactly n bytes at offset; false on any error (a full disk).
    virtual bool WriteAt(uint64_t offset, const void* buffer, size_t n) const = 0;
    // Starts writing [offset, offset + n) to the disk without waiting, so a
    // final flush has little left to do. A hint; no result.
    virtual void StartWriteBack(uint64_t offset, uint64_t n) const = 0;
};

}  // namespace zorv
