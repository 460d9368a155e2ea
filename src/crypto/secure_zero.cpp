#include "crypto/secure_zero.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#ifdef __GLIBC__
#include <string.h>
#endif
#endif

namespace zorv {

void SecureZero(void* p, std::size_t n) {
    if (p == nullptr || n == 0) {
        return;
    }
#ifdef _WIN32
    SecureZeroMemory(p, n);
#elif defined(__GLIBC__)
    explicit_bzero(p, n);
#else
    // Stores through a volatile pointer are observable behaviour, so the
    // compiler must keep them even when the buffer dies right after.
    volatile auto* bytes = static_cast<volatile unsigned char*>(p);
    for (std::size_t i = 0; i < n; ++i) {
        bytes[i] = 0;
    }
#endif
}

void LockInMemory(const void* data, std::size_t n) {
#ifdef _WIN32
    VirtualLock(const_cast<void*>(data), n);
#else
    mlock(data, n);
#endif
}

}  // namespace zorv
