#include "program/command_line.h"

#include <cstring>

#include "app/exact_name.h"
#include "app/file_system.h"
#include "app/path_utils.h"

namespace zorv {
namespace {

// The end of an item that runs to the first `stop` character (or the end of
// the text).
const wchar_t* ScanTo(const wchar_t* p, wchar_t stop) {
    while (*p != L'\0' && *p != stop) {
        ++p;
    }
    return p;
}

// The items of a command line, each converted and resolved as
// SplitCommandLine says. An item's ANSI text is made on the heap, since a
// command line item may be of any length.
class CommandLineItems : public NameSource {
public:
    explicit CommandLineItems(const wchar_t* text) : text_(text), cursor_(text) {}
    ~CommandLineItems() override { delete[] ansi_; }

    void Restart() override { cursor_ = text_; }
    bool Next(char* out, std::size_t room, std::size_t* length) override {
        const wchar_t* begin = nullptr;
        std::size_t rawLength = 0;
        if (!NextCommandLineItem(&cursor_, &begin, &rawLength)) {
            return false;
        }
        const char* item = Convert(begin, static_cast<int>(rawLength), length);
        if (out != nullptr) {
            if (*length + 1 > room) {
                *length = room - 1;
            }
            std::memcpy(out, item, *length);
            out[*length] = '\0';
        }
        return true;
    }
    bool Refused() const override { return refused_; }

private:
    // The item's ANSI text: its shown form when it has no exact one, else
    // the text ResolveItem makes of it. "" when there is no memory for it.
    const char* Convert(const wchar_t* begin, int rawLength, std::size_t* length) {
        refused_ = !HasExactAnsiForm(begin, rawLength);
        delete[] ansi_;
        const int size = ToAnsiName(begin, rawLength, nullptr, 0) + 1;
        const auto bytes = static_cast<std::size_t>(size);
        ansi_ = new (std::nothrow) char[bytes];
        if (ansi_ == nullptr) {
            refused_ = true;  // nothing to act on: shown empty and refused
            *length = 0;
            return "";
        }
        ToAnsiName(begin, rawLength, ansi_, size);
        *length = static_cast<std::size_t>(size - 1);
        return refused_ ? ansi_ : ResolveItem(length);
    }

    // The resolved text when it fits a path, otherwise the text itself.
    const char* ResolveItem(std::size_t* length) {
        if (*length >= kMaxPath) {
            return ansi_;
        }
        std::memcpy(resolved_, ansi_, *length + 1);
        bool inexact = false;
        ResolveFoundName(resolved_, resolved_, &inexact);
        refused_ = inexact;
        *length = std::strlen(resolved_);
        return resolved_;
    }

    const wchar_t* text_;
    const wchar_t* cursor_;
    char* ansi_ = nullptr;
    bool refused_ = false;
    char resolved_[kMaxPath] = {};
};

}  // namespace

bool NextCommandLineItem(const wchar_t** cursor, const wchar_t** begin, std::size_t* length) {
    const wchar_t* p = *cursor;
    while (*p == L' ') {
        ++p;
    }
    if (*p == L'\0') {
        *cursor = p;
        return false;
    }
    const wchar_t* end;
    if (*p == L'"') {
        *begin = p + 1;
        end = ScanTo(*begin, L'"');
        *cursor = *end == L'"' ? end + 1 : end;
    } else {
        *begin = p;
        end = ScanTo(p, L' ');
        *cursor = end;
    }
    *length = static_cast<std::size_t>(end - *begin);
    return true;
}

FileList SplitCommandLine(const wchar_t* text) {
    CommandLineItems items(text);
    return FillFileList(items);
}

}  // namespace zorv
