// POSIX backend of file_entries.h.
#include "crypto/file_entries.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <utility>

#include "crypto/file_handle_backend.h"

#ifdef __APPLE__
#include <stdio.h>  // renamex_np
#endif

namespace zorv {
namespace {

EntryInfo InfoFromStat(const struct stat& st) {
    EntryInfo info;
    info.identity = backend::IdentityFromStat(st);
    info.exists = true;
    info.isFolder = S_ISDIR(st.st_mode);
    info.special = !S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode);
    info.isLink = S_ISLNK(st.st_mode);
    info.notRegular = info.special && !info.isLink;
    info.readOnly = (st.st_mode & S_IWUSR) == 0;
    info.unreadable = info.isFolder && (st.st_mode & S_IRUSR) == 0;
    info.size = S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
    return info;
}

}  // namespace

EntryInfo QueryEntry(const std::string& path) {
    struct stat st = {};
    if (lstat(path.c_str(), &st) != 0) {
        return EntryInfo{};
    }
    return InfoFromStat(st);
}

bool QueryIdentity(const std::string& path, FileIdentity* identity, bool followLink) {
    struct stat st = {};
    if ((followLink ? stat(path.c_str(), &st) : lstat(path.c_str(), &st)) != 0) {
        return false;
    }
    *identity = backend::IdentityFromStat(st);
    return true;
}

bool ListFolder(const std::string& folder, const FileIdentity& expected,
                std::vector<FolderEntry>* entries) {
    entries->clear();
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat st = {};
    DIR* dir = nullptr;
    if (fstat(fd, &st) != 0 ||
        (expected.Known() && !backend::IdentityFromStat(st).SameFile(expected)) ||
        (dir = fdopendir(fd)) == nullptr) {
        close(fd);
        return false;
    }
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        // Through the folder's descriptor: whatever happens to the path
        // above it, this is an entry of the folder that was checked.
        if (fstatat(dirfd(dir), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;
        }
        FolderEntry item;
        item.info = InfoFromStat(st);
        item.name = std::move(name);
        entries->push_back(std::move(item));
    }
    closedir(dir);
    std::sort(entries->begin(), entries->end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    return true;
}

PinnedFolder::~PinnedFolder() {
    if (descriptor_ >= 0) {
        close(descriptor_);
    }
}

bool PinnedFolder::Pin(const std::string& path, std::size_t rootLength,
                       const std::vector<FileIdentity>& chain) {
    std::vector<std::string> below;
    std::size_t start = rootLength;
    for (std::size_t slash; (slash = path.find('/', start)) != std::string::npos;
         start = slash + 1) {
        if (slash > start) {
            below.push_back(path.substr(start, slash - start));
        }
    }
    folder_ = rootLength == 0 ? "." : path.substr(0, rootLength);
    // The first folder may be reached through links the user named; what
    // it opens must still be the folder the plan found. Below it, no link.
    int fd = open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (std::size_t i = 0; fd >= 0; ++i) {
        struct stat st = {};
        if (i >= chain.size() || fstat(fd, &st) != 0 ||
            !backend::IdentityFromStat(st).SameFile(chain[i])) {
            break;
        }
        if (i == below.size()) {
            descriptor_ = fd;
            break;
        }
        folder_ = JoinFolderAndName(folder_, below[i]);
        int next = openat(fd, below[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        close(fd);
        fd = next;
    }
    if (descriptor_ < 0) {
        if (fd >= 0) {
            close(fd);
        }
        return false;
    }
    // The kernel resolves this link to the open folder itself, never again
    // by its path.
    std::string reached = "/proc/self/fd/" + std::to_string(descriptor_);
    struct stat st = {};
    struct stat pinned = {};
    reached_ = stat(reached.c_str(), &st) == 0 && fstat(descriptor_, &pinned) == 0 &&
                       st.st_dev == pinned.st_dev && st.st_ino == pinned.st_ino
                   ? reached
                   : folder_;
    return true;
}

std::string PinnedFolder::Reach(const std::string& name) const {
    return JoinFolderAndName(reached_.empty() ? folder_ : reached_, name);
}

unsigned CurrentUmask() {
    // umask() can only be read by setting it: set it back at once, before
    // the worker threads start creating files.
    static const unsigned mask = [] {
        mode_t old = umask(077);
        umask(old);
        return static_cast<unsigned>(old);
    }();
    return mask;
}

bool SyncFiles(const std::vector<FileHandle*>& files) {
    bool ok = true;
#ifdef __linux__
    // One request per file system: a single journal commit instead of one
    // per file. syncfs reports the write-back errors of the file system
    // since the last call (Linux 5.8 and later).
    std::vector<dev_t> done;
    for (FileHandle* file : files) {
        const int fd = static_cast<int>(file->native());
        struct stat st = {};
        if (fstat(fd, &st) != 0) {
            ok = false;
        } else if (std::find(done.begin(), done.end(), st.st_dev) == done.end()) {
            ok = backend::PlannedFlush([fd] { return syncfs(fd) == 0; }) && ok;
            done.push_back(st.st_dev);
        }
    }
#else
    for (FileHandle* file : files) {
        ok = file->Flush() && ok;
    }
#endif
    return ok;
}

std::string NameOf(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderOf(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string JoinFolderAndName(const std::string& folder, const std::string& name) {
    if (folder.empty()) {
        return name;
    }
    return folder.back() == '/' ? folder + name : folder + '/' + name;
}

}  // namespace zorv
