// The settings dialog of the real zorv.exe, started without arguments: the
// .crp association, the Send To shortcut and the options, checked in the
// registry, the Send To folder and zorv.ini after each run, and the next
// start's boxes. Every scenario leaves the registry, the Send To folder and
// zorv.ini as it found them.
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/resource_ids.h"
#include "support/cp932.h"
#include "support/harness.h"
#include "support/shell_probes.h"

namespace zorv::e2e {
namespace {

using test::Cp932;
using test::KeyExists;
using test::kMissing;
using test::LinkFields;
using test::ReadLink;
using test::ReadValue;

constexpr int kBoxes[] = {IDC_ASSOCIATION, IDC_SEND_TO, IDC_MINIMUM_CHARS, IDC_USE_TEMP_DIR,
                          IDC_REMEMBER_LAST};
constexpr char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer";

std::string ZorvFolder() {
    const std::string exe = ZorvExe();
    return exe.substr(0, exe.find_last_of('\\'));
}

std::string IniPath() {
    return ZorvFolder() + "\\zorv.ini";
}

std::string SendToLink() {
    char folder[MAX_PATH] = {};
    SHGetSpecialFolderPathA(nullptr, folder, CSIDL_SENDTO, FALSE);
    return std::string(folder) + "\\Zorv.lnk";
}

// Puts the file back as it was: the bytes, or no file.
void RestoreFile(const std::string& path, const std::string& bytes) {
    DeleteFileA(path.c_str());
    if (bytes != kMissing) {
        WriteWholeFile(path, bytes);
    }
}

// --- Registry ----------------------------------------------------------------

bool WriteValue(HKEY root, const std::string& path, const std::string& value, DWORD type = REG_SZ,
                const char* name = nullptr) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const LONG status =
        RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

void RemoveAssociation() {
    for (const char* name : {".crp", "Zorv.Encryptedfile"}) {
        RegDeleteTreeA(HKEY_CLASSES_ROOT, name);
        RegDeleteKeyA(HKEY_CLASSES_ROOT, name);
        const std::string user = std::string("Software\\Classes\\") + name;
        RegDeleteTreeA(HKEY_CURRENT_USER, user.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, user.c_str());
    }
}

// The four default values of the association, read through HKEY_CLASSES_ROOT.
std::vector<std::string> AssociationValues() {
    return {ReadValue(HKEY_CLASSES_ROOT, ".crp"),
            ReadValue(HKEY_CLASSES_ROOT, "Zorv.Encryptedfile"),
            ReadValue(HKEY_CLASSES_ROOT, "Zorv.Encryptedfile\\DefaultIcon"),
            ReadValue(HKEY_CLASSES_ROOT, "Zorv.Encryptedfile\\shell\\Open\\command")};
}

std::vector<std::string> ExpectedAssociation() {
    return {"Zorv.Encryptedfile", "Zorv Encrypted File", ZorvExe() + ",1",
            "\"" + ZorvExe() + "\" \"%1\""};
}

// --- The shortcut ------------------------------------------------------------

void ExpectOurLink(const std::string& path) {
    LinkFields fields;
    ASSERT_TRUE(ReadLink(path, &fields)) << path;
    EXPECT_EQ(fields.target, ZorvExe());
    EXPECT_EQ(fields.workingDirectory, ZorvFolder());
    EXPECT_EQ(fields.showCommand, SW_SHOWNORMAL);
}

// --- One run of the dialog ---------------------------------------------------

class SettingsRun {
public:
    bool Start() {
        if (!process_.Start("")) {
            return false;
        }
        dialog_ = process_.WaitForDialog(
            {Cp932(u8"Zorv - 設定"),
             {IDC_ASSOCIATION, IDC_SEND_TO, IDC_MINIMUM_CHARS, IDC_USE_TEMP_DIR, IDC_REMEMBER_LAST,
              IDOK, IDCANCEL, IDC_VERSION}});
        return dialog_.IsValid();
    }
    const DialogView& Dialog() const { return dialog_; }
    ZorvProcess& Process() { return process_; }

