#include "cli/key_protection.h"

#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace zorv {

void KeepOutOfDumps() {
#ifdef __linux__
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
#endif
}

}  // namespace zorv
