// Accessor for one INI file over the platform's private-profile functions.
// Holds only the path; section and key names match without regard to case.
#pragma once

#include <windows.h>

#include "app/path_utils.h"

namespace zorv {

class IniFile {
public:
    // Copies the path (cut to 259 bytes); null gives an empty path.
    explicit IniFile(const char* path = nullptr);
    virtual ~IniFile() = default;

    void SetPath(const char* path);
    const char* Path() const { return path_; }

    // The value of key, or fallback when the key is missing, cut to size - 1
    // bytes and terminated (size must be at least 1). Returns its length.
    DWORD ReadString(const char* section, const char* key, char* out, DWORD size,
                     const char* fallback) const;
    // The value read as a decimal integer, or fallback when the key is missing.
    int ReadInt(const char* section, const char* key, int fallback) const;
    // fallback for a missing or empty value; else 1 when the value is "true"
    // in any letter case and 0 for anything else (1, yes, on are false).
    int ReadBool(const char* section, const char* key, int fallback) const;

    // Writes create the file and the section when needed. Failures (a
    // read-only folder, say) are not reported.
    void WriteString(const char* section, const char* key, const char* value) const;
    void WriteInt(const char* section, const char* key, int value) const;
    void WriteBool(const char* section, const char* key, int value) const;
    // Removes the section with all its keys; a missing one is no failure.
    void RemoveSection(const char* section) const;

private:
    char path_[kMaxPath] = {};
};

}  // namespace zorv
