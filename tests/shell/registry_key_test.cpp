#include "shell/registry_key.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "shell/registry_fixture.h"

namespace zorv {
namespace {

using test::KeyExists;
using test::ReadValue;
using test::RegistryTest;
using test::WriteDefault;

using RegistryKeyTest = RegistryTest;

TEST_F(RegistryKeyTest, StringsRoundTripAndCloseReportsWhetherAKeyWasHeld) {
    RegistryKey key;
    EXPECT_FALSE(key.Close());
    EXPECT_FALSE(key.SetString(nullptr, "x"));
    ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, TestPath("a\\b").c_str()));
    EXPECT_TRUE(key.SetString(nullptr, "default text"));
    EXPECT_TRUE(key.SetString("Named", ""));
    char buffer[32];
    EXPECT_TRUE(key.QueryString(nullptr, buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "default text");
    EXPECT_TRUE(key.QueryString("Named", buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "");
    EXPECT_TRUE(key.Close());
    EXPECT_FALSE(key.Close());
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, TestPath("a\\b")), "default text");
}

TEST_F(RegistryKeyTest, QueryStringAcceptsOnlyFittingStringValues) {
    const std::string path = TestPath("values");
    WriteDefault(HKEY_CURRENT_USER, path, "12345678");
    HKEY raw = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, &raw),
              ERROR_SUCCESS);
    RegistryKey key(raw);
    const DWORD number = 7;
    ASSERT_EQ(RegSetValueExA(raw, "Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                             sizeof number),
              ERROR_SUCCESS);
    ASSERT_EQ(
        RegSetValueExA(raw, "Expand", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>("%TEMP%"), 7),
        ERROR_SUCCESS);
    // Stored without its terminator.
    ASSERT_EQ(RegSetValueExA(raw, "Bare", 0, REG_SZ, reinterpret_cast<const BYTE*>("abc"), 3),
              ERROR_SUCCESS);

    struct Case {
        const char* name;
        DWORD size;
        bool result;
        const char* text;
    };
    const Case cases[] = {
        {nullptr, 9, true, "12345678"},  // exactly fits with its terminator
        {nullptr, 8, false, ""},         // one byte short
        {"Missing", 32, false, ""},     {"Expand", 32, false, "%TEMP%"},  // read, but not REG_SZ
        {"Bare", 4, true, "abc"},       {"Bare", 3, false, ""},  // no room left for the terminator
    };
    for (const Case& c : cases) {
        char buffer[32];
        std::memset(buffer, 'z', sizeof buffer);
        EXPECT_EQ(key.QueryString(c.name, buffer, c.size), c.result) << (c.name ? c.name : "()");
        EXPECT_STREQ(buffer, c.text) << (c.name ? c.name : "()");
    }
    char buffer[32];
    EXPECT_FALSE(key.QueryString("Number", buffer, sizeof buffer));
}

TEST_F(RegistryKeyTest, OpenFailsOnAMissingKeyAndMovesTransferOwnership) {
    RegistryKey key;
    EXPECT_FALSE(key.Open(HKEY_CURRENT_USER, TestPath("absent").c_str()));
    EXPECT_EQ(key.Get(), nullptr);
    ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, TestPath("present").c_str()));
    RegistryKey moved(std::move(key));
    EXPECT_EQ(key.Get(), nullptr);
    EXPECT_TRUE(moved.SetString(nullptr, "moved"));
    RegistryKey assigned;
    assigned = std::move(moved);
    EXPECT_TRUE(assigned.SetString(nullptr, "assigned"));
    EXPECT_FALSE(moved.Close());
    EXPECT_TRUE(assigned.Close());
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, TestPath("present")), "assigned");
}

using DeleteKeyTreeTest = RegistryTest;

TEST_F(DeleteKeyTreeTest, RemovesNestedKeysAndLeavesSiblings) {
    for (const char* path : {"tree\\a\\b\\c", "tree\\a\\d", "tree\\e", "tree\\f\\g\\h\\i"}) {
        WriteDefault(HKEY_CURRENT_USER, TestPath(path), path);
    }
    WriteDefault(HKEY_CURRENT_USER, TestPath("sibling"), "stays");
    HKEY root = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, test::kTestRoot, 0, KEY_ALL_ACCESS, &root),
              ERROR_SUCCESS);
    RegistryKey owner(root);
    EXPECT_TRUE(DeleteKeyTree(root, "tree"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, TestPath("tree")));
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, TestPath("sibling")), "stays");
}

TEST_F(DeleteKeyTreeTest, MissingKeyGivesFalse) {
    WriteDefault(HKEY_CURRENT_USER, TestPath("other"), "x");
    EXPECT_FALSE(DeleteKeyTree(HKEY_CURRENT_USER, TestPath("absent").c_str()));
    EXPECT_FALSE(DeleteKeyTree(HKEY_CURRENT_USER, TestPath("absent\\deeper").c_str()));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, TestPath("other")));
}

TEST_F(DeleteKeyTreeTest, RemovesAKeyGivenAsAPath) {
    WriteDefault(HKEY_CURRENT_USER, TestPath("x\\y\\z"), "deep");
    EXPECT_TRUE(DeleteKeyTree(HKEY_CURRENT_USER, TestPath("x\\y").c_str()));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, TestPath("x\\y")));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, TestPath("x")));
}

}  // namespace
}  // namespace zorv
