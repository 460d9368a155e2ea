#include "cli/password_key.h"

#include <cstdint>

#include "crypto/secure_zero.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace zorv {
namespace {

// Code points that Japanese systems other than Windows produce for
// characters whose code page 932 byte pair Windows maps to another code
// point. Each pair: the variant, the Windows form.
constexpr char32_t kVariantForms[][2] = {
    {0x301C, 0xFF5E},  // wave dash -> full-width tilde
    {0x2016, 0x2225},  // double vertical line -> parallel to
    {0x2212, 0xFF0D},  // minus sign -> full-width hyphen-minus
    {0x00A2, 0xFFE0},  // cent sign
    {0x00A3, 0xFFE1},  // pound sign
    {0x00AC, 0xFFE2},  // not sign
};

char32_t WindowsForm(char32_t c) {
    for (const auto& pair : kVariantForms) {
        if (pair[0] == c) {
            return pair[1];
        }
    }
    return c;
}

// The length of the UTF-8 sequence that starts with lead; 0 when lead
// cannot start one.
std::size_t SequenceLength(unsigned char lead) {
    if (lead < 0x80) {
        return 1;
    }
    if ((lead & 0xE0) == 0xC0) {
        return 2;
    }
    if ((lead & 0xF0) == 0xE0) {
        return 3;
    }
    return (lead & 0xF8) == 0xF0 ? 4 : 0;
}

// Decodes one UTF-8 sequence at text[*pos]; false on malformed input
// (overlong forms, surrogates and values past U+10FFFF included).
bool DecodeUtf8(const unsigned char* text, std::size_t size, std::size_t* pos, char32_t* out) {
    unsigned char lead = text[*pos];
    std::size_t length = SequenceLength(lead);
    if (length == 0 || *pos + length > size) {
        return false;
    }
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        unsigned char next = text[*pos + i];
        if ((next & 0xC0) != 0x80) {
            return false;
        }
        c = (c << 6) | (next & 0x3F);
    }
    static const char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kMinimum[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        return false;
    }
    *pos += length;
    *out = c;
    return true;
}

void EncodeUtf8(char32_t c, SecretBuffer* out) {
    if (c < 0x80) {
        out->Append(static_cast<char>(c));
    } else if (c < 0x800) {
        out->Append(static_cast<char>(0xC0 | (c >> 6)));
        out->Append(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out->Append(static_cast<char>(0xE0 | (c >> 12)));
        out->Append(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out->Append(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out->Append(static_cast<char>(0xF0 | (c >> 18)));
        out->Append(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out->Append(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out->Append(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Validates the UTF-8 and rewrites the variant forms. A character of four
// bytes or fewer never grows, so the result fits the same capacity.
bool NormaliseUtf8(const SecretBuffer& in, SecretBuffer* out) {
    std::size_t pos = 0;
    while (pos < in.size()) {
        char32_t c = 0;
        if (!DecodeUtf8(in.bytes(), in.size(), &pos, &c)) {
            out->Clear();
            return false;
        }
        EncodeUtf8(WindowsForm(c), out);
    }
    return true;
}

#ifdef _WIN32
KeyRefusal ConvertToCodePage(const SecretBuffer& utf8, SecretBuffer* key) {
    wchar_t wide[SecretBuffer::kCapacity];
    int wideLength =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                            static_cast<int>(utf8.size()), wide, SecretBuffer::kCapacity);
    KeyRefusal result = KeyRefusal::kNotUtf8;
    if (wideLength > 0) {
        char bytes[SecretBuffer::kCapacity * 2];
        BOOL usedDefault = FALSE;
        int length = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, wide, wideLength, bytes,
                                         sizeof bytes, nullptr, &usedDefault);
        if (length <= 0 || usedDefault) {
            result = KeyRefusal::kNotCodePage;
        } else if (static_cast<std::size_t>(length) > kMaxKeyBytes) {
            result = KeyRefusal::kTooLong;
        } else {
            key->Assign(bytes, static_cast<std::size_t>(length));
            result = KeyRefusal::kNone;
        }
        SecureZero(bytes, sizeof bytes);
    }
    SecureZero(wide, sizeof wide);
    return result;
}
#else
KeyRefusal ConvertToCodePage(const SecretBuffer& utf8, SecretBuffer* key) {
    iconv_t converter = iconv_open("CP932", "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return KeyRefusal::kNotCodePage;
    }
    char bytes[SecretBuffer::kCapacity * 2];
    char* in = const_cast<char*>(utf8.data());  // iconv's signature; it does not write
    std::size_t inLeft = utf8.size();
    char* out = bytes;
    std::size_t outLeft = sizeof bytes;
    std::size_t converted = iconv(converter, &in, &inLeft, &out, &outLeft);
    iconv_close(converter);
    KeyRefusal result = KeyRefusal::kNone;
    std::size_t length = sizeof bytes - outLeft;
    if (converted == static_cast<std::size_t>(-1) || inLeft != 0) {
        result = KeyRefusal::kNotCodePage;
    } else if (length > kMaxKeyBytes) {
        result = KeyRefusal::kTooLong;
    } else {
        key->Assign(bytes, length);
    }
    SecureZero(bytes, sizeof bytes);
    return result;
}
#endif

}  // namespace

KeyRefusal PasswordToKey(const SecretBuffer& utf8, SecretBuffer* key) {
    key->Clear();
    if (utf8.empty()) {
        return KeyRefusal::kEmpty;
    }
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (utf8.bytes()[i] < 0x20 || utf8.bytes()[i] == 0x7F) {
            return KeyRefusal::kControl;
        }
    }
    SecretBuffer normalised;
    if (!NormaliseUtf8(utf8, &normalised)) {
        return KeyRefusal::kNotUtf8;
    }
    return ConvertToCodePage(normalised, key);
}

}  // namespace zorv
