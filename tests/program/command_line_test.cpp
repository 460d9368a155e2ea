// SplitCommandLine: the scanning rules, double-byte characters, resolution
// of each item against the file system, names without an exact ANSI form,
// and the block's layout, also when the names change between its two
// passes.
#include "program/command_line.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "support/win32_test_support.h"

namespace zorv {
namespace {

// The command line as the program gets it: the wide form of the test's
// code page 932 text.
std::wstring Wide(const std::string& cp932);

FileList Split(const std::string& cp932) {
    return SplitCommandLine(Wide(cp932).c_str());
}

std::wstring Wide(const std::string& cp932) {
    std::wstring wide(cp932.size() + 1, L'\0');
    const int length =
        MultiByteToWideChar(932, 0, cp932.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    wide.resize(length > 0 ? static_cast<std::size_t>(length - 1) : 0);
    return wide;
}

bool WriteWide(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    return file != INVALID_HANDLE_VALUE && CloseHandle(file);
}

std::vector<std::string> Items(const FileList& list) {
    std::vector<std::string> items;
    for (int i = 0; i < list.Count(); ++i) {
        items.push_back(list.Item(i));
    }
    return items;
}

// Names below exist nowhere near the test's working folder, so resolution
// leaves them unchanged.
TEST(SplitCommandLine, ScanningRules) {
    const struct {
        const char* text;
        std::vector<std::string> items;
    } cases[] = {
        {"prog alpha beta", {"prog", "alpha", "beta"}},
        {"\"C:\\no such\\prog.exe\"  alpha", {"C:\\no such\\prog.exe", "alpha"}},
        {"prog    ", {"prog"}},
        {"   prog", {"prog"}},
        {"", {}},
        {"prog \"alpha beta\"gamma delta", {"prog", "alpha beta", "gamma", "delta"}},
        {"prog alpha\"beta gamma\"", {"prog", "alpha\"beta", "gamma\""}},
        {"prog \"unterminated text", {"prog", "unterminated text"}},
        {"prog \"\" alpha", {"prog", "", "alpha"}},
        {"prog \"\"\"\"", {"prog", "", ""}},
        {"prog alpha\tbeta", {"prog", "alpha\tbeta"}},
        {"prog -c -D", {"prog", "-c", "-D"}},
    };
    for (const auto& c : cases) {
        FileList list = Split(c.text);
        ASSERT_TRUE(list.IsValid()) << c.text;
        EXPECT_EQ(Items(list), c.items) << c.text;
    }
}

// Code page 932: a double-byte character is one unit, so its second byte
// never ends an item, whatever its value.
TEST(SplitCommandLine, DoubleByteCharactersAreUnits) {
    const struct {
        const char* text;
        std::vector<std::string> items;
    } cases[] = {
        // 0x95 0x5C is one character whose second byte looks like a backslash.
        {"prog C:\\\x95\x5C\\x.doc", {"prog", "C:\\\x95\x5C\\x.doc"}},
        {"prog \"\x82\xA0\x82\xA2\"tail", {"prog", "\x82\xA0\x82\xA2", "tail"}},
    };
    for (const auto& c : cases) {
        FileList list = Split(c.text);
        ASSERT_TRUE(list.IsValid());
        EXPECT_EQ(Items(list), c.items) << c.text;
    }
}

TEST(SplitCommandLine, ItemsAreResolvedToTheStoredName) {
    TempFolder temp;
    const std::string report = temp.Join("Report.CRP");
    const std::string kanjiFolder = temp.Join("\x95\x5C");  // a name ending in byte 0x5C
    const std::string memo = temp.Join("\x95\x5C\\Memo.Txt");
    ASSERT_TRUE(WriteWholeFile(report, ""));
    ASSERT_TRUE(CreateDirectoryA(kanjiFolder.c_str(), nullptr)) << kanjiFolder;
    ASSERT_TRUE(WriteWholeFile(memo, ""));
    const std::string& root = temp.Path();
    const struct {
        std::string item;
        std::string expected;
    } cases[] = {
        {root + "\\report.crp", report},        {root + "\\REP*.crp", report},
        {root + "\\Rep?rt.CRP", report},        {root + "\\\x95\x5C\\memo.txt", memo},
        {root + "\\\x95\x5C\\*.txt", memo},     {root + "\\absent.doc", root + "\\absent.doc"},
        {root + "\\*.none", root + "\\*.none"},
    };
    for (const auto& c : cases) {
        FileList list = Split("prog \"" + c.item + "\"");
        ASSERT_EQ(list.Count(), 2) << c.item;
        EXPECT_EQ(std::string(list.Item(1)), c.expected) << c.item;
    }
    // Other letter case, resolved unquoted too, next to an unchanged item.
    FileList list = Split("prog " + root + "\\REPORT.crp -d");
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(std::string(list.Item(1)), report);
    EXPECT_EQ(std::string(list.Item(2)), "-d");
}

// Items whose wide form has no exact ANSI form are refused, whether typed so
// or found so by resolution; their text is the shown form, with '?' where a
// character has none. Items around them are unaffected.
TEST(SplitCommandLine, ItemsWithoutAnExactFormAreRefused) {
    TempFolder temp;
    const std::wstring root = Wide(temp.Path());
    ASSERT_TRUE(WriteWide(root + L"\\caf\u00E9.txt"));
    ASSERT_TRUE(WriteWide(root + L"\\cafe.txt"));
    ASSERT_TRUE(WriteWide(root + L"\\r\u00E9sum\u00E9.doc"));
    const struct {
        std::wstring item;
        bool refused;
        std::string shown;  // after the folder and its backslash
    } cases[] = {
        {L"caf\u00E9.txt", true, "caf?.txt"},
        {L"cafe.txt", false, "cafe.txt"},
        {L"..\u00A5victim.txt", true, "..?victim.txt"},
        {L"\uD55C\uAD6D", true, "??"},
        {L"\U0001F600.txt", true, "?.txt"},
        {L"\u0391\u03B2.txt", false, "\x83\x9F\x83\xC0.txt"},
        {L"caf\u00E9*.txt", true, "caf?*.txt"},
        {L"r*.doc", true, "r?sum?.doc"},  // resolved to the only match
    };
    for (const auto& c : cases) {
        const std::wstring line = L"prog \"" + root + L"\\" + c.item + L"\" tail";
        FileList list = SplitCommandLine(line.c_str());
        ASSERT_EQ(list.Count(), 3);
        EXPECT_EQ(list.IsRefused(1), c.refused) << c.shown;
        EXPECT_EQ(std::string(list.Item(1)), temp.Join(c.shown));
        EXPECT_FALSE(list.IsRefused(2));
        EXPECT_EQ(std::string(list.Item(2)), "tail");
    }
}

TEST(SplitCommandLine, ItemsOfAPathsLengthOrMoreStayAsWritten) {
    for (std::size_t length : {259u, 260u, 600u}) {
        std::string item(length, 'x');
        FileList list = Split("prog " + item + " y");
        ASSERT_EQ(list.Count(), 3);
        EXPECT_EQ(std::string(list.Item(1)), item);
        EXPECT_EQ(std::string(list.Item(2)), "y");
    }
}

// One block: count pointers, then the strings in order, each pointer into
// the block, nothing in between.
TEST(SplitCommandLine, BlockHoldsPointersThenStrings) {
    FileList list = Split("prog \"two words\"  x");
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.BlockSize(), 3 * sizeof(char*) + 5 + 10 + 2);
    const char* text = reinterpret_cast<const char*>(list.Items()) + 3 * sizeof(char*);
    EXPECT_EQ(list.Text(), text);
    EXPECT_EQ(list.Item(0), text);
    EXPECT_EQ(list.Item(1), text + 5);
    EXPECT_EQ(list.Item(2), text + 5 + 10);
    EXPECT_EQ(GlobalSize(list.Items()), list.BlockSize());

    FileList moved = std::move(list);
    EXPECT_FALSE(list.IsValid());
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(std::string(moved.Item(1)), "two words");
}

// Names read twice from a source whose names change between the passes (a
// folder renamed meanwhile, say): every copy stays inside the block the first
// pass measured.
class ChangingNames : public NameSource {
public:
    ChangingNames(std::vector<std::string> first, std::vector<std::string> second)
        : passes_{std::move(first), std::move(second)} {}

