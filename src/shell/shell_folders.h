// The shell's special folders and the Send To shortcut.
#pragma once

namespace zorv {

// Copies the file-system path of the special folder csidl (CSIDL_SENDTO, ...)
// to out, a kMaxPath buffer, and returns true. Returns false and leaves out
// untouched when the folder cannot be found or has no file-system path (My
// Computer, say).
bool GetSpecialFolderPath(int csidl, char* out);

// Saves a shell link at shortcutPath (replacing any file there) whose target
// is the executable, whose working directory is the executable's folder and
// whose show command is SW_SHOWNORMAL. Reports nothing: a link that cannot be
// made is simply absent.
void CreateSendToShortcut(const char* shortcutPath);

}  // namespace zorv
