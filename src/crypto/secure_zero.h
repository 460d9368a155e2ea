// Clearing of secrets in a way the compiler may not remove as a dead store.
#pragma once

#include <cstddef>

namespace zorv {

// Overwrites n bytes at p with zeros. Used for every buffer that held a
// password, key schedule or decrypted plain text.
void SecureZero(void* p, std::size_t n);

}  // namespace zorv
