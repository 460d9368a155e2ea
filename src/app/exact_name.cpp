#include "app/exact_name.h"

#include <cwchar>
#include <new>

namespace zorv {
namespace {

// Longer than any character's form in a code page (two bytes for 932).
constexpr int kCharacterBytes = 8;

bool IsHighSurrogate(wchar_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(wchar_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Converts text (length wide characters, length > 0) into bytes (capacity
// bytes) and back into back (room for length wide characters). Returns the
// number of bytes when the round trip gives the same text without a best-fit
// mapping or the default character, else 0.
int ConvertExactly(const wchar_t* text, int length, char* bytes, int capacity, wchar_t* back) {
    BOOL usedDefault = FALSE;
    const int count = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, length, bytes,
                                          capacity, nullptr, &usedDefault);
    if (count <= 0 || usedDefault) {
        return 0;
    }
    const int backLength =
        MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes, count, back, length);
    const bool same =
        backLength == length && std::wmemcmp(back, text, static_cast<std::size_t>(length)) == 0;
    return same ? count : 0;
}

}  // namespace

bool HasExactAnsiForm(const wchar_t* name, int length) {
    if (length < 0) {
        length = static_cast<int>(std::wcslen(name));
    }
    if (length == 0) {
        return true;
    }
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name, length, nullptr, 0,
                                         nullptr, nullptr);
    if (size <= 0) {
        return false;
    }
    const auto byteCount = static_cast<std::size_t>(size);
    const auto wideCount = static_cast<std::size_t>(length);
    char* bytes = new (std::nothrow) char[byteCount];
    wchar_t* back = new (std::nothrow) wchar_t[wideCount];
    const bool exact = bytes != nullptr && back != nullptr &&
                       ConvertExactly(name, length, bytes, size, back) == size;
    delete[] bytes;
    delete[] back;
    return exact;
}

int ToAnsiName(const wchar_t* name, int length, char* output, int capacity) {
    if (length < 0) {
        length = static_cast<int>(std::wcslen(name));
    }
    int written = 0;
    for (int i = 0; i < length;) {
        // A surrogate pair is one character; a lone surrogate has no form.
        const int units =
            IsHighSurrogate(name[i]) && i + 1 < length && IsLowSurrogate(name[i + 1]) ? 2 : 1;
        char bytes[kCharacterBytes];
        wchar_t back[2];
        int count = ConvertExactly(name + i, units, bytes, kCharacterBytes, back);
        if (count == 0) {
            bytes[0] = '?';
            count = 1;
        }
        if (output != nullptr) {
            if (written + count >= capacity) {
                return -1;
            }
            for (int b = 0; b < count; ++b) {
                output[written + b] = bytes[b];
            }
        }
        written += count;
        i += units;
    }
    if (output != nullptr) {
        if (capacity <= written) {
            return -1;
        }
        output[written] = '\0';
    }
    return written;
}

}  // namespace zorv
