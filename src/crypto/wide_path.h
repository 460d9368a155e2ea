// Paths as UTF-8 text, and their exact UTF-16 form for the wide entry points
// of Windows. zorv-cli keeps every name as UTF-8, as on POSIX, and converts
// it exactly at each system call, so a name is never replaced by a best-fit
// look-alike from the ANSI code page ("café" by "cafe", "¥" by "\"). The
// desktop program keeps its code page 932 paths and the ANSI calls.
#pragma once

#include <cstddef>
#include <string>

namespace zorv {

// The length (1 to 4) of the valid UTF-8 sequence at text[i], or 0 for a
// byte that does not start one: a stray continuation byte, an overlong
// form, a cut sequence, an encoded surrogate, a code point past U+10FFFF.
std::size_t Utf8SequenceAt(const std::string& text, std::size_t i);

// The exact UTF-16 form of text. False, with utf16 left empty, when text is
// not valid UTF-8 or holds a NUL (which would end the name early).
bool Utf8ToUtf16(const std::string& text, std::u16string* utf16);

// The UTF-8 form of n UTF-16 units. An unpaired surrogate, which no UTF-8
// text can hold, becomes its three-byte form (ED A0 80 to ED BF BF): a name
// holding one can be shown, but Utf8ToUtf16 refuses it, so it is never
// opened as another name. exact is false when there was one.
std::string Utf16ToUtf8(const char16_t* units, std::size_t n, bool* exact);

// How the Windows backends of FileHandle and secure deletion take a path:
// as bytes of the ANSI code page, through the ANSI entry points (the
// default: the desktop program), or, after UseUtf8Paths, as UTF-8 through
// the wide ones (zorv-cli). Call UseUtf8Paths once, before any file is
// opened and before other threads start. POSIX takes bytes either way.
void UseUtf8Paths();
bool Utf8PathsInUse();

#ifdef _WIN32
// The wide form of a UTF-8 path, as Utf8ToUtf16 converts it. False (wide
// left empty) for a path that does not convert: it names no file.
bool WidePath(const std::string& path, std::wstring* wide);
#endif

}  // namespace zorv
