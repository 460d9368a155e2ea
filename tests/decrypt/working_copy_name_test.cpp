// Naming the working copy of an edit session: its folder, the cut extension
// and the "(n)" search, including the bounds that keep a name inside its
// 260-byte buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "app/path_utils.h"
#include "decrypt/reencrypt_session.h"

namespace zorv {
namespace {

// The names MakeUniqueName will find taken.
std::set<std::string> g_taken;
bool IsTaken(const char* path) {
    return g_taken.count(path) != 0;
}

TEST(WorkingCopyName, FolderAndCutExtension) {
    struct Case {
        const char* encrypted;
        const char* tempFolder;  // null: beside the .crp file
        const char* expected;
    };
    const Case cases[] = {
        {"D:\\docs\\memo.txt.crp", nullptr, "D:\\docs\\memo.txt"},
        {"D:\\docs\\memo.txt.crp", "C:\\Temp\\", "C:\\Temp\\memo.txt"},
        {"D:\\docs\\memo.txt.crp", "C:\\Temp", "C:\\Temp\\memo.txt"},
        {"D:\\docs\\B.CRP", nullptr, "D:\\docs\\B"},
        {"D:\\docs\\notes", nullptr, "D:\\docs\\notes"},  // no dot: the name stays
        {"D:\\a.b\\notes", nullptr, "D:\\a.b\\notes"},    // a dot in a folder is no extension
        {"D:\\docs\\archive.tar.gz.crp", "C:\\T\\", "C:\\T\\archive.tar.gz"},
        // \x95\x5c is one double-byte character whose second byte is '\'.
        {"D:\\\x95\x5c\\\x95\x5c.txt.crp", "C:\\T\\", "C:\\T\\\x95\x5c.txt"},
        {"\x95\x5c.crp", nullptr, "\x95\x5c"},
    };
    for (const Case& c : cases) {
        char name[kMaxPath];
        ASSERT_TRUE(BuildWorkingCopyName(c.encrypted, c.tempFolder, name)) << c.encrypted;
        EXPECT_STREQ(name, c.expected) << c.encrypted;
    }
}

TEST(WorkingCopyName, RefusesWhatDoesNotFit) {
    const std::string folder = "C:\\" + std::string(240, 'f') + "\\";
    const std::string longName = "D:\\docs\\" + std::string(30, 'n') + ".txt.crp";
    char name[kMaxPath];
    // The join would not fit: never the folder alone, never a cut name.
    EXPECT_FALSE(BuildWorkingCopyName(longName.c_str(), folder.c_str(), name));
    const std::string tooLong = "D:\\" + std::string(260, 'x') + ".crp";
    EXPECT_FALSE(BuildWorkingCopyName(tooLong.c_str(), nullptr, name));
    // Exactly 259 bytes is still a path.
    const std::string longest = "D:\\" + std::string(252, 'x') + ".crp";
    ASSERT_EQ(longest.size(), 259u);
    ASSERT_TRUE(BuildWorkingCopyName(longest.c_str(), nullptr, name));
    EXPECT_EQ(std::string(name), longest.substr(0, 255));
}

TEST(WorkingCopyName, UniqueNameNumbersBeforeTheFirstDotOfTheName) {
    struct Case {
        const char* path;
        std::set<std::string> taken;
        const char* expected;
    };
    const Case cases[] = {
        {"C:\\Temp\\report.doc", {}, "C:\\Temp\\report.doc"},
        {"C:\\Temp\\report.doc", {"C:\\Temp\\report.doc"}, "C:\\Temp\\report(1).doc"},
        {"C:\\Temp\\report.doc",
         {"C:\\Temp\\report.doc", "C:\\Temp\\report(1).doc"},
         "C:\\Temp\\report(2).doc"},
        {"C:\\Temp\\archive.tar.gz", {"C:\\Temp\\archive.tar.gz"}, "C:\\Temp\\archive(1).tar.gz"},
        {"C:\\data\\notes", {"C:\\data\\notes"}, "C:\\data\\notes(1)"},
        {"C:\\a.b\\notes", {"C:\\a.b\\notes"}, "C:\\a.b\\notes(1)"},
        {"C:\\T\\\x95\x5c.txt", {"C:\\T\\\x95\x5c.txt"}, "C:\\T\\\x95\x5c(1).txt"},
        // Relative paths: dots in the folder part are not the extension.
        {"a.b\\notes", {"a.b\\notes"}, "a.b\\notes(1)"},
        {"a.b\\memo.txt", {"a.b\\memo.txt"}, "a.b\\memo(1).txt"},
        {"memo.txt", {"memo.txt"}, "memo(1).txt"},
    };
    for (const Case& c : cases) {
        g_taken = c.taken;
        char path[kMaxPath] = {};
        std::string(c.path).copy(path, kMaxPath - 1);
        ASSERT_TRUE(MakeUniqueName(path, IsTaken)) << c.path;
        EXPECT_STREQ(path, c.expected) << c.path;
    }
}

TEST(WorkingCopyName, UniqueNameSearchStopsAt9999) {
    g_taken = {"C:\\T\\a.txt"};
    for (int n = 1; n <= 9998; ++n) {
        g_taken.insert("C:\\T\\a(" + std::to_string(n) + ").txt");
    }
    char path[kMaxPath] = "C:\\T\\a.txt";
    ASSERT_TRUE(MakeUniqueName(path, IsTaken));
    EXPECT_STREQ(path, "C:\\T\\a(9999).txt");

    g_taken.insert("C:\\T\\a(9999).txt");
    char full[kMaxPath] = "C:\\T\\a.txt";
    EXPECT_FALSE(MakeUniqueName(full, IsTaken));
    EXPECT_STREQ(full, "C:\\T\\a.txt");
}

TEST(WorkingCopyName, UniqueNameNeverWritesPastTheBuffer) {
    // 257 bytes: "(1)" would make 260.
    const std::string name = "C:\\" + std::string(250, 'n') + ".txt";
    ASSERT_EQ(name.size(), 257u);
    g_taken = {name};
    char path[kMaxPath + 8];
    std::memset(path, '#', sizeof path);
    name.copy(path, name.size());
    path[name.size()] = '\0';
    EXPECT_FALSE(MakeUniqueName(path, IsTaken));
    EXPECT_EQ(std::string(path), name);
    EXPECT_EQ(path[kMaxPath], '#');

    // 256 bytes: "(1)" makes exactly 259, and "(10)" would not fit.
    const std::string shorter = name.substr(0, 3) + name.substr(4);
    g_taken = {shorter};
    char fits[kMaxPath] = {};
    shorter.copy(fits, shorter.size());
    ASSERT_TRUE(MakeUniqueName(fits, IsTaken));
    EXPECT_EQ(std::strlen(fits), 259u);
    for (int n = 1; n <= 9; ++n) {
        g_taken.insert(shorter.substr(0, shorter.size() - 4) + "(" + std::to_string(n) + ").txt");
    }
    shorter.copy(fits, shorter.size());
    fits[shorter.size()] = '\0';
    EXPECT_FALSE(MakeUniqueName(fits, IsTaken));
    EXPECT_EQ(std::string(fits), shorter);
}

}  // namespace
}  // namespace zorv
