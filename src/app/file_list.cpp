#include "app/file_list.h"

#include <new>

namespace zorv {

FileList::~FileList() {
    Free();
}

FileList::FileList(FileList&& other) noexcept
    : refused_(std::move(other.refused_)),
      block_(other.block_),
      count_(other.count_),
      size_(other.size_) {
    other.block_ = nullptr;
    other.count_ = 0;
    other.size_ = 0;
}

FileList& FileList::operator=(FileList&& other) noexcept {
    if (this != &other) {
        Free();
        refused_ = std::move(other.refused_);
        block_ = other.block_;
        count_ = other.count_;
        size_ = other.size_;
        other.block_ = nullptr;
        other.count_ = 0;
        other.size_ = 0;
    }
    return *this;
}

FileList FileList::Allocate(int count, std::size_t textBytes) {
    FileList list;
    if (count < 0) {
        return list;
    }
    std::size_t size = static_cast<std::size_t>(count) * sizeof(char*) + textBytes;
    // GPTR: fixed memory, so the handle is the block's address. A zero-byte
    // request (an empty clipboard list) still yields a valid block.
    list.block_ = GlobalAlloc(GPTR, size == 0 ? 1 : size);
    if (list.block_ != nullptr) {
        list.count_ = count;
        list.size_ = size;
    }
    return list;
}

char* FileList::Text() const {
    return block_ == nullptr
               ? nullptr
               : static_cast<char*>(block_) + static_cast<std::size_t>(count_) * sizeof(char*);
}

FileRange FileList::Range(int first, int count) const {
    FileRange range;
    range.paths = Items() + first;
    range.refused = refused_ ? refused_.get() + first : nullptr;
    range.count = count;
    return range;
}

bool FileList::MarkRefused(int i) {
    if (!refused_) {
        refused_.reset(new (std::nothrow) bool[static_cast<std::size_t>(count_)]());
        if (!refused_) {
            return false;
        }
    }
    refused_[static_cast<std::size_t>(i)] = true;
    return true;
}

void FileList::Free() {
    refused_.reset();
    if (block_ != nullptr) {
        GlobalFree(block_);
        block_ = nullptr;
        count_ = 0;
        size_ = 0;
    }
}

FileList FillFileList(NameSource& source) {
    int count = 0;
    std::size_t textBytes = 0;
    std::size_t length = 0;
    source.Restart();
    while (source.Next(nullptr, 0, &length)) {
        textBytes += length + 1;
        ++count;
    }
    FileList list = FileList::Allocate(count, textBytes);
    if (!list.IsValid()) {
        return list;
    }
    char* out = list.Text();
    std::size_t room = textBytes;
    source.Restart();
    for (int i = 0; i < count; ++i) {
        const bool full = room == 0;
        if (!source.Next(full ? nullptr : out, room, &length)) {
            break;
        }
        if (source.Refused() && !list.MarkRefused(i)) {
            return FileList();
        }
        if (full) {
            list.Items()[i] = out - 1;  // the previous terminator: an empty item
            continue;
        }
        list.Items()[i] = out;
        out += length + 1;
        room -= length + 1;
    }
    return list;
}

}  // namespace zorv
