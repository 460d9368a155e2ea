#include "shell/association.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/path_utils.h"
#include "shell/registry_fixture.h"

namespace zorv {
namespace {

using test::CreateKey;
using test::KeyExists;
using test::kMissing;
using test::MakeReadOnly;
using test::ReadValue;
using test::WriteDefault;

const char kSharedPrefix[] = "Software\\ZorvTest\\Shared";
const char kUserPrefix[] = "Software\\ZorvTest\\User";

std::string Executable() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

// The four default values as the association must hold them.
std::vector<std::string> ExpectedValues() {
    return {"Zorv.Encryptedfile", "Zorv Encrypted File", Executable() + ",1",
            "\"" + Executable() + "\" \"%1\""};
}

std::vector<std::string> ReadValues(HKEY parent, const std::string& prefix) {
    const std::string base = prefix.empty() ? "" : prefix + "\\";
    return {ReadValue(parent, base + ".crp"), ReadValue(parent, base + "Zorv.Encryptedfile"),
            ReadValue(parent, base + "Zorv.Encryptedfile\\DefaultIcon"),
            ReadValue(parent, base + "Zorv.Encryptedfile\\shell\\Open\\command")};
}

const std::vector<std::string> kNothing(4, kMissing);

class AssociationTest : public test::RegistryTest {
protected:
    static std::string Shared(const std::string& name) {
        return std::string(kSharedPrefix) + "\\" + name;
    }
    static std::string User(const std::string& name) {
        return std::string(kUserPrefix) + "\\" + name;
    }
    const AssociationRoots roots_{{HKEY_CURRENT_USER, kSharedPrefix},
                                  {HKEY_CURRENT_USER, kUserPrefix}};
};

// The command is always quoted, also for the longest executable paths; a
// buffer too small for the quotes gives no command rather than a bare path.
TEST(OpenCommand, LongestPathsAreQuotedOrNothingIsMade) {
    const struct {
        std::size_t pathLength;
        std::size_t size;
        bool made;
    } cases[] = {{10, kMaxPath + 16, true},
                 {258, kMaxPath + 16, true},
                 {259, kMaxPath + 16, true},
                 {259, 259 + 7, false}};
    for (const auto& c : cases) {
        const std::string path = "C:\\" + std::string(c.pathLength - 3, 'z');
        std::vector<char> command(c.size, 'x');
        EXPECT_EQ(BuildOpenCommand(path.c_str(), command.data(), command.size()), c.made)
            << c.pathLength;
        EXPECT_EQ(std::string(command.data()), c.made ? "\"" + path + "\" \"%1\"" : "")
            << c.pathLength;
    }
}

TEST_F(AssociationTest, OnWritesTheFourValuesTheSameEveryTimeAndKeepsOtherKeys) {
    WriteDefault(HKEY_CURRENT_USER, Shared("Zorv.Encryptedfile\\shell\\Print\\command"), "print");
    WriteDefault(HKEY_CURRENT_USER, Shared(".crp\\OpenWithProgids"), "other");
    for (int round = 0; round < 2; ++round) {
        EXPECT_TRUE(SetAssociation(true, roots_));
        EXPECT_EQ(ReadValues(HKEY_CURRENT_USER, kSharedPrefix), ExpectedValues()) << round;
        EXPECT_EQ(ReadValues(HKEY_CURRENT_USER, kUserPrefix), kNothing) << round;
        EXPECT_TRUE(IsAssociated(roots_));
    }
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, Shared("Zorv.Encryptedfile\\shell\\Print\\command")),
              "print");
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, Shared(".crp\\OpenWithProgids")), "other");
}

