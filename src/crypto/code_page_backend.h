// What each platform backend of the code page 932 conversion provides to
// password_key.cpp: one character each way, as the platform converts it.
// The rule that decides which characters a key may hold is password_key's.
#pragma once

#include <cstddef>

namespace zorv {
namespace backend {

// The code page 932 bytes of c (one or two) written to out; 0 when the
// platform has none for it. The platform may map c to bytes of another
// character (a best fit); the caller checks the way back.
std::size_t EncodeCp932(char32_t c, unsigned char out[2]);

// The character the bytes (one or two) stand for in code page 932; 0 when
// they stand for none.
char32_t DecodeCp932(const unsigned char* bytes, std::size_t length);

}  // namespace backend
}  // namespace zorv