    // Which of the five boxes are ticked, in template order.
    std::vector<bool> Ticked() const {
        std::vector<bool> ticked;
        for (int id : kBoxes) {
            ticked.push_back(dialog_.IsChecked(id));
        }
        return ticked;
    }
    // Clicks the buttons in order (boxes toggle; OK or Cancel ends the run)
    // and waits for the process to end.
    bool ClickAndExit(const std::vector<int>& ids) {
        for (int id : ids) {
            if (!dialog_.Click(id)) {
                return false;
            }
        }
        return process_.WaitForExit();
    }

private:
    ZorvProcess process_;
    DialogView dialog_;
};

// Runs the dialog once: checks the boxes it shows, clicks, waits for the end.
void RunOnce(const std::vector<bool>& expectedTicks, const std::vector<int>& clicks) {
    SettingsRun run;
    ASSERT_TRUE(run.Start());
    EXPECT_EQ(run.Ticked(), expectedTicks);
    ASSERT_TRUE(run.ClickAndExit(clicks));
}

class SettingsE2e : public ::testing::Test {
protected:
    void SetUp() override {
        ini_ = ReadFileOrMissing(IniPath());
        link_ = ReadFileOrMissing(SendToLink());
        DeleteFileA(IniPath().c_str());
        DeleteFileA(SendToLink().c_str());
        RemoveAssociation();
    }
    void TearDown() override {
        RemoveAssociation();
        RestoreFile(IniPath(), ini_);
        RestoreFile(SendToLink(), link_);
    }

private:
    std::string ini_;
    std::string link_;
};

TEST_F(SettingsE2e, AssociationIsWrittenShownAtTheNextStartAndRemoved) {
    // Default settings: UseTempDir on, the rest off.
    RunOnce({false, false, false, true, false}, {IDC_ASSOCIATION, IDOK});
    EXPECT_EQ(AssociationValues(), ExpectedAssociation());

    // Other programs' keys below ours survive a rewrite, and the values
    // stay the same.
    ASSERT_TRUE(WriteValue(HKEY_CLASSES_ROOT, ".crp\\OpenWithProgids", "other"));
    ASSERT_TRUE(WriteValue(HKEY_CLASSES_ROOT, "Zorv.Encryptedfile\\shell\\Edit\\command", "x"));
    RunOnce({true, false, false, true, false}, {IDOK});
    EXPECT_EQ(AssociationValues(), ExpectedAssociation());
    EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, ".crp\\OpenWithProgids"), "other");

    // Unticked removes both trees, other programs' sub-keys included.
    RunOnce({true, false, false, true, false}, {IDC_ASSOCIATION, IDOK});
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ".crp"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "Zorv.Encryptedfile"));
}

TEST_F(SettingsE2e, AssociationOfAnotherSpellingOrWithoutValueShowsUnticked) {
    for (const char* value : {"zorv.encryptedfile", "ZORV.ENCRYPTEDFILE", "Other.Program", ""}) {
        RemoveAssociation();
        if (value[0] == '\0') {
            // The key without a default value.
            ASSERT_TRUE(WriteValue(HKEY_CLASSES_ROOT, ".crp", "x", REG_SZ, "Named"));
        } else {
            ASSERT_TRUE(WriteValue(HKEY_CLASSES_ROOT, ".crp", value));
        }
        ASSERT_TRUE(WriteValue(HKEY_CLASSES_ROOT, ".crp\\ShellNew", ""));
        // OK with the box unticked takes the other program's key away too.
        RunOnce({false, false, false, true, false}, {IDOK});
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ".crp")) << value;
    }
}

TEST_F(SettingsE2e, SendToShortcutIsCreatedReplacedAndRemoved) {
    const std::string link = SendToLink();
    RunOnce({false, false, false, true, false}, {IDC_SEND_TO, IDOK});
    ExpectOurLink(link);

    ASSERT_TRUE(WriteWholeFile(link, "not a link any more"));
    RunOnce({false, true, false, true, false}, {IDOK});
    ExpectOurLink(link);

    RunOnce({false, true, false, true, false}, {IDC_SEND_TO, IDOK});
    EXPECT_FALSE(FileExists(link));
}

std::string IniValue(const char* key) {
    char value[64] = {};
    GetPrivateProfileStringA("config", key, kMissing, value, sizeof value, IniPath().c_str());
    return value;
}

std::vector<std::string> IniValues() {
    return {IniValue("MinimumChars"), IniValue("UseTempDir"), IniValue("RememberLast"),
            IniValue("LastMode")};
}

TEST_F(SettingsE2e, OptionsRoundTripThroughTheSettingsFile) {
    ASSERT_TRUE(WriteWholeFile(IniPath(),
                               "[config]\r\nMinimumChars=5\r\nUseTempDir=false\r\n"
                               "RememberLast=true\r\nLastMode=semiauto\r\n"));
    // A hand-written 5 is no box state: unticked, and OK stores 1.
    RunOnce({false, false, false, false, true}, {IDOK});
    EXPECT_EQ(IniValues(), (std::vector<std::string>{"1", "false", "true", "semiauto"}));

    RunOnce({false, false, false, false, true},
            {IDC_MINIMUM_CHARS, IDC_USE_TEMP_DIR, IDC_REMEMBER_LAST, IDOK});
    EXPECT_EQ(IniValues(), (std::vector<std::string>{"8", "true", "false", "semiauto"}));

    RunOnce({false, false, true, true, false}, {IDOK});
    EXPECT_EQ(IniValues(), (std::vector<std::string>{"8", "true", "false", "semiauto"}));
}

