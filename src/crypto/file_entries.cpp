// The platform-independent part of file_entries.h.
#include "crypto/file_entries.h"

#include "crypto/file_handle_backend.h"

namespace zorv {

std::size_t PathLength(const std::string& path) {
#ifdef _WIN32
    std::size_t units = 0;
    for (char c : path) {
        auto byte = static_cast<unsigned char>(c);
        // A lead byte starts one unit, a four-byte sequence's a pair.
        units += ((byte & 0xC0) != 0x80 ? 1u : 0u) + (byte >= 0xF0 ? 1u : 0u);
    }
    return units;
#else
    return path.size();
#endif
}

ResultCode RenameNoReplace(const std::string& from, const std::string& to) {
    return backend::RenamePath(from.c_str(), to.c_str());
}

bool RemoveFile(const std::string& path) {
    return backend::RemoveName(path.c_str());
}

void SyncFolder(const std::string& folder) {
    (void)backend::FlushFolder(folder);
}

}  // namespace zorv
