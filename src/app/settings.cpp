#include "app/settings.h"

#include <cstring>

#include "app/ini_file.h"
#include "app/module_instance.h"
#include "app/path_utils.h"

namespace zorv {

Settings g_settings;

namespace {

constexpr char kSection[] = "config";
constexpr char kFileName[] = "zorv.ini";

// The names of the LastMode values in index order; loading and saving share
// the table.
constexpr const char* kLastModeNames[] = {"none", "auto", "semiauto"};
constexpr int kLastModeCount = 3;

}  // namespace

const char* LastModeName(int mode) {
    return (mode >= 0 && mode < kLastModeCount) ? kLastModeNames[mode]
                                                : kLastModeNames[kLastModeAuto];
}

int GetModuleFolder(HINSTANCE instance, char* folder) {
    char path[kMaxPath];
    const DWORD length = GetModuleFileNameA(instance, path, static_cast<DWORD>(kMaxPath));
    // A result of the full buffer size means the name was cut.
    if (length == 0 || length >= kMaxPath) {
        return 0;
    }
    RemoveFileNamePart(path);
    std::memcpy(folder, path, std::strlen(path) + 1);
    return 0;
}

bool GetSettingsPath(char* path) {
    // Without the folder the bare file name would send the private-profile
    // functions to the Windows folder; better no settings file at all.
    path[0] = '\0';
    GetModuleFolder(ModuleInstance(), path);
    return path[0] != '\0' && JoinPath(path, kFileName);
}

void LoadSettingsFrom(const char* iniPath) {
    const IniFile ini(iniPath);
    g_settings.minimumChars = ini.ReadInt(kSection, "MinimumChars", 1);
    g_settings.useTempDir = ini.ReadBool(kSection, "UseTempDir", 1) != 0;
    g_settings.rememberLast = ini.ReadBool(kSection, "RememberLast", 0) != 0;
    char mode[32];
    ini.ReadString(kSection, "LastMode", mode, sizeof mode, kLastModeNames[kLastModeNone]);
    // An unknown word keeps the current value (1, "auto", before loading).
    for (int i = 0; i < kLastModeCount; ++i) {
        if (EqualTextIgnoringCase(mode, kLastModeNames[i])) {
            g_settings.lastMode = i;
            break;
        }
    }
}

void SaveSettingsTo(const char* iniPath) {
    const IniFile ini(iniPath);
    ini.WriteInt(kSection, "MinimumChars", g_settings.minimumChars);
    ini.WriteBool(kSection, "UseTempDir", g_settings.useTempDir ? 1 : 0);
    ini.WriteBool(kSection, "RememberLast", g_settings.rememberLast ? 1 : 0);
    ini.WriteString(kSection, "LastMode", LastModeName(g_settings.lastMode));
}

void LoadSettings() {
    char path[kMaxPath];
    if (GetSettingsPath(path)) {
        LoadSettingsFrom(path);
    }
}

void SaveSettings() {
    char path[kMaxPath];
    if (GetSettingsPath(path)) {
        SaveSettingsTo(path);
    }
}

}  // namespace zorv
