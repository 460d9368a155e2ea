#include "shell/registry_key.h"

#include <cstring>

namespace zorv {

bool RegistryKey::Create(HKEY parent, const char* subKey) {
    Close();
    HKEY key = nullptr;
    if (RegCreateKeyExA(parent, subKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    key_.Reset(key);
    return true;
}

bool RegistryKey::Open(HKEY parent, const char* subKey, REGSAM access) {
    Close();
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, subKey, 0, access, &key) != ERROR_SUCCESS) {
        return false;
    }
    key_.Reset(key);
    return true;
}

bool RegistryKey::Close() {
    const HKEY key = key_.Release();
    return key != nullptr && RegCloseKey(key) == ERROR_SUCCESS;
}

bool RegistryKey::QueryString(const char* name, char* buffer, DWORD size) const {
    buffer[0] = '\0';
    if (!key_.IsValid()) {
        return false;
    }
    DWORD type = REG_NONE;
    DWORD length = size;
    if (RegQueryValueExA(key_.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                         &length) != ERROR_SUCCESS ||
        length > size) {
        buffer[0] = '\0';
        return false;
    }
    // A value may be stored without its terminator; one that then fills the
    // buffer leaves no room for it and counts as too large.
    if (length < size) {
        buffer[length] = '\0';
    } else if (buffer[size - 1] != '\0') {
        buffer[0] = '\0';
        return false;
    }
    return type == REG_SZ;
}

bool RegistryKey::SetString(const char* name, const char* text) const {
    if (!key_.IsValid()) {
        return false;
    }
    const DWORD length = static_cast<DWORD>(std::strlen(text) + 1);
    return RegSetValueExA(key_.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          length) == ERROR_SUCCESS;
}

bool DeleteKeyTree(HKEY parent, const char* name) {
    RegistryKey key;
    if (!key.Open(parent, name)) {
        return false;
    }
    // Always take the first remaining sub-key: deleting one renumbers the rest.
    LONG status = ERROR_SUCCESS;
    for (;;) {
        char child[260] = {};
        DWORD childLength = sizeof child;
        status =
            RegEnumKeyExA(key.Get(), 0, child, &childLength, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS) {
            break;
        }
        if (!DeleteKeyTree(key.Get(), child)) {
            return false;
        }
    }
    key.Close();
    return RegDeleteKeyA(parent, name) == ERROR_SUCCESS && status == ERROR_NO_MORE_ITEMS;
}

}  // namespace zorv
