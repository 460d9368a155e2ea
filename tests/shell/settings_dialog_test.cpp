// The settings dialog run in this process from the program's own template:
// a hook sees the boxes after initialisation, changes them as a user would
// and presses a button; the test then looks at what OK or Cancel left in the
// registry (the private test roots), the Send To folder and zorv.ini.
#include "shell/settings_dialog.h"

#include <shlobj.h>

#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "app/module_instance.h"
#include "app/resource_ids.h"
#include "app/settings.h"
#include "shell/registry_fixture.h"
#include "shell/shell_folders.h"
#include "support/win32_test_support.h"

namespace zorv {
namespace {

using test::KeyExists;
using test::ReadValue;
using test::WriteDefault;

constexpr int kBoxes[] = {IDC_ASSOCIATION, IDC_SEND_TO, IDC_MINIMUM_CHARS, IDC_USE_TEMP_DIR,
                          IDC_REMEMBER_LAST};
constexpr int kBoxCount = 5;

struct BoxStates {
    bool ticked[kBoxCount] = {};
    bool enabled[kBoxCount] = {};
};

class DrivenDialog : public SettingsDialog {
public:
    using SettingsDialog::SettingsDialog;

    // Called after initialisation; may change boxes. Then `button` is pressed.
    std::function<void(HWND)> onShown;
    int button = IDCANCEL;
    BoxStates shown;
    HICON smallIcon = nullptr;

    INT_PTR DlgProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        const INT_PTR result = SettingsDialog::DlgProc(message, wParam, lParam);
        if (message == WM_INITDIALOG) {
            for (int i = 0; i < kBoxCount; ++i) {
                shown.ticked[i] = IsDlgButtonChecked(Handle(), kBoxes[i]) == BST_CHECKED;
                shown.enabled[i] = IsWindowEnabled(GetItem(kBoxes[i])) != FALSE;
            }
            smallIcon = reinterpret_cast<HICON>(SendMessageA(Handle(), WM_GETICON, ICON_SMALL, 0));
            if (onShown) {
                onShown(Handle());
            }
            PostMessageA(Handle(), WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
        }
        return result;
    }

    int Run() { return RunModal(ModuleInstance(), IDD_SETTINGS, nullptr); }
};

void Tick(HWND dialog, int id, bool ticked) {
    CheckDlgButton(dialog, id, ticked ? BST_CHECKED : BST_UNCHECKED);
}

class SettingsDialogTest : public test::RegistryTest {
protected:
    void SetUp() override {
        saved_ = g_settings;
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        folder_ = std::string(temp) + "zorv_settings_dialog_test";
        CreateDirectoryA(folder_.c_str(), nullptr);
        link_ = folder_ + "\\Zorv.lnk";
        char ini[MAX_PATH] = {};
        ASSERT_TRUE(GetSettingsPath(ini));
        ini_ = ini;
        Reset();
    }
    // No association in the test roots, no link, no settings file.
    void Reset() {
        RegistryTest::SetUp();
        DeleteFileA(link_.c_str());
        DeleteFileA(ini_.c_str());
    }
    void TearDown() override {
        DeleteFileA(link_.c_str());
        RemoveDirectoryA(folder_.c_str());
        DeleteFileA(ini_.c_str());
        g_settings = saved_;
        RegistryTest::TearDown();
    }
    std::string IniValue(const char* key) const {
        char value[64] = {};
        GetPrivateProfileStringA("config", key, test::kMissing, value, sizeof value, ini_.c_str());
        return value;
    }
    std::string Shared(const char* name) const {
        return std::string(roots_.shared.prefix) + "\\" + name;
    }

