// File-system queries under Wine with code page 932.
#include "app/file_system.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/path_utils.h"
#include "support/win32_test_support.h"

namespace zorv {
namespace {

constexpr char kTable[] = "\x95\x5C";  // a double-byte character ending in 0x5C

struct Buffer {
    char text[kMaxPath];
    explicit Buffer(const std::string& s) {
        std::memset(text, 0, sizeof text);
        std::memcpy(text, s.data(), s.size() < kMaxPath - 1 ? s.size() : kMaxPath - 1);
    }
};

// ResolveFoundName over names that all have an exact ANSI form.
bool Resolve(const char* path, char* output) {
    bool inexact = true;
    const bool found = ResolveFoundName(path, output, &inexact);
    EXPECT_FALSE(inexact) << path;
    return found;
}

class FileSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(932u, GetACP());
        ASSERT_TRUE(WriteWholeFile(folder_.Join("Report.Doc"), "x"));
        ASSERT_TRUE(CreateDirectoryA(folder_.Join("sub").c_str(), nullptr));
    }
    TempFolder folder_;
};

TEST_F(FileSystemTest, ExistenceAndFolders) {
    const struct {
        std::string path;
        bool exists;
        bool folder;
    } cases[] = {
        {folder_.Join("Report.Doc"), true, false},
        {folder_.Join("report.doc"), true, false},
        {folder_.Join("Rep*.d?c"), true, false},
        {folder_.Join("missing"), false, false},
        {folder_.Join("sub"), true, true},
        {folder_.Join("sub\\"), false, true},        // a final backslash names no entry
        {folder_.Path().substr(0, 3), false, true},  // the drive root
        {"", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.exists, PathExists(c.path.c_str())) << c.path;
        EXPECT_EQ(c.folder, IsFolder(c.path.c_str())) << c.path;
    }
}

TEST_F(FileSystemTest, FolderNameEndingInA5CByte) {
    const std::string named = folder_.Join(std::string("a") + kTable);
    ASSERT_TRUE(CreateDirectoryA(named.c_str(), nullptr));
    ASSERT_TRUE(WriteWholeFile(named + "\\x.txt", "x"));
    EXPECT_TRUE(IsFolder(named.c_str()));
    Buffer pattern(named);
    ASSERT_TRUE(JoinPath(pattern.text, "*.*"));
    EXPECT_EQ(named + "\\*.*", pattern.text);
    EXPECT_TRUE(PathExists(pattern.text));
    Buffer resolved(named + "\\X.TXT");
    EXPECT_TRUE(Resolve(resolved.text, resolved.text));
    EXPECT_EQ(named + "\\x.txt", resolved.text);
}

TEST_F(FileSystemTest, ResolveFoundNameTakesTheStoredName) {
    const struct {
        std::string path;
        std::string resolved;
    } cases[] = {
        {folder_.Join("REPORT.DOC"), folder_.Join("Report.Doc")},
        {folder_.Join("rep*"), folder_.Join("Report.Doc")},
        {folder_.Join("SUB"), folder_.Join("sub")},
        {folder_.Path() + "/report.doc", folder_.Path() + "/Report.Doc"},
    };
    for (const auto& c : cases) {
        char output[kMaxPath] = "untouched";
        EXPECT_TRUE(Resolve(c.path.c_str(), output)) << c.path;
        EXPECT_EQ(c.resolved, output) << c.path;
        Buffer inPlace(c.path);
        EXPECT_TRUE(Resolve(inPlace.text, inPlace.text)) << c.path;
        EXPECT_EQ(c.resolved, inPlace.text) << c.path;
    }
    char output[kMaxPath] = "untouched";
    EXPECT_FALSE(Resolve(folder_.Join("missing*").c_str(), output));
    EXPECT_STREQ("untouched", output);
}

TEST_F(FileSystemTest, ResolveFoundNameOfAShortName) {
    const std::string longName = folder_.Join("a rather long file name.text");
    ASSERT_TRUE(WriteWholeFile(longName, "x"));
    char shortName[MAX_PATH];
    const DWORD length = GetShortPathNameA(longName.c_str(), shortName, MAX_PATH);
    if (length == 0 || longName == shortName) {
        GTEST_SKIP() << "no short names on this file system";
    }
    char output[kMaxPath];
    ASSERT_TRUE(Resolve(shortName, output));
    EXPECT_STREQ(GetFileNamePart(longName.c_str()), GetFileNamePart(output));
}

