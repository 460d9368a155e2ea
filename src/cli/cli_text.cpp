#include "cli/cli_text.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/message_texts.h"

#ifdef _WIN32
#include <windows.h>
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
    // The password prompts, which the shared table has in Japanese too.
    {1010, "Password:"},
    {1011, "Password again:"},
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
std::string Convert(const std::string& text, UINT from, UINT to) {
    if (from == to || text.empty()) {
        return text;
    }
    int wideLength =
        MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::vector<wchar_t> wide(static_cast<std::size_t>(wideLength > 0 ? wideLength : 1));
    MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        wideLength);
    int length = WideCharToMultiByte(to, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    WideCharToMultiByte(to, 0, wide.data(), wideLength, out.data(), length, nullptr, nullptr);
    return out;
}

UINT TerminalCodePage() {
    UINT codePage = GetConsoleOutputCP();
    return codePage != 0 ? codePage : GetACP();
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
    return Convert(utf8, CP_UTF8, TerminalCodePage());
#else
    return utf8;
#endif
}

void WriteText(std::FILE* stream, const std::string& utf8) {
    const std::string text = TerminalText(utf8);
    std::fwrite(text.data(), 1, text.size(), stream);
}

void WritePath(std::FILE* stream, const std::string& path) {
#ifdef _WIN32
    std::string text = Convert(path, GetACP(), TerminalCodePage());
#else
    const std::string& text = path;
#endif
    std::fwrite(text.data(), 1, text.size(), stream);
}

}  // namespace zorv
