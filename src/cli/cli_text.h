// The texts the command-line program shows: the message table shared with
// the desktop program (Japanese, from the one UTF-8 source) or its English
// rendering, chosen by --lang or the locale, and written as UTF-8, or to a
// Windows console as UTF-16.
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
// 1001 to 1015, and the password prompts 1101 and 1102) in the language; the empty string for an ID
// that has no text.
std::string MessageText(Language language, int id);

// UTF-8 text in the encoding of a prompt written to the terminal: unchanged
// on POSIX; the console's output code page on Windows, where the prompt is
// written with WriteConsoleA.
std::string TerminalText(const std::string& utf8);

// Writes UTF-8 text (a message, or a path as ShownName shows it) to stream:
// as it is to a file, a pipe or a POSIX terminal, so a script reads the same
// bytes on every platform; with WriteConsoleW to a Windows console, which
// then shows every character whatever its code page. Text that is not
// valid UTF-8 reaches a console as bytes.
void WriteText(std::FILE* stream, const std::string& utf8);

}  // namespace zorv
