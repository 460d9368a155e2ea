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

// Names that FillFileList reads twice, once to measure and once to copy.
class NameSource {
public:
    NameSource() = default;
    virtual ~NameSource() = default;
    NameSource(const NameSource&) = delete;
    NameSource& operator=(const NameSource&) = delete;

    // Goes back to the first name.
    virtual void Restart() = 0;
    // Steps to the next name; false at the end. Without out, *length is the
    // name's length; with out, at most room - 1 bytes of it and a NUL are
    // copied there (room > 0) and *length is the count copied.
    virtual bool Next(char* out, std::size_t room, std::size_t* length) = 0;
};

// The names of source in one block, in source order: a first pass counts and
// measures them, a second copies them. The names may change between the
// passes, so each copy is bounded by the room the first pass measured: a
// longer name is cut, a name with no room left becomes empty, and items for
// which no name comes are null. Invalid (count 0) when the block cannot be
// allocated.
FileList FillFileList(NameSource& source);

}  // namespace zorv