TEST_F(SettingsE2e, CancelAfterChangingEveryBoxLeavesEverythingAsItWas) {
    RunOnce({false, false, false, true, false}, {IDC_ASSOCIATION, IDC_SEND_TO, IDOK});
    ASSERT_TRUE(WriteWholeFile(IniPath(), "[config]\r\nMinimumChars=8\r\nLastMode=none\r\n"));
    const std::vector<std::string> association = AssociationValues();
    const std::string link = ReadFileOrMissing(SendToLink());
    const std::string ini = ReadFileOrMissing(IniPath());
    ASSERT_NE(link, kMissing);

    for (const bool closeBox : {false, true}) {
        SettingsRun run;
        ASSERT_TRUE(run.Start());
        EXPECT_EQ(run.Ticked(), (std::vector<bool>{true, true, true, true, false}));
        for (int id : kBoxes) {
            ASSERT_TRUE(run.Dialog().Click(id));
        }
        if (closeBox) {
            run.Dialog().Close();
            ASSERT_TRUE(run.Process().WaitForExit());
        } else {
            ASSERT_TRUE(run.ClickAndExit({IDCANCEL}));
        }
        EXPECT_EQ(AssociationValues(), association) << closeBox;
        EXPECT_EQ(ReadFileOrMissing(SendToLink()), link) << closeBox;
        EXPECT_EQ(ReadFileOrMissing(IniPath()), ini) << closeBox;
    }
}

TEST_F(SettingsE2e, VersionBoxOpensAgainAndAgain) {
    SettingsRun run;
    ASSERT_TRUE(run.Start());
    EXPECT_TRUE(run.Dialog().SaveScreenshot("settings_dialog"));
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(run.Dialog().Click(IDC_VERSION));
        MessageBoxView box = run.Process().WaitForMessageBox();
        ASSERT_TRUE(box.IsValid()) << round;
        EXPECT_EQ(GetWindow(box.Handle(), GW_OWNER), run.Dialog().Handle());
        EXPECT_EQ(box.Caption(), "Zorv");
        EXPECT_EQ(box.Message(),
                  "Zorv ver." ZORV_VERSION "\nCopyright (C) 2026 The Zorv developers");
        EXPECT_EQ(box.Icon(), IconKind::kInformation) << IconKindName(box.Icon());
        EXPECT_EQ(box.Buttons(), std::vector<int>{IDOK});
        if (round == 0) {
            EXPECT_TRUE(box.SaveScreenshot("settings_version_box"));
        }
        ASSERT_TRUE(box.PressOk());
        ASSERT_TRUE(box.WaitUntilClosed());
        EXPECT_TRUE(run.Dialog().IsOpen()) << round;
    }
    ASSERT_TRUE(run.ClickAndExit({IDCANCEL}));
}

// The Send To folder's registry entries point to a drive that does not
// exist for the life of the object, so the shell cannot determine the
// folder. The entries are put back afterwards.
class UnreachableSendTo {
public:
    UnreachableSendTo()
        : user_(ReadValue(HKEY_CURRENT_USER, Path("User Shell Folders"), "SendTo")),
          shell_(ReadValue(HKEY_CURRENT_USER, Path("Shell Folders"), "SendTo")) {
        WriteValue(HKEY_CURRENT_USER, Path("User Shell Folders"), "Q:\\nowhere\\SendTo",
                   REG_EXPAND_SZ, "SendTo");
    }
    ~UnreachableSendTo() {
        if (user_ != kMissing) {
            WriteValue(HKEY_CURRENT_USER, Path("User Shell Folders"), user_, REG_EXPAND_SZ,
                       "SendTo");
        }
        if (shell_ != kMissing) {
            WriteValue(HKEY_CURRENT_USER, Path("Shell Folders"), shell_, REG_SZ, "SendTo");
        }
    }
    UnreachableSendTo(const UnreachableSendTo&) = delete;
    UnreachableSendTo& operator=(const UnreachableSendTo&) = delete;

private:
    static std::string Path(const char* name) { return std::string(kShellFolders) + "\\" + name; }
    std::string user_;
    std::string shell_;
};

TEST_F(SettingsE2e, WithoutSendToFolderTheShortcutBoxIsOffAndOkTouchesNoFile) {
    // A Zorv.lnk in the program's current folder and in the usual Send To
    // folder: neither may be taken for the shortcut.
    const std::string folder = MakeScenarioFolder("settings_no_send_to");
    const std::string usual = SendToLink();
    char previous[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(folder.c_str()));
    ASSERT_TRUE(WriteWholeFile(folder + "\\Zorv.lnk", "current folder"));
    ASSERT_TRUE(WriteWholeFile(usual, "usual folder"));
    {
        UnreachableSendTo unreachable;
        SettingsRun run;
        ASSERT_TRUE(run.Start());
        EXPECT_FALSE(run.Dialog().IsChecked(IDC_SEND_TO));
        EXPECT_FALSE(run.Dialog().IsEnabled(IDC_SEND_TO));
        EXPECT_FALSE(run.Dialog().Click(IDC_SEND_TO));
        EXPECT_TRUE(run.Dialog().SaveScreenshot("settings_dialog_without_send_to"));
        ASSERT_TRUE(run.ClickAndExit({IDOK}));
    }
    SetCurrentDirectoryA(previous);
    EXPECT_EQ(ReadFileOrMissing(folder + "\\Zorv.lnk"), "current folder");
    EXPECT_EQ(ReadFileOrMissing(usual), "usual folder");
    // With the folder back, the box is usable again.
    EXPECT_EQ(SendToLink(), usual);
}

}  // namespace
}  // namespace zorv::e2e
