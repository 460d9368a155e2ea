#include "program/clipboard_list.h"

#include <shellapi.h>

#include <cstring>
#include <new>

#include "app/exact_name.h"

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

// The names of a file drop, without the empty ones, each asked in its wide
// form and converted as exact_name.h says.
class DropNames : public NameSource {
public:
    explicit DropNames(HDROP drop)
        : drop_(drop), names_(DragQueryFileW(drop, kCountQuery, nullptr, 0)) {}
    ~DropNames() override { delete[] wide_; }

    void Restart() override { next_ = 0; }
    bool Next(char* out, std::size_t room, std::size_t* length) override {
        while (next_ < names_) {
            const UINT index = next_++;
            if (!ReadName(index)) {
                continue;
            }
            refused_ = !HasExactAnsiForm(wide_, -1);
            if (out == nullptr) {
                *length = static_cast<std::size_t>(ToAnsiName(wide_, -1, nullptr, 0));
            } else if (!CopyName(out, room, length)) {
                continue;
            }
            return true;
        }
        return false;
    }
    bool Refused() const override { return refused_; }

private:
    // Reads name index into wide_; false for an empty name or no memory.
    bool ReadName(UINT index) {
        const UINT whole = DragQueryFileW(drop_, index, nullptr, 0);
        if (whole == 0) {
            return false;
        }
        delete[] wide_;
        wide_ = new (std::nothrow) wchar_t[whole + 1];
        return wide_ != nullptr && DragQueryFileW(drop_, index, wide_, whole + 1) == whole;
    }

    // The ANSI form into out (room bytes), cut to fit as FillFileList allows.
    bool CopyName(char* out, std::size_t room, std::size_t* length) {
        const int size = ToAnsiName(wide_, -1, nullptr, 0) + 1;
        const auto bytes = static_cast<std::size_t>(size);
        char* ansi = new (std::nothrow) char[bytes];
        if (ansi == nullptr) {
            return false;
        }
        ToAnsiName(wide_, -1, ansi, size);
        *length = static_cast<std::size_t>(size - 1);
        if (*length + 1 > room) {
            *length = room - 1;
        }
        std::memcpy(out, ansi, *length);
        out[*length] = '\0';
        delete[] ansi;
        return true;
    }

    HDROP drop_;
    UINT names_;
    UINT next_ = 0;
    wchar_t* wide_ = nullptr;
    bool refused_ = false;
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
