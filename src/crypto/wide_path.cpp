#include "crypto/wide_path.h"

#include <atomic>

namespace zorv {
namespace {

std::atomic<bool> utf8Paths{false};

void AppendUtf8(std::string* out, char32_t code) {
    if (code < 0x80) {
        *out += static_cast<char>(code);
        return;
    }
    if (code < 0x800) {
        *out += static_cast<char>(0xC0 | (code >> 6));
    } else if (code < 0x10000) {
        *out += static_cast<char>(0xE0 | (code >> 12));
        *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    } else {
        *out += static_cast<char>(0xF0 | (code >> 18));
        *out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    }
    *out += static_cast<char>(0x80 | (code & 0x3F));
}

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

std::size_t Utf8SequenceAt(const std::string& text, std::size_t i) {
    auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = lead < 0x80                    ? 1
                         : lead >= 0xC2 && lead <= 0xDF ? 2
                         : lead >= 0xE0 && lead <= 0xEF ? 3
                         : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                        : 0;
    if (length == 0 || i + length > text.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
            return 0;
        }
    }
    auto second = static_cast<unsigned char>(text[i + 1]);
    // Overlong forms, surrogates and code points past U+10FFFF.
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F)) {
        return 0;
    }
    return length;
}

bool Utf8ToUtf16(const std::string& text, std::u16string* utf16) {
    static const unsigned char kLeadBits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    utf16->clear();
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        std::size_t length = Utf8SequenceAt(text, i);
        if (length == 0 || text[i] == '\0') {
            return false;
        }
        char32_t code = static_cast<unsigned char>(text[i]) & kLeadBits[length];
        for (std::size_t k = 1; k < length; ++k) {
            code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (code >> 10));
            out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        } else {
            out += static_cast<char16_t>(code);
        }
        i += length;
    }
    *utf16 = std::move(out);
    return true;
}

std::string Utf16ToUtf8(const char16_t* units, std::size_t n, bool* exact) {
    std::string out;
    out.reserve(n);
    *exact = true;
    for (std::size_t i = 0; i < n; ++i) {
        char32_t code = units[i];
        if (IsHighSurrogate(units[i]) && i + 1 < n && IsLowSurrogate(units[i + 1])) {
            code = 0x10000 + ((code - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        } else if (IsHighSurrogate(units[i]) || IsLowSurrogate(units[i])) {
            *exact = false;
        }
        AppendUtf8(&out, code);
    }
    return out;
}

void UseUtf8Paths() {
    utf8Paths.store(true);
}

bool Utf8PathsInUse() {
    return utf8Paths.load(std::memory_order_relaxed);
}

}  // namespace zorv
