// Helpers of the Windows tests of the application core.
#pragma once

#include <windows.h>

#include <string>

namespace zorv {

// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return path_; }
    // Path() + "\\" + name.
    std::string Join(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

// Creates (or truncates) the file at path holding content.
bool WriteTextFile(const std::string& path, const std::string& content);
// The bytes of the file at path; empty when it cannot be read.
std::string ReadTextFile(const std::string& path);
// Removes path: a file, or a folder with everything in it.
void RemoveTree(const std::string& path);

// UTF-8 text (as the tests write it) in code page 932, the program's code
// page, via UTF-16.
std::string ToCodePage932(const char* utf8);

}  // namespace zorv
