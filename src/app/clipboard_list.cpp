#include "app/clipboard_list.h"

#include <shellapi.h>

namespace zorv {
namespace {

// Holds the clipboard open for this thread; closes it on destruction.
class ScopedClipboard {
public:
    ScopedClipboard() : open_(OpenClipboard(nullptr) != 0) {}
    ~ScopedClipboard() {
        if (open_) {
            CloseClipboard();
        }
    }
    ScopedClipboard(const ScopedClipboard&) = delete;
    ScopedClipboard& operator=(const ScopedClipboard&) = delete;

    bool IsOpen() const { return open_; }

private:
    bool open_;
};

constexpr UINT kCountQuery = 0xFFFFFFFF;

}  // namespace

FileList ReadClipboardFileList() {
    if (!IsClipboardFormatAvailable(CF_HDROP)) {
        return FileList();
    }
    ScopedClipboard clipboard;
    if (!clipboard.IsOpen()) {
        return FileList();
    }
    auto drop = static_cast<HDROP>(GetClipboardData(CF_HDROP));
    if (drop == nullptr) {
        return FileList();
    }
    UINT names = DragQueryFileA(drop, kCountQuery, nullptr, 0);
    int count = 0;
    std::size_t textBytes = 0;
    for (UINT i = 0; i < names; ++i) {
        UINT length = DragQueryFileA(drop, i, nullptr, 0);
        if (length > 0) {
            textBytes += length + 1;
            ++count;
        }
    }
    FileList list = FileList::Allocate(count, textBytes);
    if (!list.IsValid()) {
        return list;
    }
    char* out = list.Text();
    std::size_t room = textBytes;
    int filled = 0;
    for (UINT i = 0; i < names && filled < count; ++i) {
        UINT length = DragQueryFileA(drop, i, out, static_cast<UINT>(room));
        if (length == 0) {
            continue;
        }
        list.Items()[filled++] = out;
        out += length + 1;
        room -= length + 1;
    }
    return list;
}

}  // namespace zorv
