#include "crypto/password_key.h"

#include <cstdint>

#include "crypto/code_page_backend.h"
#include "crypto/secure_zero.h"

namespace zorv {
namespace {

// The characters keyed as another character's bytes (see the header). Each
// pair: the character, the one Windows reads from the bytes it is keyed as.
constexpr char32_t kVariantForms[][2] = {
    // Forms of Japanese systems other than Windows.
    {0x301C, 0xFF5E},  // wave dash -> full-width tilde
    {0x2016, 0x2225},  // double vertical line -> parallel to
    {0x2212, 0xFF0D},  // minus sign -> full-width hyphen-minus
    {0x00A2, 0xFFE0},  // cent sign
    {0x00A3, 0xFFE1},  // pound sign
    {0x00AC, 0xFFE2},  // not sign
    // Mappings Windows makes itself when it converts an edit's text.
    {0x00A5, 0x005C},  // yen sign -> 0x5C
    {0x203E, 0x007E},  // overline -> 0x7E
    {0x2014, 0x2015},  // em dash -> horizontal bar, 0x815C
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

// Appends the key bytes of c under the character rule to key; false when c
// has none. Appending beyond the buffer is caught by the length check.
bool AppendKeyCharacter(char32_t c, SecretBuffer* key) {
    const char32_t form = WindowsForm(c);
    unsigned char bytes[2] = {};
    const std::size_t length = backend::EncodeCp932(form, bytes);
    const bool exact = length != 0 && backend::DecodeCp932(bytes, length) == form;
    if (exact) {
        for (std::size_t i = 0; i < length; ++i) {
            key->Append(static_cast<char>(bytes[i]));
        }
    }
    SecureZero(bytes, sizeof bytes);
    return exact;
}

// Decodes one UTF-16 character at text[*pos]; false for a lone surrogate.
bool DecodeUtf16(const char16_t* text, std::size_t length, std::size_t* pos, char32_t* out) {
    const char32_t first = text[*pos];
    if (first >= 0xDC00 && first <= 0xDFFF) {
        return false;
    }
    if (first < 0xD800 || first > 0xDBFF) {
        *out = first;
        *pos += 1;
        return true;
    }
    if (*pos + 1 >= length || text[*pos + 1] < 0xDC00 || text[*pos + 1] > 0xDFFF) {
        return false;
    }
    *out = 0x10000 + ((first - 0xD800) << 10) + (text[*pos + 1] - 0xDC00);
    *pos += 2;
    return true;
}

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
    KeyRefusal result = KeyRefusal::kNone;
    std::size_t pos = 0;
    char32_t c = 0;
    while (result == KeyRefusal::kNone && pos < utf8.size()) {
        if (!DecodeUtf8(utf8.bytes(), utf8.size(), &pos, &c)) {
            result = KeyRefusal::kNotUtf8;
        } else if (!AppendKeyCharacter(c, key)) {
            result = KeyRefusal::kNotCodePage;
        }
    }
    SecureZero(&c, sizeof c);
    if (result == KeyRefusal::kNone && key->size() > kMaxKeyBytes) {
        result = KeyRefusal::kTooLong;
    }
    if (result != KeyRefusal::kNone) {
        key->Clear();
    }
    return result;
}

KeyRefusal WidePasswordToKey(const char16_t* text, std::size_t length, SecretBuffer* key) {
    key->Clear();
    if (length == 0) {
        return KeyRefusal::kEmpty;
    }
    std::size_t pos = 0;
    char32_t c = 0;
    while (pos < length) {
        if (!DecodeUtf16(text, length, &pos, &c) || !AppendKeyCharacter(c, key)) {
            SecureZero(&c, sizeof c);
            key->Clear();
            return KeyRefusal::kNotCodePage;
        }
    }
    SecureZero(&c, sizeof c);
    if (key->size() > kMaxKeyBytes) {
        key->Truncate(kMaxKeyBytes);
        return KeyRefusal::kTooLong;
    }
    return KeyRefusal::kNone;
}

}  // namespace zorv
