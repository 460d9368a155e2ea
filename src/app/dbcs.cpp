#include "app/dbcs.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace zorv {

#ifdef _WIN32

bool IsLeadByte(char c) {
    return IsDBCSLeadByte(static_cast<BYTE>(c)) != FALSE;
}

const char* NextCharacter(const char* p) {
    // CharNextA stops at the terminator and does not step over a NUL that
    // follows a lead byte.
    return CharNextA(p);
}

#else

bool IsLeadByte(char c) {
    // Code page 932 (Shift_JIS as Windows extends it).
    const auto byte = static_cast<unsigned char>(c);
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

const char* NextCharacter(const char* p) {
    if (*p == '\0') {
        return p;
    }
    if (IsLeadByte(*p) && p[1] != '\0') {
        return p + 2;
    }
    return p + 1;
}

#endif

char* NextCharacter(char* p) {
    return p + (NextCharacter(static_cast<const char*>(p)) - p);
}

}  // namespace zorv
