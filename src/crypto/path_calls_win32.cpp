#include "crypto/path_calls_win32.h"

#include "crypto/wide_path.h"

namespace zorv {

bool WidePath(const std::string& path, std::wstring* wide) {
    std::u16string units;
    if (!Utf8ToUtf16(path, &units)) {
        wide->clear();
        return false;
    }
    wide->assign(units.begin(), units.end());
    return true;
}

namespace backend {
namespace {

// Calls wideCall with the wide form of path, or fails as a bad name.
template <typename Result, typename WideCall>
Result WithWidePath(const char* path, Result failure, WideCall wideCall) {
    std::wstring wide;
    if (!WidePath(path, &wide)) {
        SetLastError(ERROR_INVALID_NAME);
        return failure;
    }
    return wideCall(wide.c_str());
}

}  // namespace

HANDLE CreateFileAtPath(const char* path, DWORD access, DWORD share, DWORD disposition,
                        DWORD flags) {
    if (!Utf8PathsInUse()) {
        return CreateFileA(path, access, share, nullptr, disposition, flags, nullptr);
    }
    return WithWidePath(path, INVALID_HANDLE_VALUE, [&](const wchar_t* wide) {
        return CreateFileW(wide, access, share, nullptr, disposition, flags, nullptr);
    });
}

DWORD AttributesAtPath(const char* path) {
    if (!Utf8PathsInUse()) {
        return GetFileAttributesA(path);
    }
    return WithWidePath(path, INVALID_FILE_ATTRIBUTES,
                        [](const wchar_t* wide) { return GetFileAttributesW(wide); });
}

bool SetAttributesAtPath(const char* path, DWORD attributes) {
    if (!Utf8PathsInUse()) {
        return SetFileAttributesA(path, attributes) != 0;
    }
    return WithWidePath(path, false, [&](const wchar_t* wide) {
        return SetFileAttributesW(wide, attributes) != 0;
    });
}

bool DeleteAtPath(const char* path) {
    if (!Utf8PathsInUse()) {
        return DeleteFileA(path) != 0;
    }
    return WithWidePath(path, false, [](const wchar_t* wide) { return DeleteFileW(wide) != 0; });
}

DWORD ReparseTagAtPath(const char* path) {
    if (!Utf8PathsInUse()) {
        WIN32_FIND_DATAA data;
        HANDLE search = FindFirstFileA(path, &data);
        if (search == INVALID_HANDLE_VALUE) {
            return 0;
        }
        FindClose(search);
        return data.dwReserved0;
    }
    return WithWidePath(path, DWORD{0}, [](const wchar_t* wide) {
        WIN32_FIND_DATAW data;
        HANDLE search = FindFirstFileW(wide, &data);
        if (search == INVALID_HANDLE_VALUE) {
            return DWORD{0};
        }
        FindClose(search);
        return data.dwReserved0;
    });
}

}  // namespace backend
}  // namespace zorv
