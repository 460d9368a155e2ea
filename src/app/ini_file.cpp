#include "app/ini_file.h"

#include <cstdio>
#include <cstring>

namespace zorv {

IniFile::IniFile(const char* path) {
    SetPath(path);
}

void IniFile::SetPath(const char* path) {
    path_[0] = '\0';
    if (path != nullptr) {
        std::size_t length = std::strlen(path);
        if (length > kMaxPath - 1) {
            length = kMaxPath - 1;
        }
        std::memcpy(path_, path, length);
        path_[length] = '\0';
    }
}

DWORD IniFile::ReadString(const char* section, const char* key, char* out, DWORD size,
                          const char* fallback) const {
    return GetPrivateProfileStringA(section, key, fallback, out, size, path_);
}

int IniFile::ReadInt(const char* section, const char* key, int fallback) const {
    return static_cast<int>(GetPrivateProfileIntA(section, key, fallback, path_));
}

int IniFile::ReadBool(const char* section, const char* key, int fallback) const {
    char value[16];
    ReadString(section, key, value, sizeof value, "");
    if (value[0] == '\0') {
        return fallback;
    }
    return EqualTextIgnoringCase(value, "true") ? 1 : 0;
}

void IniFile::WriteString(const char* section, const char* key, const char* value) const {
    WritePrivateProfileStringA(section, key, value, path_);
}

void IniFile::WriteInt(const char* section, const char* key, int value) const {
    char text[32];
    std::snprintf(text, sizeof text, "%d", value);
    WriteString(section, key, text);
}

void IniFile::WriteBool(const char* section, const char* key, int value) const {
    WriteString(section, key, value != 0 ? "true" : "false");
}

void IniFile::RemoveSection(const char* section) const {
    WritePrivateProfileStringA(section, nullptr, nullptr, path_);
}

}  // namespace zorv
