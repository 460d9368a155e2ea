#include "cli/cli_text.h"

#include <cstdlib>
#include <cstring>

#include "app/message_texts.h"
#include "crypto/wide_path.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>

#include <algorithm>
#endif

namespace zorv {
namespace {

struct EnglishText {
    int id;
    const char* text;
};

// The table's messages as an English-speaking user reads them; the IDs and
// their meaning are the desktop program's.
constexpr EnglishText kEnglishTexts[] = {
    {51,
     "The two passwords differ. Check that Caps Lock is off and that upper and lower case "
     "were typed correctly."},
    {70, "The file could not be opened"},
    {71, "The file already exists"},
    {72, "Processing stopped for lack of memory"},
    {73, "Already encrypted"},
    {74, "The file is read-only or a system file"},
    {75, "Wrong password"},
    {76, "Not an encrypted file"},
    {79, "The file does not exist"},
    {80, "Files of size zero cannot be handled."},
    {81, "The file could not be deleted."},
    {82, "Reading the file failed"},
    {83, "Writing the file failed"},
    {84, "The path is too long"},
    {85, "The file changed while it was being encrypted; it is kept, and no .crp file is left"},
    // This program's own outcomes; the shared table has no text for them,
    // so they are shown in English in either language.
    {1001, "Is a folder (give -r to walk folders)"},
    {1002,
     "Not deleted: the file has other names (hard links), whose contents overwriting would "
     "destroy. The new file is in place; the source is kept."},
    {1003, "Another file has taken this name since the run began: left alone"},
    {1004, "The folder could not be read"},
    {1005, "A symbolic link: passed over"},
    {1006, "Is a symbolic link (not followed)"},
    {1007, "Not a regular file (a device, a pipe or a socket)"},
    {1008, "Nothing before .crp to name the output"},
    {1009, "No temporary file can be made in the output's folder"},
    {1010, "The output would replace an input of this run: nothing done"},
    {1011, "Another input of this run has the same output: nothing done"},
    {1012, "The same file as an earlier input: passed over"},
    {1013, "The name cannot be handled on this system"},
    {1014, "Files left here by an interrupted run were wiped and removed"},
    {1015, "A file left by an interrupted run could not be wiped or removed"},
    // The password prompts, which the shared table has in Japanese too.
    {1101, "Password:"},
    {1102, "Password again:"},
};

#ifndef _WIN32
bool StartsWithJapanese(const char* locale) {
    return locale != nullptr && std::strncmp(locale, "ja", 2) == 0;
}
#endif

bool LocaleIsJapanese() {
#ifdef _WIN32
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE;
#else
    // The first of these that is set and not empty decides, as in setlocale.
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return StartsWithJapanese(value);
        }
    }
    return false;
#endif
}

#ifdef _WIN32
// The console that stream writes to, or null when it goes to a file or a
// pipe.
HANDLE ConsoleOf(std::FILE* stream) {
    int descriptor = _fileno(stream);  // negative when started without the stream
    if (descriptor < 0) {
        return nullptr;
    }
    auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0 ? handle : nullptr;
}

// Writes to a console in UTF-16, which shows every character whatever the
// console's code page. False when the text is not valid UTF-8 or a write
// fails.
bool WriteToConsole(HANDLE console, std::FILE* stream, const std::string& utf8) {
    std::wstring wide;
    if (!WidePath(utf8, &wide)) {
        return false;
    }
    std::fflush(stream);  // what stdio holds goes first
    for (std::size_t done = 0; done < wide.size();) {
        DWORD written = 0;
        DWORD count = static_cast<DWORD>(std::min<std::size_t>(wide.size() - done, 16384));
        if (!WriteConsoleW(console, wide.data() + done, count, &written, nullptr) || written == 0) {
            return false;
        }
        done += written;
    }
    return true;
}
#endif

}  // namespace

Language ChooseLanguage(const std::string& option) {
    if (option == "ja") {
        return Language::kJapanese;
    }
    if (option == "en") {
        return Language::kEnglish;
    }
    return LocaleIsJapanese() ? Language::kJapanese : Language::kEnglish;
}

std::string MessageText(Language language, int id) {
    if (language == Language::kJapanese && *MessageTextUtf8(id) != '\0') {
        return MessageTextUtf8(id);
    }
    for (const EnglishText& entry : kEnglishTexts) {
        if (entry.id == id) {
            return entry.text;
        }
    }
    return std::string();
}

std::string TerminalText(const std::string& utf8) {
#ifdef _WIN32
    // The prompt goes to the console with WriteConsoleA, so it takes the
    // console's output code page; a character that page lacks shows as '?'.
    std::wstring wide;
    if (!WidePath(utf8, &wide)) {
        return utf8;
    }
    const UINT codePage = GetConsoleOutputCP() != 0 ? GetConsoleOutputCP() : GetACP();
    const int wideLength = static_cast<int>(wide.size());
    int length =
        WideCharToMultiByte(codePage, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length > 0) {
        WideCharToMultiByte(codePage, 0, wide.data(), wideLength, &text[0], length, nullptr,
                            nullptr);
    }
    return text;
#else
    return utf8;
#endif
}

void WriteText(std::FILE* stream, const std::string& utf8) {
#ifdef _WIN32
    // Not SetConsoleOutputCP(CP_UTF8): that changes the console the user's
    // shell shares, for the programs that run after this one, and consoles
    // before Windows 10 mishandle UTF-8 bytes written to them.
    HANDLE console = ConsoleOf(stream);
    if (console != nullptr && WriteToConsole(console, stream, utf8)) {
        return;
    }
#endif
    std::fwrite(utf8.data(), 1, utf8.size(), stream);
}

}  // namespace zorv
