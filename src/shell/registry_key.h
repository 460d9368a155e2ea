// Registry keys: a move-only owner of one open key, and the recursive
// deletion of a key with everything below it.
#pragma once

#include <windows.h>

#include "app/win32_handles.h"

namespace zorv {

// Owns one open registry key (or none: null). The destructor closes it.
class RegistryKey {
public:
    // Takes handle (may be null) as its own.
    explicit RegistryKey(HKEY handle = nullptr) : key_(handle) {}
    virtual ~RegistryKey() = default;
    RegistryKey(RegistryKey&& other) noexcept = default;
    RegistryKey& operator=(RegistryKey&& other) noexcept = default;

    // Closes the current key, then creates or opens parent\subKey, not
    // volatile, with full access. False (no key held) when that fails.
    bool Create(HKEY parent, const char* subKey);

    // Closes the current key, then opens the existing parent\subKey with the
    // given access. False (no key held) when that fails.
    bool Open(HKEY parent, const char* subKey, REGSAM access = KEY_ALL_ACCESS);

    // Closes the key held; true when one was held and closing succeeded.
    bool Close();

    // Reads the value name (null or "" for the default value) into buffer.
    // True only when the read succeeded and the value is of type REG_SZ.
    // After a successful read of any type the buffer holds the bytes read,
    // terminated even when the value was stored without its terminator; after
    // a failed read (no key, no such value, a value that does not fit with
    // its terminator) it holds "". size must be at least 1.
    bool QueryString(const char* name, char* buffer, DWORD size) const;

    // Writes text as REG_SZ (its length plus the terminator) to value name.
    // False when no key is held or the write fails.
    bool SetString(const char* name, const char* text) const;

    HKEY Get() const { return key_.Get(); }

private:
    ScopedRegistryKey key_;
};

// Deletes parent\name with all its sub-keys, depth first. False when the key
// cannot be opened (a missing key included) or some part of the tree cannot
// be deleted; what could be deleted before that stays deleted.
bool DeleteKeyTree(HKEY parent, const char* name);

}  // namespace zorv
