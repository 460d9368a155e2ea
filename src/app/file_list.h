// FileList: the paths handed from the program entry to the front-end
// dialogs. One block from the global allocator (GlobalAlloc, zero-filled)
// holds count pointers followed by the count NUL-terminated ANSI strings they
// point to, in list order; the count is kept beside the block.
#pragma once

#include <windows.h>

#include <cstddef>

namespace zorv {

class FileList {
public:
    FileList() = default;
    ~FileList();
    FileList(FileList&& other) noexcept;
    FileList& operator=(FileList&& other) noexcept;
    FileList(const FileList&) = delete;
    FileList& operator=(const FileList&) = delete;

    // A zero-filled block for count pointers followed by textBytes bytes of
    // strings. Invalid (no block, count 0) when the allocation fails.
    static FileList Allocate(int count, std::size_t textBytes);

    bool IsValid() const { return block_ != nullptr; }
    int Count() const { return count_; }
    // The pointer array: Count() entries; null when invalid.
    char** Items() const { return static_cast<char**>(block_); }
    // Where the strings start, right after the pointer array.
    char* Text() const;
    // Item i (0 <= i < Count()).
    const char* Item(int i) const { return Items()[i]; }
    // Bytes of the whole block.
    std::size_t BlockSize() const { return size_; }

private:
    void Free();

    void* block_ = nullptr;
    int count_ = 0;
    std::size_t size_ = 0;
};

}  // namespace zorv
