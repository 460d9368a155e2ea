// POSIX backend of secure deletion.
#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include "crypto/secure_delete_backend.h"

namespace zorv {
namespace backend {

Wipeable MakeWritable(const char* path) {
    struct stat st {};
    if (::lstat(path, &st) != 0) {
        return errno == ENOENT ? Wipeable::kMissing : Wipeable::kRefused;
    }
    if (!S_ISREG(st.st_mode)) {
        return Wipeable::kRefused;
    }
    if (st.st_nlink > 1) {
        return Wipeable::kHardLinked;
    }
    if ((st.st_mode & S_IWUSR) == 0) {
        // The result is not examined: when it fails the open for writing fails
        // and reports it.
        (void)::chmod(path, (st.st_mode & 07777) | S_IWUSR);
    }
    return Wipeable::kYes;
}

}  // namespace backend
}  // namespace zorv
