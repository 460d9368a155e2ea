// The string and path operations, natively (code page 932's lead bytes) and
// under Wine (the process's code page, 932). "\x95\x5C" is a double-byte
// character whose second byte is a backslash; "\x82\x61" one whose second
// byte is the letter a.
#include "app/path_utils.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/dbcs.h"

namespace zorv {
namespace {

constexpr char kTable[] = "\x95\x5C";  // ends in 0x5C

struct Path {
    char text[kMaxPath];
    explicit Path(const std::string& s) {
        EXPECT_LT(s.size(), kMaxPath);
        std::memset(text, 0, sizeof text);
        std::memcpy(text, s.data(), s.size());
    }
    std::string str() const { return text; }
};

std::string Repeat(char c, std::size_t n) {
    return std::string(n, c);
}

TEST(DbcsTest, LeadBytesAndSteppingFollowCodePage932) {
    const struct {
        unsigned char byte;
        bool lead;
    } cases[] = {{0x5C, false}, {0x80, false}, {0x81, true}, {0x9F, true}, {0xA0, false},
                 {0xDF, false}, {0xE0, true},  {0xFC, true}, {0xFD, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.lead, IsLeadByte(static_cast<char>(c.byte))) << int{c.byte};
    }
    const char pair[] = "\x95\x5Cx";
    EXPECT_EQ(pair + 2, NextCharacter(pair));
    const char lone[] = "\x95";  // a lead byte cut off by the terminator
    EXPECT_EQ(lone + 1, NextCharacter(lone));
    EXPECT_EQ(lone + 1, NextCharacter(lone + 1));
}

TEST(PathUtilsTest, SearchesNeverMatchInsideADoubleByteCharacter) {
    const std::string text = std::string("a") + kTable + "b\\c" + kTable + "\x82\x61";
    EXPECT_EQ(text.c_str() + 4, FindCharacter(text.c_str(), '\\'));
    EXPECT_EQ(nullptr, FindCharacter(kTable, '\\'));
    EXPECT_EQ(nullptr, FindCharacter("\x82\x61", 'a'));
    EXPECT_EQ(nullptr, FindCharacter("abc", '\0'));

    const char* end = text.c_str() + text.size();
    EXPECT_EQ(text.c_str() + 4, FindLastCharacter(text.c_str(), end, '\\'));
    EXPECT_EQ(text.c_str(), FindLastCharacter(text.c_str(), end, 'a'));  // not the final 0x61
    // The range end limits the search.
    const char dots[] = "a.b.c";
    EXPECT_EQ(dots + 1, FindLastCharacter(dots, dots + 3, '.'));
}

TEST(PathUtilsTest, ComparisonsFoldOnlyAsciiLetters) {
    EXPECT_TRUE(EqualIgnoringCase('a', 'A'));
    EXPECT_TRUE(EqualIgnoringCase('Z', 'z'));
    EXPECT_FALSE(EqualIgnoringCase('@', '`'));  // 0x40 and 0x60 differ by 0x20 too
    EXPECT_FALSE(EqualIgnoringCase('[', '{'));
    EXPECT_FALSE(EqualIgnoringCase('\xE0', '\xC0'));

    EXPECT_TRUE(EqualTextIgnoringCase("SemiAuto", "semiauto"));
    EXPECT_FALSE(EqualTextIgnoringCase("semiauto", "semiaut"));
    EXPECT_FALSE(EqualTextIgnoringCase("\x82\x61", "\x82\x41"));  // second bytes compare exactly
    EXPECT_TRUE(EqualTextIgnoringCase("x\x82\x61y", "X\x82\x61Y"));

    EXPECT_EQ(0, CompareBytes("abcX", "abcY", 3));
    EXPECT_EQ(-1, CompareBytes("abc", "abd", 3));
    EXPECT_EQ(-255, CompareBytes("\x80", "\x7F", 1));  // signed bytes: -128 - 127
    EXPECT_EQ(0, CompareBytes("a", "b", 0));
}

TEST(PathUtilsTest, MatchPattern) {
    const struct {
        std::string text;
        std::string pattern;
        bool match;
    } cases[] = {
        {"REPORT.DOC.CRP", "*.crp", true},
        {"report.crp.doc", "*.crp", false},
        {std::string("C:\\") + kTable + ".crp", "*.crp", true},
        {std::string("\x83\x89") + "crp", "*.crp", false},  // no dot
        {".crp", "*.crp", true},
        {"crp", "*.crp", false},
        {"x.crpx", "*.crp", false},
        {"", "*", true},
        {"", "?", false},
        {"abc", "a?c", true},
        {"ab", "a??", false},
        {"axxbyyc", "a*b*c", true},
        {"axxbyy", "a*b*c", false},
        {std::string(kTable) + "x", std::string(kTable) + "*", true},
        {"\x95\x7Cx", "\x95\x5C*", false},
        {"\x82\x61", "\x82\x41", false},                           // a second byte is never folded
        {Repeat('a', 40) + "b", "*a*a*a*a*a*a*a*a*a*a*c", false},  // quick despite the stars
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.match, MatchPattern(c.text.c_str(), c.pattern.c_str()))
            << c.text << " ~ " << c.pattern;
    }
}

TEST(PathUtilsTest, Predicates) {
    const struct {
        std::string path;
        bool endsWithBackslash;
        bool absolute;
    } cases[] = {
        {"", false, false},
        {"C:\\", true, true},
        {"c:", false, true},
        {"C:\\dir", false, true},
        {std::string("C:\\") + kTable, false, true},
        {std::string(kTable) + "\\", true, false},
        {"1:\\x", false, false},
        {"\\\\server\\share", false, true},
        {"\\\\server", false, false},
        {"\\\\server\\", true, false},
        {"\\\\", true, false},
        {std::string("\\\\srv") + kTable + "share", false, false},
        {"dir\\x", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.endsWithBackslash, EndsWithBackslash(c.path.c_str())) << c.path;
        EXPECT_EQ(c.absolute, IsAbsolutePath(c.path.c_str())) << c.path;
        EXPECT_EQ(!c.path.empty() && !c.absolute, IsRelativePath(c.path.c_str())) << c.path;
    }
    EXPECT_TRUE(IsDotEntry("."));
    EXPECT_TRUE(IsDotEntry(".."));
    EXPECT_FALSE(IsDotEntry("..."));
    EXPECT_FALSE(IsDotEntry(".a"));
    EXPECT_FALSE(IsDotEntry(""));
}

TEST(PathUtilsTest, FileNamePartAndItsRemoval) {
    const struct {
        std::string path;
        std::string name;
        std::string folder;  // after RemoveFileNamePart; equal to path when it fails
    } cases[] = {
        {"C:\\a\\b.txt", "b.txt", "C:\\a"},
        {"C:\\b.txt", "b.txt", "C:"},
        {"C:\\dir\\", "dir\\", "C:"},
        {"C:\\", "C:\\", "C:\\"},
        {"name", "name", "name"},
        {std::string("C:\\a") + kTable, std::string("a") + kTable, "C:"},
        {std::string("C:\\") + kTable + "\\b", "b", std::string("C:\\") + kTable},
    };
    for (const auto& c : cases) {
        Path path(c.path);
        EXPECT_EQ(c.name, GetFileNamePart(path.text)) << c.path;
        EXPECT_EQ(c.folder != c.path, RemoveFileNamePart(path.text)) << c.path;
        EXPECT_EQ(c.folder, path.str()) << c.path;
    }
}

TEST(PathUtilsTest, ExtensionsFromTheFirstDotStrippedAtTheLast) {
    const struct {
        std::string path;
        std::string extension;
        std::string stripped;
    } cases[] = {
        {"C:\\w\\a.b.txt", ".b.txt", "C:\\w\\a.b"},
        {"C:\\w\\noext", "", "C:\\w\\noext"},
        {"noext.d\\file", ".d\\file", "noext.d\\file"},  // relative: the whole path is searched
        {"C:\\w.d\\file", "", "C:\\w.d\\file"},
        {"C:\\w.d\\", "", "C:\\w"},
        {"C:a.txt", "", "C:a"},
        {"D:\\w\\report.doc.crp", ".doc.crp", "D:\\w\\report.doc"},
        {std::string("C:\\") + kTable + ".txt", ".txt", std::string("C:\\") + kTable},
    };
    for (const auto& c : cases) {
        Path path(c.path);
        EXPECT_EQ(c.extension, GetExtension(path.text)) << c.path;
        char* cut = StripExtension(path.text);
        EXPECT_EQ(c.stripped, path.str()) << c.path;
        EXPECT_EQ(c.stripped == c.path ? nullptr : path.text + c.stripped.size(), cut) << c.path;
    }
}

TEST(PathUtilsTest, LengtheningStopsAt259Bytes) {
    Path fits(Repeat('a', 255));
    EXPECT_TRUE(AppendLimited(fits.text, ".crp"));
    EXPECT_EQ(259u, std::strlen(fits.text));
    Path refused(Repeat('a', 256));
    EXPECT_FALSE(AppendLimited(refused.text, ".crp"));
    EXPECT_EQ(Repeat('a', 256), refused.str());

    Path room(Repeat('a', 258));
    EXPECT_EQ(room.text + 259, AddBackslash(room.text));
    Path full(Repeat('a', 259));
    EXPECT_EQ(nullptr, AddBackslash(full.text));
    EXPECT_EQ(Repeat('a', 259), full.str());
    Path ending(Repeat('a', 258) + "\\");
    EXPECT_EQ(ending.text + 259, AddBackslash(ending.text));
    Path afterTable(std::string("C:\\") + kTable);
    EXPECT_EQ(afterTable.text + 6, AddBackslash(afterTable.text));
}

TEST(PathUtilsTest, JoinPath) {
    const struct {
        std::string folder;
        std::string name;
        bool ok;
        std::string result;
    } cases[] = {
        {std::string("C:\\") + kTable, "*.*", true, std::string("C:\\") + kTable + "\\*.*"},
        {"C:\\", "x", true, "C:\\x"},
        {"", "x", true, "x"},
        {"C:\\d", "", true, "C:\\d"},
        {Repeat('f', 248), "0123456789", true, Repeat('f', 248) + "\\0123456789"},
        {Repeat('f', 255), "0123456789", false, Repeat('f', 255) + "\\"},
        {Repeat('f', 259), "x", false, Repeat('f', 259)},
    };
    for (const auto& c : cases) {
        Path path(c.folder);
        EXPECT_EQ(c.ok, JoinPath(path.text, c.name.c_str())) << c.folder.size();
        EXPECT_EQ(c.result, path.str()) << c.folder.size();
    }
    // In a folder walk a bare drive is its current folder: no separator.
    const struct {
        const char* folder;
        const char* result;
    } walked[] = {{"C:", "C:x"}, {"c:", "c:x"}, {"C:\\", "C:\\x"}, {"C:d", "C:d\\x"}, {"", "x"}};
    for (const auto& c : walked) {
        Path path(c.folder);
        EXPECT_TRUE(JoinInFolder(path.text, "x")) << c.folder;
        EXPECT_EQ(c.result, path.str()) << c.folder;
    }
    char out[kMaxPath];
    EXPECT_EQ(out, CombinePath(out, "C:\\d", "x"));
    EXPECT_STREQ("C:\\d\\x", out);
    EXPECT_STREQ("C:\\d\\x", CombinePath(out, "C:\\d\\", "x"));
}

TEST(PathUtilsTest, QuotePath) {
    const struct {
        std::string path;
        bool ok;
        std::string result;
    } cases[] = {
        {"a", true, "\"a\""},
        {"", true, "\"\""},
        {"\"a", true, "\"a\""},
        {"a\"", true, "\"a\""},
        {"\"a b\"", true, "\"a b\""},
        {Repeat('a', 257), true, "\"" + Repeat('a', 257) + "\""},
        {Repeat('a', 258), false, Repeat('a', 258)},
        {"\"" + Repeat('a', 257), true, "\"" + Repeat('a', 257) + "\""},
        {"\"" + Repeat('a', 258), false, "\"" + Repeat('a', 258)},
    };
    for (const auto& c : cases) {
        Path path(c.path);
        EXPECT_EQ(c.ok, QuotePath(path.text)) << c.path;
        EXPECT_EQ(c.result, path.str()) << c.path;
    }
}

}  // namespace
}  // namespace zorv
