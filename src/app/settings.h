// The process-wide settings record and its file, zorv.ini in the
// executable's folder, section "config".
#pragma once

#include <windows.h>

namespace zorv {

// The re-encrypt choices of the decryption dialog: the radio button checked,
// the mode a decryption runs in, and the word stored under LastMode.
enum LastMode : int {
    kLastModeNone = 0,      // "none": plain decryption (the batch)
    kLastModeAuto = 1,      // "auto": re-encrypt when the editing program ends
    kLastModeSemiAuto = 2,  // "semiauto": re-encrypt on request from the tray icon
};

struct Settings {
    int minimumChars = 1;          // MinimumChars: minimum password length for encryption
    bool useTempDir = true;        // UseTempDir: working copy in the temporary folder
    bool rememberLast = false;     // RememberLast: remember the re-encrypt choice
    int lastMode = kLastModeAuto;  // LastMode: a LastMode value
};

// Loaded once by the entry, read and changed in place by the dialogs, on the
// user-interface thread (the edit session reads useTempDir once at start).
extern Settings g_settings;

// "none", "auto", "semiauto" for 0, 1, 2; "auto" for any other value.
const char* LastModeName(int mode);

// Copies the executable's folder (no final backslash) to folder, a kMaxPath
// buffer. Leaves folder untouched when the platform call fails. Returns 0.
int GetModuleFolder(HINSTANCE instance, char* folder);

// Writes the settings file's path (module folder joined with "zorv.ini") to
// path, a kMaxPath buffer. False when it does not fit (path then unusable).
bool GetSettingsPath(char* path);

// Fill g_settings from the settings file; a missing file, section or key
// gives its default, an unknown LastMode word keeps the current lastMode.
// Nothing is reported.
void LoadSettings();
// Write all four keys of g_settings, in the order MinimumChars, UseTempDir,
// RememberLast, LastMode. Failures are silent.
void SaveSettings();

// The same, on the INI file at iniPath.
void LoadSettingsFrom(const char* iniPath);
void SaveSettingsTo(const char* iniPath);

}  // namespace zorv
