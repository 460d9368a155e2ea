// The tests write their expected Japanese texts in UTF-8; the program sees
// them as code page 932 bytes.
#pragma once

#include <windows.h>

#include <string>

namespace zorv::test {

inline std::string Cp932(const char* utf8) {
    int wideLength = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide.data(), wideLength);
    int length = WideCharToMultiByte(932, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(932, 0, wide.c_str(), -1, text.data(), length, nullptr, nullptr);
    text.resize(static_cast<size_t>(length > 0 ? length - 1 : 0));
    return text;
}

}  // namespace zorv::test
