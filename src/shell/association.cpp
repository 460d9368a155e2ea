#include "shell/association.h"

#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "app/module_instance.h"
#include "app/path_utils.h"
#include "shell/registry_key.h"

namespace zorv {
namespace {

constexpr char kClassDescription[] = "Zorv Encrypted File";
constexpr char kIconKey[] = "DefaultIcon";
constexpr char kCommandKey[] = "shell\\Open\\command";
// Index 1 is the executable's second icon group, the encrypted-file icon.
constexpr char kIconSuffix[] = ",1";
constexpr char kCommandSuffix[] = " \"%1\"";

// Registry texts are longer than the executable's path: room for the quotes,
// the icon index and the %1 argument after the longest path.
constexpr unsigned kValueSize = kMaxPath + 16;
static_assert(kValueSize >= kMaxPath + 2 + sizeof kCommandSuffix, "command value too small");
constexpr unsigned kKeyPathSize = 128;

bool ReadExecutablePath(char* path) {
    const DWORD length = GetModuleFileNameA(ModuleInstance(), path, kMaxPath);
    return length > 0 && length < kMaxPath;
}

void BuildIconValue(const char* executable, char* value) {
    std::strcpy(value, executable);
    std::strcat(value, kIconSuffix);
}

// Writes the four values under one place. False when .crp cannot be created
// there; later failures are ignored (the next start shows what was written).
bool WriteAssociation(const ClassesLocation& location, const char* executable) {
    char path[kKeyPathSize];
    RegistryKey key;
    if (!ClassesSubKey(location, kExtensionKey, path, sizeof path) ||
        !key.Create(location.parent, path)) {
        return false;
    }
    key.SetString(nullptr, kClassName);
    key.Close();

    RegistryKey classKey;
    if (ClassesSubKey(location, kClassName, path, sizeof path)) {
        classKey.Create(location.parent, path);
    }
    classKey.SetString(nullptr, kClassDescription);

    char value[kValueSize];
    RegistryKey subKey;
    BuildIconValue(executable, value);
    if (classKey.Get() != nullptr && subKey.Create(classKey.Get(), kIconKey)) {
        subKey.SetString(nullptr, value);
    }
    if (BuildOpenCommand(executable, value, sizeof value) && classKey.Get() != nullptr &&
        subKey.Create(classKey.Get(), kCommandKey)) {
        subKey.SetString(nullptr, value);
    }
    return true;
}

void DeleteAssociation(const ClassesLocation& location) {
    char path[kKeyPathSize];
    if (ClassesSubKey(location, kExtensionKey, path, sizeof path)) {
        DeleteKeyTree(location.parent, path);
    }
    if (ClassesSubKey(location, kClassName, path, sizeof path)) {
        DeleteKeyTree(location.parent, path);
    }
}

bool NamesOurClass(const ClassesLocation& location) {
    char path[kKeyPathSize];
    RegistryKey key;
    if (!ClassesSubKey(location, kExtensionKey, path, sizeof path) ||
        !key.Open(location.parent, path, KEY_READ)) {
        return false;
    }
    // The text decides, not the value's type: a class name stored as another
    // string type still names the class.
    char value[64];
    key.QueryString(nullptr, value, sizeof value);
    return std::strcmp(value, kClassName) == 0;
}

void NotifyAssociationChanged() {
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

}  // namespace

AssociationRoots DefaultAssociationRoots() {
    return {{HKEY_CLASSES_ROOT, ""}, {HKEY_CURRENT_USER, "Software\\Classes"}};
}

bool ClassesSubKey(const ClassesLocation& location, const char* name, char* out, unsigned size) {
    const std::size_t prefixLength = std::strlen(location.prefix);
    const std::size_t needed = prefixLength + (prefixLength > 0 ? 1 : 0) + std::strlen(name) + 1;
    out[0] = '\0';
    if (needed > size) {
        return false;
    }
    std::strcpy(out, location.prefix);
    if (prefixLength > 0) {
        std::strcat(out, "\\");
    }
    std::strcat(out, name);
    return true;
}

bool BuildOpenCommand(const char* executable, char* command, std::size_t size) {
    // Quoted whether or not the path has spaces: the shell would otherwise
    // split it at the first one and may run another program.
    const int length = std::snprintf(command, size, "\"%s\"%s", executable, kCommandSuffix);
    if (length < 0 || static_cast<std::size_t>(length) >= size) {
        if (size > 0) {
            command[0] = '\0';
        }
        return false;
    }
    return true;
}

bool IsAssociated(const AssociationRoots& roots) {
    return NamesOurClass(roots.shared) || NamesOurClass(roots.perUser);
}

bool SetAssociation(bool on, const AssociationRoots& roots) {
    if (on) {
        char executable[kMaxPath];
        if (!ReadExecutablePath(executable)) {
            return false;
        }
        if (!WriteAssociation(roots.shared, executable) &&
            !WriteAssociation(roots.perUser, executable)) {
            return false;
        }
    } else {
        DeleteAssociation(roots.shared);
        DeleteAssociation(roots.perUser);
    }
    NotifyAssociationChanged();
    return true;
}

}  // namespace zorv