TEST_F(AssociationTest, OnFallsBackToThePerUserPlaceWhenTheSharedOneRefuses) {
    // An existing machine-wide .crp that a standard user may only read, and a
    // place where no lasting key can be created at all.
    const auto readOnlyForeignKey = [] {
        WriteDefault(HKEY_CURRENT_USER, Shared(".crp"), "Other.Class");
        MakeReadOnly(HKEY_CURRENT_USER, Shared(".crp"));
    };
    const auto volatileRoot = [] {
        CreateKey(HKEY_CURRENT_USER, test::kTestRoot);
        CreateKey(HKEY_CURRENT_USER, kSharedPrefix, REG_OPTION_VOLATILE);
    };
    const std::vector<std::string> foreign = {"Other.Class", kMissing, kMissing, kMissing};
    struct Case {
        void (*prepare)();
        std::vector<std::string> sharedAfter;
    };
    const Case cases[] = {{readOnlyForeignKey, foreign}, {volatileRoot, kNothing}};
    for (const Case& c : cases) {
        SetUp();
        c.prepare();
        EXPECT_TRUE(SetAssociation(true, roots_));
        EXPECT_EQ(ReadValues(HKEY_CURRENT_USER, kUserPrefix), ExpectedValues());
        EXPECT_EQ(ReadValues(HKEY_CURRENT_USER, kSharedPrefix), c.sharedAfter);
        EXPECT_TRUE(IsAssociated(roots_));
    }
}

TEST_F(AssociationTest, OnFailsAndWritesNothingWhenNeitherPlaceAccepts) {
    CreateKey(HKEY_CURRENT_USER, test::kTestRoot);
    CreateKey(HKEY_CURRENT_USER, kSharedPrefix, REG_OPTION_VOLATILE);
    CreateKey(HKEY_CURRENT_USER, kUserPrefix, REG_OPTION_VOLATILE);
    EXPECT_FALSE(SetAssociation(true, roots_));
    EXPECT_EQ(ReadValues(HKEY_CURRENT_USER, kSharedPrefix), kNothing);
    EXPECT_EQ(ReadValues(HKEY_CURRENT_USER, kUserPrefix), kNothing);
}

TEST_F(AssociationTest, OffRemovesBothTreesInBothPlacesWithForeignSubKeys) {
    for (const char* prefix : {kSharedPrefix, kUserPrefix}) {
        const std::string base = std::string(prefix) + "\\";
        WriteDefault(HKEY_CURRENT_USER, base + ".crp", "Some.Other.Program");
        WriteDefault(HKEY_CURRENT_USER, base + ".crp\\ShellNew", "");
        WriteDefault(HKEY_CURRENT_USER, base + "Zorv.Encryptedfile\\shell\\Open\\command", "x");
        WriteDefault(HKEY_CURRENT_USER, base + "Zorv.Encryptedfile\\shell\\Edit\\command", "y");
        WriteDefault(HKEY_CURRENT_USER, base + ".txt", "txtfile");
    }
    EXPECT_TRUE(SetAssociation(false, roots_));
    for (const char* prefix : {kSharedPrefix, kUserPrefix}) {
        const std::string base = std::string(prefix) + "\\";
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, base + ".crp")) << prefix;
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, base + "Zorv.Encryptedfile")) << prefix;
        EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, base + ".txt"), "txtfile") << prefix;
    }
    // Nothing left to remove is not a failure.
    EXPECT_TRUE(SetAssociation(false, roots_));
}

TEST_F(AssociationTest, OffRemovesThePerUserTreeWhenTheSharedOneMayNotBeDeleted) {
    WriteDefault(HKEY_CURRENT_USER, Shared(".crp"), "Other.Class");
    MakeReadOnly(HKEY_CURRENT_USER, Shared(".crp"));
    WriteDefault(HKEY_CURRENT_USER, User(".crp"), "Zorv.Encryptedfile");
    WriteDefault(HKEY_CURRENT_USER, User("Zorv.Encryptedfile"), "Zorv Encrypted File");
    EXPECT_TRUE(SetAssociation(false, roots_));
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, Shared(".crp")), "Other.Class");
    EXPECT_EQ(ReadValues(HKEY_CURRENT_USER, kUserPrefix), kNothing);
    EXPECT_FALSE(IsAssociated(roots_));
}

