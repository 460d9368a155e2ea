// Files for the Windows tests: a temporary folder per test and whole-file
// reads and writes. Paths are ANSI (code page 932 under the test runner).
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

// Creates (or truncates) the file at path holding bytes.
bool WriteWholeFile(const std::string& path, const std::string& bytes);
// Reads the whole file into bytes; false (bytes then undefined) when it
// cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string* bytes);

namespace test {
// What the readers of files and registry values give for one that cannot be
// read.
constexpr char kMissing[] = "<missing>";
}  // namespace test

// The file's bytes, or test::kMissing.
std::string ReadFileOrMissing(const std::string& path);

}  // namespace zorv
