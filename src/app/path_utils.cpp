#include "app/path_utils.h"

#include <cstring>

#include "app/dbcs.h"

namespace zorv {
namespace {

// The one shared empty string that GetExtension returns.
const char kEmpty[] = "";

// Steps over one character of a character-wise scan: a double-byte
// character as a unit, any other byte alone.
const char* Step(const char* p) {
    return IsLeadByte(*p) ? NextCharacter(p) : p + 1;
}

template <typename Char>
Char* Offset(Char* base, const char* position) {
    return position == nullptr ? nullptr : base + (position - base);
}

// Matches one token of the pattern (a '?', a double-byte character, or one
// byte) at the start of text. On success sets how far each string advances.
bool MatchToken(const char* text, const char* pattern, std::size_t* textStep,
                std::size_t* patternStep) {
    *textStep = 1;
    *patternStep = 1;
    if (*pattern == '?') {
        return *text != '\0';
    }
    if (IsLeadByte(*pattern)) {
        if (text[0] != pattern[0] || text[1] != pattern[1]) {
            return false;
        }
        // A lead byte at the very end of the pattern matches a lead byte at
        // the very end of the text: step one byte, onto both terminators.
        if (pattern[1] != '\0') {
            *textStep = 2;
            *patternStep = 2;
        }
        return true;
    }
    return *text != '\0' && EqualIgnoringCase(*text, *pattern);
}

}  // namespace

const char* FindCharacter(const char* text, char c) {
    for (const char* p = text; *p != '\0'; p = Step(p)) {
        if (!IsLeadByte(*p) && *p == c) {
            return p;
        }
    }
    return nullptr;
}

char* FindCharacter(char* text, char c) {
    return Offset(text, FindCharacter(static_cast<const char*>(text), c));
}

const char* FindLastCharacter(const char* begin, const char* end, char c) {
    const char* found = nullptr;
    for (const char* p = begin; p < end && *p != '\0'; p = Step(p)) {
        if (!IsLeadByte(*p) && *p == c) {
            found = p;
        }
    }
    return found;
}

char* FindLastCharacter(char* begin, char* end, char c) {
    return Offset(begin, FindLastCharacter(static_cast<const char*>(begin), end, c));
}

bool EqualIgnoringCase(char a, char b) {
    const auto fold = [](char c) {
        return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 0x20) : c;
    };
    return fold(a) == fold(b);
}

bool EqualTextIgnoringCase(const char* a, const char* b) {
    while (*a != '\0' && *b != '\0') {
        if (IsLeadByte(*a)) {
            if (a[0] != b[0] || a[1] != b[1]) {
                return false;
            }
            if (a[1] == '\0') {
                return true;  // both end in the same lone lead byte
            }
            a += 2;
            b += 2;
            continue;
        }
        if (!EqualIgnoringCase(*a, *b)) {
            return false;
        }
        ++a;
        ++b;
    }
    return *a == *b;
}

int CompareBytes(const char* a, const char* b, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        if (a[i] != b[i]) {
            return static_cast<signed char>(a[i]) - static_cast<signed char>(b[i]);
        }
    }
    return 0;
}

// Each pattern token matches a fixed number of text bytes, so when a token
// fails it is enough to let the most recent '*' take one more byte and retry
// from there; earlier stars never need to be revisited. This gives the same
// answers as trying every split recursively, without its exponential cost.
bool MatchPattern(const char* text, const char* pattern) {
    const char* afterStar = nullptr;  // pattern after the most recent '*'
    const char* starText = nullptr;   // text where that '*' stopped taking bytes
    for (;;) {
        if (*pattern == '*') {
            afterStar = ++pattern;
            starText = text;
            continue;
        }
        std::size_t textStep = 0;
        std::size_t patternStep = 0;
        if (*pattern == '\0' && *text == '\0') {
            return true;
        }
        if (*pattern != '\0' && MatchToken(text, pattern, &textStep, &patternStep)) {
            text += textStep;
            pattern += patternStep;
            continue;
        }
        if (afterStar == nullptr || *starText == '\0') {
            return false;
        }
        text = ++starText;
        pattern = afterStar;
    }
}