TEST_F(AssociationTest, IsAssociatedWhenEitherPlaceNamesTheClassExactly) {
    struct Case {
        const char* shared;  // default value of .crp, or null for no key
        const char* user;
        bool associated;
    };
    const Case cases[] = {
        {"Zorv.Encryptedfile", nullptr, true},
        {nullptr, "Zorv.Encryptedfile", true},
        {"Other.Class", "Zorv.Encryptedfile", true},
        {"zorv.encryptedfile", nullptr, false},
        {"ZORV.ENCRYPTEDFILE", "zorv.Encryptedfile", false},
        {"Zorv.Encryptedfile ", nullptr, false},
        {"Other.Class", nullptr, false},
        {"", "", false},
        {nullptr, nullptr, false},
    };
    for (const Case& c : cases) {
        SetUp();
        if (c.shared != nullptr) {
            WriteDefault(HKEY_CURRENT_USER, Shared(".crp"), c.shared);
        }
        if (c.user != nullptr) {
            WriteDefault(HKEY_CURRENT_USER, User(".crp"), c.user);
        }
        EXPECT_EQ(IsAssociated(roots_), c.associated)
            << (c.shared ? c.shared : "(none)") << " / " << (c.user ? c.user : "(none)");
    }
}

TEST_F(AssociationTest, IsAssociatedWithoutDefaultValueOrWithAnotherStringType) {
    CreateKey(HKEY_CURRENT_USER, Shared(".crp"));
    WriteDefault(HKEY_CURRENT_USER, Shared(".crp\\Zorv.Encryptedfile"), "Zorv.Encryptedfile");
    EXPECT_FALSE(IsAssociated(roots_));
    // The text decides: the class name stored as REG_EXPAND_SZ still names it.
    WriteDefault(HKEY_CURRENT_USER, User(".crp"), "Zorv.Encryptedfile", REG_EXPAND_SZ);
    EXPECT_TRUE(IsAssociated(roots_));
}

TEST_F(AssociationTest, IsAssociatedReadsAKeyTheUserMayNotWrite) {
    WriteDefault(HKEY_CURRENT_USER, Shared(".crp"), "Zorv.Encryptedfile");
    MakeReadOnly(HKEY_CURRENT_USER, Shared(".crp"));
    EXPECT_TRUE(IsAssociated(roots_));
}

// The program's own places. HKEY_CLASSES_ROOT and the per-user classes are
// shared by every test of this prefix, so this test runs under a resource
// lock (see CMakeLists.txt) and leaves no association behind.
class SystemAssociationTest : public ::testing::Test {
protected:
    void SetUp() override { RemoveEverywhere(); }
    void TearDown() override { RemoveEverywhere(); }
    static void RemoveEverywhere() {
        for (const char* key : {".crp", "Zorv.Encryptedfile"}) {
            RegDeleteTreeA(HKEY_CLASSES_ROOT, key);
            RegDeleteKeyA(HKEY_CLASSES_ROOT, key);
            const std::string user = std::string("Software\\Classes\\") + key;
            RegDeleteTreeA(HKEY_CURRENT_USER, user.c_str());
            RegDeleteKeyA(HKEY_CURRENT_USER, user.c_str());
        }
    }
};

TEST_F(SystemAssociationTest, RoundTripThroughClassesRoot) {
    EXPECT_FALSE(IsAssociated());
    EXPECT_TRUE(SetAssociation(true));
    EXPECT_EQ(ReadValues(HKEY_CLASSES_ROOT, ""), ExpectedValues());
    EXPECT_TRUE(IsAssociated());
    EXPECT_TRUE(SetAssociation(false));
    EXPECT_EQ(ReadValues(HKEY_CLASSES_ROOT, ""), kNothing);
    EXPECT_FALSE(IsAssociated());
}

TEST_F(SystemAssociationTest, PerUserClassesCountAndAreRemoved) {
    WriteDefault(HKEY_CURRENT_USER, "Software\\Classes\\.crp", "Zorv.Encryptedfile");
    WriteDefault(HKEY_CURRENT_USER, "Software\\Classes\\Zorv.Encryptedfile\\DefaultIcon", "x,1");
    EXPECT_TRUE(IsAssociated());
    EXPECT_TRUE(SetAssociation(false));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Classes\\.crp"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Classes\\Zorv.Encryptedfile"));
    EXPECT_FALSE(IsAssociated());
}

}  // namespace
}  // namespace zorv
