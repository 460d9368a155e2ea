// Direct looks at what the shell integration leaves behind, taken without the
// code under test: registry values and saved shortcuts.
#pragma once

#include <windows.h>

#include <string>

namespace zorv::test {

// root\path's value name (null: the default value) as text, or kMissing when
// the key or the value cannot be read.
std::string ReadValue(HKEY root, const std::string& path, const char* name = nullptr);
bool KeyExists(HKEY root, const std::string& path);

struct LinkFields {
    std::string target;
    std::string workingDirectory;
    int showCommand = -1;
};

// Loads a saved shortcut through the system's own shell-link object; false
// when it cannot be loaded (fields then untouched).
bool ReadLink(const std::string& path, LinkFields* fields);

}  // namespace zorv::test