bool EndsWithBackslash(const char* path) {
    const char* last = nullptr;
    for (const char* p = path; *p != '\0'; p = Step(p)) {
        last = p;
    }
    return last != nullptr && !IsLeadByte(*last) && *last == '\\';
}

bool IsAbsolutePath(const char* path) {
    const char first = path[0];
    if (((first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z')) && path[1] == ':') {
        return true;
    }
    if (path[0] != '\\' || path[1] != '\\' || path[2] == '\0') {
        return false;
    }
    const char* separator = FindCharacter(path + 2, '\\');
    return separator != nullptr && separator[1] != '\0';
}

bool IsRelativePath(const char* path) {
    return path[0] != '\0' && !IsAbsolutePath(path);
}

bool IsDotEntry(const char* name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

const char* GetFileNamePart(const char* path) {
    const char* name = path;
    for (const char* p = path; *p != '\0'; p = Step(p)) {
        if (*p == '\\' && p[1] != '\0') {
            name = p + 1;
        }
    }
    return name;
}

char* GetFileNamePart(char* path) {
    return Offset(path, GetFileNamePart(static_cast<const char*>(path)));
}

bool RemoveFileNamePart(char* path) {
    char* name = GetFileNamePart(path);
    if (name == path) {
        return false;
    }
    name[-1] = '\0';
    return true;
}

const char* GetExtension(const char* path) {
    if (EndsWithBackslash(path)) {
        return kEmpty;
    }
    const char* searched = path;
    if (!IsRelativePath(path)) {
        searched = GetFileNamePart(path);
        if (searched == path) {
            return kEmpty;
        }
    }
    const char* dot = FindCharacter(searched, '.');
    return dot != nullptr ? dot : kEmpty;
}

char* StripExtension(char* path) {
    char* name = GetFileNamePart(path);
    char* dot = FindLastCharacter(name, name + std::strlen(name), '.');
    if (dot != nullptr) {
        *dot = '\0';
    }
    return dot;
}

bool AppendLimited(char* path, const char* text) {
    const std::size_t length = std::strlen(path);
    const std::size_t added = std::strlen(text);
    if (length + added + 1 > kMaxPath) {
        return false;
    }
    std::memcpy(path + length, text, added + 1);
    return true;
}

char* AddBackslash(char* path) {
    const std::size_t length = std::strlen(path);
    if (EndsWithBackslash(path)) {
        return path + length;
    }
    if (length + 2 > kMaxPath) {
        return nullptr;
    }
    path[length] = '\\';
    path[length + 1] = '\0';
    return path + length + 1;
}

bool JoinPath(char* path, const char* name) {
    if (name[0] == '\0') {
        return true;
    }
    if (path[0] != '\0' && AddBackslash(path) == nullptr) {
        return false;
    }
    return AppendLimited(path, name);
}

bool IsBareDrive(const char* path) {
    const char first = path[0];
    const bool letter = (first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z');
    return letter && path[1] == ':' && path[2] == '\0';
}

bool JoinInFolder(char* path, const char* name) {
    if (IsBareDrive(path)) {
        return AppendLimited(path, name);
    }
    return JoinPath(path, name);
}

char* CombinePath(char* output, const char* folder, const char* name) {
    std::size_t length = std::strlen(folder);
    if (length > kMaxPath - 1) {
        length = kMaxPath - 1;
    }
    std::memmove(output, folder, length);
    output[length] = '\0';
    JoinPath(output, name);
    return output;
}

bool QuotePath(char* path) {
    const std::size_t length = std::strlen(path);
    // An empty path becomes a pair of quotes; otherwise each end gets a
    // quote unless it already has one (a lone quote counts for both ends).
    const bool quoteFront = length == 0 || path[0] != '"';
    const bool quoteBack = length == 0 || path[length - 1] != '"';
    const std::size_t quoted = length + (quoteFront ? 1 : 0) + (quoteBack ? 1 : 0);
    if (quoted + 1 > kMaxPath) {
        return false;
    }
    if (quoteFront) {
        std::memmove(path + 1, path, length + 1);
        path[0] = '"';
    }
    if (quoteBack) {
        path[quoted - 1] = '"';
        path[quoted] = '\0';
    }
    return true;
}

}  // namespace zorv