    const AssociationRoots roots_{{HKEY_CURRENT_USER, "Software\\ZorvTest\\Shared"},
                                  {HKEY_CURRENT_USER, "Software\\ZorvTest\\User"}};
    Settings saved_;
    std::string folder_;
    std::string link_;
    std::string ini_;
};

TEST_F(SettingsDialogTest, BoxesShowTheRegistryTheSendToFolderAndTheSettings) {
    struct Case {
        const char* crpClass;  // null: no .crp key
        bool linkExists;
        Settings settings;
        bool expected[kBoxCount];
    };
    const Case cases[] = {
        {"Zorv.Encryptedfile", true, {8, true, true, 2}, {true, true, true, true, true}},
        {nullptr, false, {1, false, false, 0}, {false, false, false, false, false}},
        {"zorv.encryptedfile", false, {5, true, false, 1}, {false, false, false, true, false}},
        {"Other.Class", true, {9, false, true, 1}, {false, true, false, false, true}},
    };
    for (const Case& c : cases) {
        Reset();
        if (c.crpClass != nullptr) {
            WriteDefault(HKEY_CURRENT_USER, Shared(".crp"), c.crpClass);
        }
        if (c.linkExists) {
            ASSERT_TRUE(WriteWholeFile(link_, "link"));
        }
        g_settings = c.settings;
        DrivenDialog dialog(folder_.c_str(), roots_);
        EXPECT_EQ(dialog.Run(), IDCANCEL);
        EXPECT_NE(dialog.smallIcon, nullptr);
        for (int i = 0; i < kBoxCount; ++i) {
            EXPECT_EQ(dialog.shown.ticked[i], c.expected[i]) << kBoxes[i];
            EXPECT_TRUE(dialog.shown.enabled[i]) << kBoxes[i];
        }
    }
}

TEST_F(SettingsDialogTest, OkAppliesEveryBoxAndKeepsLastMode) {
    g_settings = {5, false, false, kLastModeSemiAuto};
    ASSERT_TRUE(WriteWholeFile(link_, "an old link"));
    struct Case {
        bool ticked;
        int minimumChars;
        const char* boolText;
    };
    for (const Case& c : {Case{true, 8, "true"}, Case{false, 1, "false"}}) {
        DrivenDialog dialog(folder_.c_str(), roots_);
        dialog.onShown = [&c](HWND window) {
            for (int id : kBoxes) {
                Tick(window, id, c.ticked);
            }
        };
        dialog.button = IDOK;
        EXPECT_EQ(dialog.Run(), IDOK);
        EXPECT_EQ(IsAssociated(roots_), c.ticked);
        EXPECT_EQ(KeyExists(HKEY_CURRENT_USER, Shared("Zorv.Encryptedfile")), c.ticked);
        // Replaced by a real link when ticked, removed when not.
        const std::string link = ReadFileOrMissing(link_);
        EXPECT_EQ(link != test::kMissing, c.ticked);
        EXPECT_NE(link, "an old link");
        EXPECT_EQ(g_settings.minimumChars, c.minimumChars);
        EXPECT_EQ(g_settings.useTempDir, c.ticked);
        EXPECT_EQ(g_settings.rememberLast, c.ticked);
        EXPECT_EQ(g_settings.lastMode, kLastModeSemiAuto);
        EXPECT_EQ(IniValue("MinimumChars"), std::to_string(c.minimumChars));
        EXPECT_EQ(IniValue("UseTempDir"), c.boolText);
        EXPECT_EQ(IniValue("RememberLast"), c.boolText);
        EXPECT_EQ(IniValue("LastMode"), "semiauto");
    }
}

TEST_F(SettingsDialogTest, CancelAfterChangingEveryBoxLeavesEverythingAsItWas) {
    WriteDefault(HKEY_CURRENT_USER, Shared(".crp"), "Zorv.Encryptedfile");
    ASSERT_TRUE(WriteWholeFile(link_, "existing link"));
    const std::string ini = "[config]\r\nMinimumChars=8\r\nUseTempDir=true\r\n";
    ASSERT_TRUE(WriteWholeFile(ini_, ini));
    g_settings = {8, true, false, kLastModeAuto};
    DrivenDialog dialog(folder_.c_str(), roots_);
    dialog.onShown = [](HWND window) {
        for (int id : kBoxes) {
            Tick(window, id, IsDlgButtonChecked(window, id) != BST_CHECKED);
        }
    };
    EXPECT_EQ(dialog.Run(), IDCANCEL);
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, Shared(".crp")), "Zorv.Encryptedfile");
    EXPECT_EQ(ReadFileOrMissing(link_), "existing link");
    EXPECT_EQ(ReadFileOrMissing(ini_), ini);
    EXPECT_EQ(g_settings.minimumChars, 8);
    EXPECT_TRUE(g_settings.useTempDir);
    EXPECT_FALSE(g_settings.rememberLast);
}

// Without a Send To folder the shortcut path would be a bare name in the
// current folder; OK must not touch a file of that name there.
TEST_F(SettingsDialogTest, WithoutSendToFolderTheShortcutBoxIsOffAndOkTouchesNoFile) {
    char previous[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(folder_.c_str()));
    for (const bool linkInCurrentFolder : {true, false}) {
        if (linkInCurrentFolder) {
            ASSERT_TRUE(WriteWholeFile(link_, "not ours"));
        } else {
            DeleteFileA(link_.c_str());
        }
        for (const char* folder : {static_cast<const char*>(nullptr), ""}) {
            DrivenDialog dialog(folder, roots_);
            EXPECT_STREQ(dialog.ShortcutPath(), "");
            dialog.onShown = [](HWND window) { Tick(window, IDC_SEND_TO, true); };
            dialog.button = IDOK;
            EXPECT_EQ(dialog.Run(), IDOK);
            EXPECT_FALSE(dialog.shown.ticked[1]);
            EXPECT_FALSE(dialog.shown.enabled[1]);
            EXPECT_EQ(ReadFileOrMissing(link_), linkInCurrentFolder ? "not ours" : test::kMissing);
        }
    }
    SetCurrentDirectoryA(previous);
}

TEST_F(SettingsDialogTest, ShortcutIsZorvLnkInTheSendToFolder) {
    char sendTo[MAX_PATH] = {};
    ASSERT_TRUE(GetSpecialFolderPath(CSIDL_SENDTO, sendTo));
    EXPECT_EQ(std::string(SettingsDialog().ShortcutPath()), std::string(sendTo) + "\\Zorv.lnk");
    EXPECT_EQ(std::string(DrivenDialog("C:\\x\\", roots_).ShortcutPath()), "C:\\x\\Zorv.lnk");
    // A folder that leaves no room for the name gives no shortcut at all.
    const std::string deep = "C:\\" + std::string(250, 'd');
    EXPECT_STREQ(DrivenDialog(deep.c_str(), roots_).ShortcutPath(), "");
}

}  // namespace
}  // namespace zorv
