#include "app/file_system.h"

#include <cstring>

#include "app/exact_name.h"
#include "app/path_utils.h"

namespace zorv {

namespace {

// The first directory entry matching path, or false.
bool FindFirstEntry(const char* path, WIN32_FIND_DATAA* entry) {
    // A final backslash never names an entry; the platforms disagree on
    // what a search for one returns, so it is answered here.
    if (path[0] == '\0' || EndsWithBackslash(path)) {
        return false;
    }
    ScopedFindHandle search(FindFirstFileA(path, entry));
    return search.IsValid();
}

// The name of the first directory entry matching path, asked in the wide
// form, so the name is the entry's own and not the look-alike that the ANSI
// search would report: written to name (kFoundNameBytes) as ToAnsiName gives
// it, with *exact telling whether it is the entry's exact name. False when
// nothing matches.
// Room for an entry's name (MAX_PATH wide characters) in ANSI.
constexpr int kFoundNameBytes = 2 * MAX_PATH;

bool FindFirstName(const char* path, char* name, bool* exact) {
    wchar_t widePath[kMaxPath];
    if (path[0] == '\0' || EndsWithBackslash(path) || ToWide(path, widePath, kMaxPath) == 0) {
        return false;
    }
    WIN32_FIND_DATAW entry;
    ScopedFindHandle search(FindFirstFileW(widePath, &entry));
    if (!search.IsValid()) {
        return false;
    }
    *exact = HasExactAnsiForm(entry.cFileName, -1);
    return ToAnsiName(entry.cFileName, -1, name, kFoundNameBytes) >= 0;
}

// Where the last component of path begins: after the last separator (the
// platform takes '/' as well as '\\'), or after the drive of a
// drive-relative name such as C:name, or at the start.
std::size_t LastComponentOffset(const char* path) {
    const char* end = path + std::strlen(path);
    const char* backslash = FindLastCharacter(path, end, '\\');
    const char* slash = FindLastCharacter(path, end, '/');
    const char* separator =
        (slash != nullptr && (backslash == nullptr || slash > backslash)) ? slash : backslash;
    if (separator != nullptr) {
        return static_cast<std::size_t>(separator + 1 - path);
    }
    const char first = path[0];
    if (((first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z')) && path[1] == ':') {
        return 2;
    }
    return 0;
}

}  // namespace

int ToWide(const char* text, wchar_t* output, int capacity) {
    if (capacity <= 0) {
        return 0;
    }
    const std::size_t bytes = static_cast<std::size_t>(capacity) * sizeof(wchar_t);
    std::memset(output, 0, bytes);
    const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, output, capacity);
    if (length == 0) {
        std::memset(output, 0, bytes);  // a failed conversion may leave a part behind
    }
    return length;
}

bool PathExists(const char* path) {
    WIN32_FIND_DATAA entry;
    return FindFirstEntry(path, &entry);
}

bool IsFolder(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool ResolveFoundName(const char* path, char* output, bool* inexact) {
    const std::size_t length = std::strlen(path);
    char found[kFoundNameBytes];
    bool exact = true;
    *inexact = false;
    if (length >= kMaxPath || !FindFirstName(path, found, &exact)) {
        return false;
    }
    // Built aside, since output may be path itself.
    char resolved[kMaxPath];
    const std::size_t prefix = LastComponentOffset(path);
    const char* component = path + prefix;
    const std::size_t nameLength = std::strlen(found);
    // The item stays as written when the found name cannot take the place
    // of its last component: it would not fit (keeping only the folder would
    // turn a file argument into its whole folder), or the component names
    // no entry of its own ("C:", ".", ".." are resolved by the platform to
    // a folder whose name would then be taken for a child of the folder).
    if (prefix + nameLength >= kMaxPath || *component == '\0' || IsDotEntry(component)) {
        std::memmove(output, path, length + 1);
        return true;
    }
    *inexact = !exact;
    std::memcpy(resolved, path, prefix);
    std::memcpy(resolved + prefix, found, nameLength + 1);
    std::memcpy(output, resolved, prefix + nameLength + 1);
    return true;
}

int MakeTempFileName(const char* prefix, char* output) {
    char folder[kMaxPath];
    const DWORD length = GetTempPathA(static_cast<DWORD>(kMaxPath), folder);
    if (length == 0 || length >= kMaxPath) {
        return -1;
    }
    char name[kMaxPath];
    if (GetTempFileNameA(folder, prefix, 0, name) == 0) {
        return -1;
    }
    std::memcpy(output, name, std::strlen(name) + 1);
    return 0;
}

}  // namespace zorv
