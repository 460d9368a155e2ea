// Files for the Windows tests: a temporary folder per test, whole-file reads
// and writes, folder searches, and paths near the 259-byte limit. Paths are
// ANSI (code page 932 under the test runner).
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

namespace zorv {

// The system's temporary folder, with its trailing backslash.
std::string TemporaryFolderPath();

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

// The path as a wide "\\?\" path, which the wide file functions accept beyond
// 259 characters.
std::wstring LongWidePath(const std::string& path);
// Deletes the folder and everything in it, read-only entries and paths
// beyond 259 characters included.
void RemoveTree(const std::string& folder);
}  // namespace test

// The file's bytes, or test::kMissing.
std::string ReadFileOrMissing(const std::string& path);
bool FileExists(const std::string& path);

// Files by wide "\\?\" paths, so that paths near 259 bytes can be made.
bool MakeLongFolder(const std::string& path);
bool WriteLongFile(const std::string& path, const std::string& bytes);
// A folder path of exactly length bytes below base, made of components of at
// most 100 bytes, each created.
std::string MakeFolderOfLength(const std::string& base, std::size_t length);

// Names in the folder (or matching a pattern) in the order the search returns
// them, without "." and "..".
std::vector<std::string> FoundOrder(const std::string& folderOrPattern);
// Number of crp*.tmp files in the temporary folder.
int TemporaryFileCount();

}  // namespace zorv
