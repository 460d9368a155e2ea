// The exact conversions between UTF-8 paths and the UTF-16 of the wide
// calls: a name converts both ways unchanged, or it is refused; nothing is
// ever replaced by a look-alike.
#include <gtest/gtest.h>

#include <string>

#include "crypto/wide_path.h"

namespace zorv {
namespace {

TEST(WidePath, ValidTextConvertsBothWaysUnchanged) {
    struct Row {
        std::string utf8;
        std::u16string utf16;
    };
    const Row rows[] = {
        {"", u""},
        {"C:\\d\\plain.txt", u"C:\\d\\plain.txt"},
        {"caf\xC3\xA9 ..\xC2\xA5", u"caf\u00E9 ..\u00A5"},
        {"\xCE\xB1\xED\x95\x9C\xEF\xBF\xBF", u"\u03B1\uD55C\uFFFF"},
        {"\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF", u"\U0001F600\U0010FFFF"},  // pairs
    };
    for (const Row& row : rows) {
        std::u16string utf16 = u"left over";
        EXPECT_TRUE(Utf8ToUtf16(row.utf8, &utf16)) << row.utf8;
        EXPECT_EQ(utf16, row.utf16) << row.utf8;
        bool exact = false;
        EXPECT_EQ(Utf16ToUtf8(row.utf16.data(), row.utf16.size(), &exact), row.utf8);
        EXPECT_TRUE(exact) << row.utf8;
    }
}

TEST(WidePath, TextThatIsNotUtf8IsRefused) {
    const std::string refused[] = {
        "cut\xC3",               // a cut sequence
        "\xC0\xAF",              // overlong
        "\xE0\x80\xAF",          // overlong
        "a\xED\xA0\x80",         // an encoded surrogate
        "\xED\xBF\xBF",          // an encoded surrogate
        "\xF4\x90\x80\x80",      // past U+10FFFF
        "\xFF",                  // never in UTF-8
        "\x80",                  // a stray continuation byte
        std::string("a\0b", 3),  // a NUL would end the name early
    };
    for (const std::string& text : refused) {
        std::u16string utf16 = u"left over";
        EXPECT_FALSE(Utf8ToUtf16(text, &utf16)) << text;
        EXPECT_TRUE(utf16.empty()) << text;
    }
}

TEST(WidePath, AnUnpairedSurrogateIsShownButNeverConvertsBack) {
    struct Row {
        std::u16string utf16;
        std::string utf8;
    };
    const Row rows[] = {
        {{u'a', 0xD800}, "a\xED\xA0\x80"},
        {{0xDC00, u'b'},
         "\xED\xB0\x80"
         "b"},
        {{0xDE00, 0xD83D}, "\xED\xB8\x80\xED\xA0\xBD"},  // a pair the wrong way round
    };
    for (const Row& row : rows) {
        bool exact = true;
        std::string utf8 = Utf16ToUtf8(row.utf16.data(), row.utf16.size(), &exact);
        EXPECT_EQ(utf8, row.utf8);
        EXPECT_FALSE(exact) << row.utf8;
        std::u16string back;
        EXPECT_FALSE(Utf8ToUtf16(utf8, &back)) << row.utf8;
    }
}

}  // namespace
}  // namespace zorv
