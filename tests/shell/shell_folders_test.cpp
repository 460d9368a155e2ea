#include "shell/shell_folders.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "app/file_system.h"
#include "shell/com_ptr.h"
#include "support/shell_probes.h"

namespace zorv {
namespace {

using test::LinkFields;
using test::ReadLink;

TEST(GetSpecialFolderPathTest, FindsTheSendToFolder) {
    char path[MAX_PATH] = {};
    ASSERT_TRUE(GetSpecialFolderPath(CSIDL_SENDTO, path));
    EXPECT_TRUE(IsFolder(path)) << path;
}

TEST(GetSpecialFolderPathTest, FolderWithoutFileSystemPathLeavesOutputUntouched) {
    for (const int csidl : {CSIDL_DRIVES, CSIDL_BITBUCKET, 0x7FFF}) {
        char path[MAX_PATH];
        std::memset(path, '#', sizeof path);
        EXPECT_FALSE(GetSpecialFolderPath(csidl, path)) << csidl;
        EXPECT_EQ(std::string(path, sizeof path), std::string(sizeof path, '#')) << csidl;
    }
}

class SendToShortcutTest : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        folder_ = std::string(temp) + "zorv_shortcut_test";
        CreateDirectoryA(folder_.c_str(), nullptr);
        link_ = folder_ + "\\Zorv.lnk";
        DeleteFileA(link_.c_str());
    }
    void TearDown() override {
        DeleteFileA(link_.c_str());
        RemoveDirectoryA(folder_.c_str());
    }
    static std::string Executable() {
        char path[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, path, MAX_PATH);
        return path;
    }
    void ExpectOurLink() const {
        LinkFields fields;
        ASSERT_TRUE(ReadLink(link_, &fields));
        const std::string executable = Executable();
        EXPECT_EQ(fields.target, executable);
        EXPECT_EQ(fields.workingDirectory, executable.substr(0, executable.rfind('\\')));
        EXPECT_EQ(fields.showCommand, SW_SHOWNORMAL);
    }

    std::string folder_;
    std::string link_;
};

TEST_F(SendToShortcutTest, LinkPointsAtTheExecutableInItsFolder) {
    CreateSendToShortcut(link_.c_str());
    ExpectOurLink();
}

TEST_F(SendToShortcutTest, ReplacesWhateverIsAtThePath) {
    HANDLE junk = CreateFileA(link_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(junk, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(junk, "not a link", 10, &written, nullptr);
    CloseHandle(junk);
    CreateSendToShortcut(link_.c_str());
    ExpectOurLink();
    CreateSendToShortcut(link_.c_str());
    ExpectOurLink();
}

TEST_F(SendToShortcutTest, UnwritablePathLeavesNoLink) {
    const std::string missing = folder_ + "\\no such folder\\Zorv.lnk";
    CreateSendToShortcut(missing.c_str());
    EXPECT_EQ(GetFileAttributesA(missing.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(ComTest, InitialisationIsBalancedOnAThreadThatAlreadyHasCom) {
    // As the settings dialog and as the edit session's worker initialise it.
    for (const bool withFlags : {false, true}) {
        SCOPED_TRACE(withFlags ? "apartment, no OLE1 DDE" : "default");
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        {
            // Another apartment mode: usable, but not this owner's to undo.
            const ScopedComInit inner =
                withFlags ? ScopedComInit(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)
                          : ScopedComInit();
            EXPECT_TRUE(inner.Usable());
        }
        // Still initialised: a second initialisation in the same mode says so.
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
        CoUninitialize();
        CoUninitialize();
    }
}

}  // namespace
}  // namespace zorv
