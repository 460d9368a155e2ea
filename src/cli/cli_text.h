// The texts the command-line program shows: the message table shared with
// the desktop program (Japanese, from the one UTF-8 source) or its English
// rendering, chosen by --lang or the locale, and written in the encoding of
// the terminal (UTF-8 on POSIX, the console's code page on Windows).
#pragma once

#include <cstdio>
#include <string>

namespace zorv {

enum class Language { kEnglish, kJapanese };

// "en" or "ja" from --lang; otherwise Japanese when the locale (POSIX:
// LC_ALL, LC_MESSAGES, LANG; Windows: the user's UI language) is Japanese,
// English in every other case.
Language ChooseLanguage(const std::string& option);

// The UTF-8 text of a message-table ID (51, 70 to 85, and this program's own
// 1001 to 1011) in the language; the empty string for an ID that has no text.
std::string MessageText(Language language, int id);

// UTF-8 text in the terminal's encoding (unchanged on POSIX; converted to the
// console's output code page on Windows).
std::string TerminalText(const std::string& utf8);

// Writes UTF-8 text to stream in the terminal's encoding (unchanged on
// POSIX; converted to the console's output code page on Windows).
void WriteText(std::FILE* stream, const std::string& utf8);

// Writes a path as the program has it (bytes of the ANSI code page on
// Windows, converted for a console with another code page).
void WritePath(std::FILE* stream, const std::string& path);

}  // namespace zorv
