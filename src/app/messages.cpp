#include "app/messages.h"

#include <cstdio>
#include <cstring>

#include "app/dbcs.h"
#include "app/module_instance.h"

namespace zorv {
namespace {

constexpr int kShowBufferSize = 256;
constexpr int kTextBufferSize = 512;

// Loads string id into buffer (cut to size - 1 bytes); "" when it is
// missing. A cut that splits a double-byte character drops its lone lead
// byte, so the text never ends in half a character.
void LoadInto(int id, char* buffer, int size) {
    buffer[0] = '\0';
    const int length = LoadStringA(ModuleInstance(), static_cast<UINT>(id), buffer, size);
    if (length <= 0) {
        buffer[0] = '\0';
        return;
    }
    char* p = buffer;
    while (*p != '\0') {
        char* next = NextCharacter(p);
        if (IsLeadByte(*p) && next == p + 1) {
            *p = '\0';  // a lead byte whose second byte was cut off
            break;
        }
        p = next;
    }
}

}  // namespace

void ShowMessage(HWND owner, int id, UINT style) {
    char text[kShowBufferSize] = {};
    LoadInto(id, text, kShowBufferSize);
    MessageBoxA(owner, text, kMessageCaption, style);
}

void FormatPathMessage(int id, const char* path, char* out, std::size_t size) {
    char format[kTextBufferSize] = {};
    LoadInto(id, format, kTextBufferSize);
    const char* slot = std::strstr(format, "%s");
    if (slot == nullptr) {
        std::snprintf(out, size, "%s", format);
        return;
    }
    std::snprintf(out, size, "%.*s%s%s", static_cast<int>(slot - format), format, path, slot + 2);
}

void CopyText(int id, char* out, std::size_t size) {
    if (size > 0) {
        LoadInto(id, out, static_cast<int>(size));
    }
}

void ShowMessageWithPath(HWND owner, int id, const char* path, UINT style) {
    char text[kTextBufferSize + 2 * MAX_PATH] = {};
    FormatPathMessage(id, path, text, sizeof text);
    MessageBoxA(owner, text, kMessageCaption, style);
}

const char* LoadText(int id) {
    static char buffer[kTextBufferSize];
    LoadInto(id, buffer, kTextBufferSize);
    return buffer;
}

}  // namespace zorv