// Mend: when the found name does not fit beside the folder, the item stays
// exactly as written rather than becoming its folder.
TEST_F(FileSystemTest, ResolveFoundNameKeepsAnItemWhoseNameDoesNotFit) {
    const std::string longName = "x" + std::string(240, 'n');
    std::wstring wide = L"\\\\?\\";
    for (char c : folder_.Join(longName)) {
        wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
    }
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    CloseHandle(file);
    const std::string written = folder_.Join("x*");
    ASSERT_GT(folder_.Join(longName).size(), 259u);

    Buffer item(written);
    EXPECT_TRUE(Resolve(item.text, item.text));
    EXPECT_EQ(written, item.text);
    char output[kMaxPath];
    EXPECT_TRUE(Resolve(written.c_str(), output));
    EXPECT_EQ(written, output);
    DeleteFileW(wide.c_str());
}

// Mend: a name without a backslash gets the found name in place of its last
// component, without a separator in front.
TEST_F(FileSystemTest, ResolveFoundNameOfBareAndDriveRelativeNames) {
    char previous[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(folder_.Path().c_str()));
    const std::string drive = folder_.Path().substr(0, 2);  // "X:"
    const struct {
        std::string path;
        std::string resolved;
    } cases[] = {
        {"report.doc", "Report.Doc"},
        {"r*", "Report.Doc"},
        {drive + "REPORT.DOC", drive + "Report.Doc"},
        {"sub\\..\\REPORT.DOC", "sub\\..\\Report.Doc"},
    };
    for (const auto& c : cases) {
        char output[kMaxPath];
        EXPECT_TRUE(Resolve(c.path.c_str(), output)) << c.path;
        EXPECT_EQ(c.resolved, output) << c.path;
    }
    // Components that name no entry of their own stay as written.
    for (const std::string& path : {std::string("sub\\.."), std::string("sub\\."), drive}) {
        char output[kMaxPath] = "untouched";
        if (Resolve(path.c_str(), output)) {
            EXPECT_EQ(path, output);
        } else {
            EXPECT_STREQ("untouched", output);
        }
    }
    SetCurrentDirectoryA(previous);
}

TEST_F(FileSystemTest, MakeTempFileNameCreatesAnEmptyCrpFile) {
    char first[kMaxPath];
    char second[kMaxPath];
    ASSERT_EQ(0, MakeTempFileName("crp", first));
    ASSERT_EQ(0, MakeTempFileName("crp", second));
    EXPECT_STRNE(first, second);
    for (const char* name : {first, second}) {
        // The unique part is up to four hex digits: Windows pads it to four,
        // Wine writes it without leading zeros.
        const std::string leaf = GetFileNamePart(name);
        const std::string digits = leaf.size() > 7 ? leaf.substr(3, leaf.size() - 7) : "";
        EXPECT_TRUE(MatchPattern(leaf.c_str(), "crp*.tmp")) << name;
        EXPECT_TRUE(!digits.empty() && digits.size() <= 4 &&
                    digits.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos)
            << name;
        EXPECT_TRUE(IsAbsolutePath(name)) << name;
        WIN32_FILE_ATTRIBUTE_DATA data;
        ASSERT_TRUE(GetFileAttributesExA(name, GetFileExInfoStandard, &data)) << name;
        EXPECT_EQ(0u, data.nFileSizeLow);
        DeleteFileA(name);
    }
}

TEST_F(FileSystemTest, MakeTempFileNameFailsInAMissingTemporaryFolder) {
    char savedTmp[MAX_PATH] = "";
    char savedTemp[MAX_PATH] = "";
    const DWORD hadTmp = GetEnvironmentVariableA("TMP", savedTmp, MAX_PATH);
    const DWORD hadTemp = GetEnvironmentVariableA("TEMP", savedTemp, MAX_PATH);
    const std::string missing = folder_.Join("missing");
    SetEnvironmentVariableA("TMP", missing.c_str());
    SetEnvironmentVariableA("TEMP", missing.c_str());
    char output[kMaxPath] = "untouched";
    const int result = MakeTempFileName("crp", output);
    SetEnvironmentVariableA("TMP", hadTmp != 0 ? savedTmp : nullptr);
    SetEnvironmentVariableA("TEMP", hadTemp != 0 ? savedTemp : nullptr);
    EXPECT_EQ(-1, result);
    EXPECT_STREQ("untouched", output);
}

TEST(ToWideTest, ConvertsWithTheProcessCodePage) {
    wchar_t wide[8];
    EXPECT_EQ(3, ToWide("a\x95\x5C", wide, 8));
    EXPECT_EQ(std::wstring(L"a\x8868"), wide);
    wchar_t small[2] = {L'x', L'x'};
    EXPECT_EQ(0, ToWide("abc", small, 2));
    EXPECT_EQ(0, small[0]);
    EXPECT_EQ(0, small[1]);
}

}  // namespace
}  // namespace zorv