    // The first restart begins the measuring pass, every later one the copy.
    void Restart() override {
        pass_ = restarts_++ == 0 ? 0 : 1;
        next_ = 0;
    }
    bool Next(char* out, std::size_t room, std::size_t* length) override {
        const std::vector<std::string>& names = passes_[pass_];
        if (next_ >= names.size()) {
            return false;
        }
        const std::string& name = names[next_++];
        *length = name.size();
        if (out != nullptr) {
            *length = std::min(name.size(), room - 1);
            name.copy(out, *length);
            out[*length] = '\0';
        }
        return true;
    }

private:
    std::vector<std::string> passes_[2];
    std::size_t pass_ = 0;
    std::size_t next_ = 0;
    int restarts_ = 0;
};

TEST(FillFileList, NamesThatChangeBetweenThePassesStayInsideTheBlock) {
    const struct {
        std::vector<std::string> first;
        std::vector<std::string> second;
        std::vector<std::string> items;  // "<null>" for an item no name came for
    } cases[] = {
        {{"ab", "cd"}, {"ab", "cd"}, {"ab", "cd"}},
        {{"abc", "d"}, {"a", "d"}, {"a", "d"}},
        {{"ab", "cd"}, {"abcdef", "cd"}, {"abcde", ""}},
        {{"ab", "cd"}, {"ab"}, {"ab", "<null>"}},
    };
    for (const auto& c : cases) {
        ChangingNames source(c.first, c.second);
        FileList list = FillFileList(source);
        ASSERT_EQ(list.Count(), static_cast<int>(c.items.size()));
        const char* blockEnd = reinterpret_cast<const char*>(list.Items()) + list.BlockSize();
        std::vector<std::string> items;
        for (int i = 0; i < list.Count(); ++i) {
            const char* item = list.Item(i);
            if (item == nullptr) {
                items.push_back("<null>");
                continue;
            }
            EXPECT_TRUE(item >= list.Text() && item + std::strlen(item) < blockEnd) << c.items[0];
            items.push_back(item);
        }
        EXPECT_EQ(items, c.items);
    }
}

}  // namespace
}  // namespace zorv
