// From the password as typed (UTF-8 on every platform) to the key bytes the
// desktop program uses: the same characters in code page 932, 1 to 56
// bytes. A Japanese password typed on Linux thus opens files encrypted on
// Windows, and the other way round.
#pragma once

#include <cstddef>

#include "crypto/blowfish_cipher.h"
#include "crypto/secret_buffer.h"

namespace zorv {

enum class KeyRefusal {
    kNone,
    kEmpty,        // nothing typed: the key schedule needs at least one byte
    kNotUtf8,      // the bytes are not valid UTF-8
    kNotCodePage,  // a character that code page 932 cannot express
    kTooLong,      // more than 56 bytes in code page 932
    kControl,      // a NUL or another control character, which no edit box types
};

// The longest key the cipher takes.
constexpr std::size_t kMaxKeyBytes = BlowfishCipher::kMaxKeyLength;

// Converts utf8 into key. On refusal key is left empty. Characters that
// Japanese input methods produce in two forms (the JIS wave dash and the
// full-width tilde, for one) are first brought to the form Windows maps, so
// both platforms key them alike.
KeyRefusal PasswordToKey(const SecretBuffer& utf8, SecretBuffer* key);

}  // namespace zorv
