// Code page 932 through the system's tables.
#include <windows.h>

#include "crypto/code_page_backend.h"
#include "crypto/secure_zero.h"

namespace zorv {
namespace backend {
namespace {

// c as UTF-16: one unit or a surrogate pair; returns the number of units.
int ToUtf16(char32_t c, wchar_t units[2]) {
    if (c < 0x10000) {
        units[0] = static_cast<wchar_t>(c);
        return 1;
    }
    const char32_t offset = c - 0x10000;
    units[0] = static_cast<wchar_t>(0xD800 + (offset >> 10));
    units[1] = static_cast<wchar_t>(0xDC00 + (offset & 0x3FF));
    return 2;
}

}  // namespace

std::size_t EncodeCp932(char32_t c, unsigned char out[2]) {
    wchar_t units[2];
    const int count = ToUtf16(c, units);
    char bytes[4];
    BOOL usedDefault = FALSE;
    const int length = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, units, count, bytes,
                                           sizeof bytes, nullptr, &usedDefault);
    const bool one = length > 0 && length <= 2 && !usedDefault;
    if (one) {
        out[0] = static_cast<unsigned char>(bytes[0]);
        out[1] = static_cast<unsigned char>(length == 2 ? bytes[1] : 0);
    }
    // A password's characters pass through here: the copies are cleared.
    SecureZero(units, sizeof units);
    SecureZero(bytes, sizeof bytes);
    return one ? static_cast<std::size_t>(length) : 0;
}

char32_t DecodeCp932(const unsigned char* bytes, std::size_t length) {
    wchar_t units[2];
    const int count =
        MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(bytes),
                            static_cast<int>(length), units, 2);
    const char32_t c = count == 1 ? static_cast<char32_t>(units[0]) : 0;
    SecureZero(units, sizeof units);
    return c;
}

}  // namespace backend
}  // namespace zorv
