// FileList: the paths handed from the program entry to the front-end
// dialogs. One block from the global allocator (GlobalAlloc, zero-filled)
// holds count pointers followed by the count NUL-terminated ANSI strings they
// point to, in list order; the count is kept beside the block. Beside the
// block, the list marks the names it refused: names whose real (wide) form
// has no exact ANSI form, which the list holds only as shown text.
#pragma once

#include <windows.h>

#include <cstddef>
#include <memory>

namespace zorv {

// Some paths of a FileList, as a dialog borrows them.
struct FileRange {
    const char* const* paths = nullptr;
    // Per path: the name was refused (see NameSource::Refused); its text is
    // only to be shown, never used as a path. Null when none was refused.
    const bool* refused = nullptr;
    int count = 0;

    bool IsRefused(int i) const { return refused != nullptr && refused[i]; }
};

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
    // Item i was refused (see FileRange).
    bool IsRefused(int i) const {
        return refused_ != nullptr && refused_[static_cast<std::size_t>(i)];
    }
    // Per item, or null when no item was refused.
    const bool* RefusedFlags() const { return refused_.get(); }
    // count items from first (0 <= first, first + count <= Count()).
    FileRange Range(int first, int count) const;
    // Marks item i as refused; false when there is no memory for the marks.
    bool MarkRefused(int i);

private:
    void Free();

    std::unique_ptr<bool[]> refused_;
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
    // The name Next returned last has no exact ANSI form: what it wrote is
    // the name's shown form (exact_name.h), never to be used as a path.
    virtual bool Refused() const { return false; }
};

// The names of source in one block, in source order: a first pass counts and
// measures them, a second copies them. The names may change between the
// passes, so each copy is bounded by the room the first pass measured: a
// longer name is cut, a name with no room left becomes empty, and items for
// which no name comes are null. Names the source refused in the second pass
// are marked. Invalid (count 0) when the block or the marks cannot be
// allocated.
FileList FillFileList(NameSource& source);

}  // namespace zorv
