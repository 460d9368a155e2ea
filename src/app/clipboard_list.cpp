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

// The names of a file drop, without the empty ones.
class DropNames : public NameSource {
public:
    explicit DropNames(HDROP drop)
        : drop_(drop), names_(DragQueryFileA(drop, kCountQuery, nullptr, 0)) {}

    void Restart() override { next_ = 0; }
    bool Next(char* out, std::size_t room, std::size_t* length) override {
        while (next_ < names_) {
            const UINT index = next_++;
            const UINT whole = DragQueryFileA(drop_, index, nullptr, 0);
            if (whole == 0) {
                continue;
            }
            *length =
                out == nullptr ? whole : DragQueryFileA(drop_, index, out, static_cast<UINT>(room));
            return true;
        }
        return false;
    }

private:
    HDROP drop_;
    UINT names_;
    UINT next_ = 0;
};

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
    DropNames names(drop);
    return FillFileList(names);
}

}  // namespace zorv
