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
    char resolved[kMaxPath];
    // First pass: count the items and measure their resolved texts.
    int count = 0;
    std::size_t textBytes = 0;
    const char* cursor = text;
    const char* begin = nullptr;
    std::size_t rawLength = 0;
    while (NextCommandLineItem(&cursor, &begin, &rawLength)) {
        std::size_t length = 0;
        ResolveItem(begin, rawLength, resolved, &length);
        textBytes += length + 1;
        ++count;
    }
    FileList list = FileList::Allocate(count, textBytes);
    if (!list.IsValid()) {
        return list;
    }
    // Second pass: the same items again, written after the pointer array.
    // The directory may change between the passes, so each copy is bounded by
    // the room the first pass measured and never runs past the block.
    char* out = list.Text();
    std::size_t room = textBytes;
    cursor = text;
    for (int i = 0; i < count && NextCommandLineItem(&cursor, &begin, &rawLength); ++i) {
        std::size_t length = 0;
        const char* item = ResolveItem(begin, rawLength, resolved, &length);
        if (room == 0) {
            list.Items()[i] = out - 1;  // the previous terminator: an empty item
            continue;
        }
        if (length + 1 > room) {
            length = room - 1;
        }
        std::memcpy(out, item, length);
        out[length] = '\0';
        list.Items()[i] = out;
        out += length + 1;
        room -= length + 1;
    }
    return list;
}

}  // namespace zorv
