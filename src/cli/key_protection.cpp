#include "cli/key_protection.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif
#endif

namespace zorv {

void KeepOutOfDumps() {
#ifdef __linux__
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
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
