// From the password as typed to the key bytes: the same characters in code
// page 932, 1 to 56 bytes. Both programs key through this one rule: zorv-cli
// from UTF-8 (on every platform), zorv.exe from the wide text of its edits.
// A Japanese password typed on Linux thus opens files encrypted on Windows,
// and the other way round.
//
// The character rule: a character is keyed as its code page 932 bytes only
// when those bytes stand for the same character again. A character the code
// page lacks is refused, never replaced: a best-fit look-alike or a '?'
// would let two different passwords open the same file. Accepted beside
// those are the mappings Windows itself makes when it converts an edit's
// text, which keyed files of earlier versions: the yen sign (U+00A5) as
// 0x5C, the overline (U+203E) as 0x7E and the em dash (U+2014) as 0x815C;
// and the forms that Japanese input methods of other systems produce for a
// code page 932 character (the wave dash U+301C, the double vertical line
// U+2016, the minus sign U+2212, the cent, pound and not signs) key as the
// character Windows reads from the same bytes.
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

// zorv-cli's password, UTF-8 from a terminal, a file or a descriptor, into
// key. Control characters are refused besides the character rule. On
// refusal key is left empty.
KeyRefusal PasswordToKey(const SecretBuffer& utf8, SecretBuffer* key);

// zorv.exe's password, the UTF-16 text of an edit (length units), into key,
// under the same character rule. A lone surrogate is a character the code
// page cannot express. Control characters are keyed as they are, as the
// edits always keyed them. A text longer than 56 bytes in code page 932 is
// kTooLong and leaves key holding its first 56 bytes, even when that cuts a
// double-byte character in half: the key the edit's ANSI text gave (measured
// under Wine), so files encrypted with such a password stay openable. On
// every other refusal key is left empty.
KeyRefusal WidePasswordToKey(const char16_t* text, std::size_t length, SecretBuffer* key);

}  // namespace zorv
