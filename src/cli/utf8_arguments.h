// The command line as UTF-8, the form every path takes inside the program:
// POSIX's argv as it is; on Windows the wide command line (GetCommandLineW,
// split by CommandLineToArgvW), so a name the ANSI code page cannot hold
// reaches the program as it was typed, never as a best-fit look-alike. An
// argument holding an unpaired surrogate keeps it in the three-byte form
// Utf16ToUtf8 gives, which names no file.
#pragma once

#include <string>
#include <vector>

namespace zorv {

class Utf8Arguments {
public:
    Utf8Arguments(int argc, char** argv);
    Utf8Arguments(const Utf8Arguments&) = delete;
    Utf8Arguments& operator=(const Utf8Arguments&) = delete;

    // 0 when the wide command line could not be split (no memory).
    int count() const { return static_cast<int>(texts_.size()); }
    // argv's shape: count() texts, then a null.
    char** values() { return pointers_.data(); }

private:
    std::vector<std::string> texts_;
    std::vector<char*> pointers_;
};

}  // namespace zorv
