// A fresh folder in the temporary directory for one test, removed with
// everything in it (attributes cleared first) when the test ends.
#pragma once

#include <windows.h>

#include <string>

namespace zorv::test {

// The path as a wide "\\?\" path, which the wide file functions accept beyond
// 259 characters.
inline std::wstring LongWidePath(const std::string& path) {
    int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), length);
    wide.resize(static_cast<size_t>(length > 0 ? length - 1 : 0));
    return L"\\\\?\\" + wide;
}

inline void RemoveTreeWide(const std::wstring& folder) {
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            std::wstring path = folder + L"\\" + name;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                RemoveTreeWide(path);
            } else {
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryW(folder.c_str());
}

inline void RemoveTree(const std::string& folder) {
    RemoveTreeWide(LongWidePath(folder));
}

class ScratchFolder {
public:
    explicit ScratchFolder(const char* name) {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        path_ = std::string(temp) + "zorv-" + name + "-" + std::to_string(GetCurrentProcessId());
        RemoveTree(path_);
        CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~ScratchFolder() { RemoveTree(path_); }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

}  // namespace zorv::test
