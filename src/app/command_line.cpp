#include "app/command_line.h"

#include <cstring>

#include "app/dbcs.h"
#include "app/file_system.h"
#include "app/path_utils.h"

namespace zorv {
namespace {

// The end of an item that runs to the first `stop` character (or the end of
// the text), stepping over double-byte characters as units.
const char* ScanTo(const char* p, char stop) {
    while (*p != '\0' && !(!IsLeadByte(*p) && *p == stop)) {
        p = NextCharacter(p);
    }
    return p;
}

// The text an item stands for: resolved into buffer when it fits a path,
// otherwise the raw text itself. Sets *length to its length.
const char* ResolveItem(const char* begin, std::size_t rawLength, char* buffer,
                        std::size_t* length) {
    if (rawLength >= kMaxPath) {
        *length = rawLength;
        return begin;
    }
    std::memcpy(buffer, begin, rawLength);
    buffer[rawLength] = '\0';
    ResolveFoundName(buffer, buffer);
    *length = std::strlen(buffer);
    return buffer;
}

// The items of a command line, each resolved as SplitCommandLine says.
class CommandLineItems : public NameSource {
public:
    explicit CommandLineItems(const char* text) : text_(text), cursor_(text) {}

    void Restart() override { cursor_ = text_; }
    bool Next(char* out, std::size_t room, std::size_t* length) override {
        const char* begin = nullptr;
        std::size_t rawLength = 0;
        if (!NextCommandLineItem(&cursor_, &begin, &rawLength)) {
            return false;
        }
        const char* item = ResolveItem(begin, rawLength, resolved_, length);
        if (out != nullptr) {
            if (*length + 1 > room) {
                *length = room - 1;
            }
            std::memcpy(out, item, *length);
            out[*length] = '\0';
        }
        return true;
    }

private:
    const char* text_;
    const char* cursor_;
    char resolved_[kMaxPath] = {};
};

}  // namespace

bool NextCommandLineItem(const char** cursor, const char** begin, std::size_t* length) {
    const char* p = *cursor;
    while (*p == ' ') {
        ++p;
    }
    if (*p == '\0') {
        *cursor = p;
        return false;
    }
    const char* end;
    if (*p == '"') {
        *begin = p + 1;
        end = ScanTo(*begin, '"');
        *cursor = *end == '"' ? end + 1 : end;
    } else {
        *begin = p;
        end = ScanTo(p, ' ');
        *cursor = end;
    }
    *length = static_cast<std::size_t>(end - *begin);
    return true;
}

FileList SplitCommandLine(const char* text) {
    CommandLineItems items(text);
    return FillFileList(items);
}

}  // namespace zorv
