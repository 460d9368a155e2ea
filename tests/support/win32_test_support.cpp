#include "support/win32_test_support.h"

#include <algorithm>

namespace zorv {

std::string TemporaryFolderPath() {
    char path[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, path);
    return path;
}

namespace test {

std::wstring LongWidePath(const std::string& path) {
    int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), length);
    wide.resize(static_cast<size_t>(length > 0 ? length - 1 : 0));
    return L"\\\\?\\" + wide;
}

namespace {

void RemoveTreeWide(const std::wstring& folder) {
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

}  // namespace

void RemoveTree(const std::string& folder) {
    RemoveTreeWide(LongWidePath(folder));
}

}  // namespace test

TempFolder::TempFolder() {
    static int counter = 0;
    const std::string base = TemporaryFolderPath();
    for (;;) {
        path_ = base + "zorv-app-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(++counter);
        if (CreateDirectoryA(path_.c_str(), nullptr)) {
            break;
        }
    }
    if (!path_.empty() && path_.back() == '\\') {
        path_.pop_back();
    }
}

TempFolder::~TempFolder() {
    test::RemoveTree(path_);
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              written == bytes.size();
    CloseHandle(file);
    return ok;
}

bool ReadWholeFile(const std::string& path, std::string* bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    bytes->clear();
    char chunk[4096];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(file, chunk, sizeof chunk, &got, nullptr) != 0) && got > 0) {
        bytes->append(chunk, got);
    }
    CloseHandle(file);
    return ok;
}

std::string ReadFileOrMissing(const std::string& path) {
    std::string bytes;
    return ReadWholeFile(path, &bytes) ? bytes : test::kMissing;
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool MakeLongFolder(const std::string& path) {
    return CreateDirectoryW(test::LongWidePath(path).c_str(), nullptr) != 0;
}

bool WriteLongFile(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileW(test::LongWidePath(path).c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

std::string MakeFolderOfLength(const std::string& base, std::size_t length) {
    std::string path = base;
    while (path.size() < length) {
        // Never leave a single byte to add: that would be an empty component.
        std::size_t left = length - path.size();
        std::size_t component = std::min<std::size_t>(left - 1, left == 102 ? 99 : 100);
        path += "\\" + std::string(component, 'd');
        MakeLongFolder(path);
    }
    return path;
}

std::vector<std::string> FoundOrder(const std::string& folderOrPattern) {
    const bool pattern = folderOrPattern.find('*') != std::string::npos;
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE search =
        FindFirstFileA((pattern ? folderOrPattern : folderOrPattern + "\\*.*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        const std::string name = entry.cFileName;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return names;
}

int TemporaryFileCount() {
    return static_cast<int>(FoundOrder(TemporaryFolderPath() + "crp*.tmp").size());
}

}  // namespace zorv
