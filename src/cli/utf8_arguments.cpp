#include "cli/utf8_arguments.h"

#ifdef _WIN32
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cwchar>

#include "crypto/wide_path.h"
#endif

namespace zorv {

Utf8Arguments::Utf8Arguments(int argc, char** argv) {
#ifdef _WIN32
    // argv holds the ANSI forms, best-fit mapped: it is not used.
    (void)argc;
    (void)argv;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 0; wide != nullptr && i < count; ++i) {
        const std::u16string units(wide[i], wide[i] + std::wcslen(wide[i]));
        bool exact = true;
        texts_.push_back(Utf16ToUtf8(units.data(), units.size(), &exact));
    }
    LocalFree(wide);
#else
    texts_.assign(argv, argv + argc);
#endif
    for (std::string& text : texts_) {
        pointers_.push_back(text.data());
    }
    pointers_.push_back(nullptr);
}

}  // namespace zorv
