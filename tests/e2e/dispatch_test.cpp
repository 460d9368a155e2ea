// Which dialog zorv.exe opens, seen from outside: every scenario starts the
// real program and identifies the dialog by the controls its template has.
// Which input gives which decision is the unit table's (tests/program);
// here each decision reaches its real window once, through the real file
// probe, the real clipboard, and the single-instance guard.
#include <gtest/gtest.h>

#include "app/message_texts.h"
#include "app/resource_ids.h"
#include "support/harness.h"

namespace zorv::e2e {
namespace {

const DialogQuery kSettings{"", {IDC_ASSOCIATION, IDC_SEND_TO, IDC_MINIMUM_CHARS}, {}};
const DialogQuery kEncrypt{"", {IDC_ENCRYPT_PASSWORD, IDC_ENCRYPT_CONFIRM}, {}};
const DialogQuery kDecryptSingle{"", {IDC_DECRYPT_PASSWORD, IDC_REENCRYPT_AUTO}, {}};
const DialogQuery kModeSelect{"Zorv", {IDC_MODE_ENCRYPT, IDC_MODE_DECRYPT, IDCANCEL}, {}};
const DialogQuery kDecryptMulti{"", {IDC_DECRYPT_PASSWORD}, {IDC_REENCRYPT_AUTO}};

// Files of one scenario: a fresh folder with a plain file, a .crp file and a
// sub-folder, and a path that does not exist.
struct Inputs {
    explicit Inputs(const std::string& scenario) : folder(MakeScenarioFolder(scenario)) {
        plain = folder + "\\report.doc";
        crp = folder + "\\Report.CRP";
        sub = folder + "\\docs";
        missing = folder + "\\absent.doc";
        WriteWholeFile(plain, "plain");
        WriteWholeFile(crp, "cipher");
        MakeFolder(sub);
    }
    std::string folder, plain, crp, sub, missing;
};

// The only dialog of the process once it has opened.
DialogView ExpectOnlyDialog(const ZorvProcess& zorv, const DialogQuery& query) {
    DialogView dialog = zorv.WaitForDialog(query);
    EXPECT_TRUE(dialog.IsValid()) << "the expected dialog did not open";
    EXPECT_EQ(zorv.Dialogs().size(), 1u);
    return dialog;
}

// Cancel ends the dialog and with it the process, with exit code 0 and no
// further window.
void CancelAndExpectEnd(ZorvProcess& zorv, const DialogView& dialog) {
    ASSERT_TRUE(dialog.Click(IDCANCEL));
    EXPECT_TRUE(dialog.WaitUntilClosed());
    ASSERT_TRUE(zorv.WaitForExit());
    EXPECT_EQ(zorv.ExitCode(), 0u);
    EXPECT_FALSE(zorv.SawWindowWhileWaiting());
}

// Starts zorv.exe with arguments, expects the dialog of query as its only
// window, saves a screenshot when a name is given, and cancels it.
void ExpectOpens(const std::string& arguments, const DialogQuery& query,
                 const std::string& screenshot = "") {
    SCOPED_TRACE("arguments: " + arguments);
    ZorvProcess zorv;
    ASSERT_TRUE(zorv.Start(arguments));
    DialogView dialog = ExpectOnlyDialog(zorv, query);
    if (!dialog.IsValid()) {
        return;
    }
    if (!screenshot.empty()) {
        EXPECT_TRUE(dialog.SaveScreenshot(screenshot));
    }
    CancelAndExpectEnd(zorv, dialog);
}

// Starts zorv.exe with arguments and expects message id with the error icon
// as its only window; OK ends the process with exit code 0.
void ExpectMessage(const std::string& arguments, int id, const std::string& screenshot = "") {
    SCOPED_TRACE("arguments: " + arguments);
    ZorvProcess zorv;
    ASSERT_TRUE(zorv.Start(arguments));
    MessageBoxView box = zorv.WaitForMessageBox();
    ASSERT_TRUE(box.IsValid()) << "no message box";
    EXPECT_EQ(zorv.Dialogs().size(), 1u);
    EXPECT_EQ(box.Caption(), "Zorv");
    EXPECT_EQ(box.Message(), FromUtf8(MessageTextUtf8(id)));
    EXPECT_STREQ(IconKindName(box.Icon()), IconKindName(IconKind::kError));
    EXPECT_EQ(box.Buttons(), std::vector<int>{IDOK});
    if (!screenshot.empty()) {
        EXPECT_TRUE(box.SaveScreenshot(screenshot));
    }
    ASSERT_TRUE(box.PressOk());
    ASSERT_TRUE(zorv.WaitForExit());
    EXPECT_EQ(zorv.ExitCode(), 0u);
}

TEST(Dispatch, NoArgumentsOpenTheSettings) {
    ExpectOpens("", kSettings, "dispatch_110_settings");
}

TEST(Dispatch, OneExistingFileOpensEncryptionOrDecryption) {
    Inputs in("dispatch_one_file");
    ExpectOpens(Quote(in.crp), kDecryptSingle, "dispatch_112_decrypt_single");
    ExpectOpens(Quote(in.plain), kEncrypt, "dispatch_111_encrypt");
}

TEST(Dispatch, OneMissingPathShowsMessage50) {
    Inputs in("dispatch_missing");
    ExpectMessage(Quote(in.missing), IDS_FILE_NOT_FOUND, "dispatch_message_50");
}

TEST(Dispatch, OneFolderAsksForTheModeAndCancelEndsQuietly) {
    Inputs in("dispatch_folder_cancel");
    ZorvProcess zorv;
    ASSERT_TRUE(zorv.Start(Quote(in.sub)));
    DialogView mode = ExpectOnlyDialog(zorv, kModeSelect);
    ASSERT_TRUE(mode.IsValid());
    EXPECT_TRUE(mode.SaveScreenshot("dispatch_113_mode_select"));
    CancelAndExpectEnd(zorv, mode);
}

TEST(Dispatch, ModeSelectCloseBoxCancels) {
    Inputs in("dispatch_folder_close");
    ZorvProcess zorv;
    ASSERT_TRUE(zorv.Start(Quote(in.sub)));
    DialogView mode = ExpectOnlyDialog(zorv, kModeSelect);
    ASSERT_TRUE(mode.IsValid());
    mode.Close();
    EXPECT_TRUE(mode.WaitUntilClosed());
    ASSERT_TRUE(zorv.WaitForExit());
    EXPECT_FALSE(zorv.SawWindowWhileWaiting());
}

// Chooses a mode in the mode-select dialog and expects the front end next.
void ChooseMode(const std::string& arguments, int button, const DialogQuery& next,
                const std::string& screenshot = "") {
    SCOPED_TRACE("arguments: " + arguments);
    ZorvProcess zorv;
    ASSERT_TRUE(zorv.Start(arguments));
    DialogView mode = ExpectOnlyDialog(zorv, kModeSelect);
    ASSERT_TRUE(mode.IsValid());
    ASSERT_TRUE(mode.Click(button));
    EXPECT_TRUE(mode.WaitUntilClosed());
    DialogView dialog = ExpectOnlyDialog(zorv, next);
    ASSERT_TRUE(dialog.IsValid());
    if (!screenshot.empty()) {
        EXPECT_TRUE(dialog.SaveScreenshot(screenshot));
    }
    CancelAndExpectEnd(zorv, dialog);
}

TEST(Dispatch, ModeSelectLeadsToTheChosenFrontEnd) {
    Inputs in("dispatch_folder_choose");
    ChooseMode(Quote(in.sub), IDC_MODE_DECRYPT, kDecryptMulti, "dispatch_114_decrypt_multi");
    ChooseMode(Quote(in.sub), IDC_MODE_ENCRYPT, kEncrypt);
}

// Enter presses the focused button: the first button has the focus at the
// start, Tab moves it to the second.
TEST(Dispatch, ModeSelectEnterPressesTheFocusedButton) {
    Inputs in("dispatch_folder_enter");
    struct Row {
        int tabs;
        DialogQuery next;
    };
    for (const Row& row : {Row{0, kEncrypt}, Row{1, kDecryptMulti}}) {
        SCOPED_TRACE(row.tabs);
        ZorvProcess zorv;
        ASSERT_TRUE(zorv.Start(Quote(in.sub)));
        DialogView mode = ExpectOnlyDialog(zorv, kModeSelect);
        ASSERT_TRUE(mode.IsValid());
        for (int i = 0; i < row.tabs; ++i) {
            ASSERT_TRUE(mode.PressKey(VK_TAB));
        }
        ASSERT_TRUE(mode.PressKey(VK_RETURN));
        EXPECT_TRUE(mode.WaitUntilClosed());
        DialogView dialog = ExpectOnlyDialog(zorv, row.next);
        ASSERT_TRUE(dialog.IsValid());
        CancelAndExpectEnd(zorv, dialog);
    }
}

TEST(Dispatch, ClipboardOption) {
    Inputs in("dispatch_clipboard");
    ASSERT_TRUE(PutTextOnClipboard("not a file list"));
    ExpectMessage("-c", IDS_NO_CLIPBOARD_FILES, "dispatch_message_55");

    ASSERT_TRUE(PutFileDropOnClipboard({in.crp}));
    ExpectOpens("-c", kDecryptSingle);
    ASSERT_TRUE(ClearClipboard());
}

// A second start opens nothing of its own and ends; the running instance's
// dialog comes to the front, over a window that had taken the foreground.
TEST(Dispatch, SecondStartBringsTheRunningDialogForwardAndShowsNothing) {
    Inputs in("dispatch_second");
    ZorvProcess first;
    ASSERT_TRUE(first.Start(""));
    DialogView settings = ExpectOnlyDialog(first, kSettings);
    ASSERT_TRUE(settings.IsValid());
    HWND other = CreateWindowExA(0, "STATIC", "other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200,
                                 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(other, nullptr);
    SetForegroundWindow(other);
    ASSERT_EQ(GetForegroundWindow(), other);

    ZorvProcess second;
    ASSERT_TRUE(second.Start(Quote(in.sub)));
    ASSERT_TRUE(second.WaitForExit());
    EXPECT_EQ(second.ExitCode(), 0u);
    EXPECT_FALSE(second.SawWindowWhileWaiting());
    EXPECT_EQ(GetForegroundWindow(), settings.Handle());
    DestroyWindow(other);
    EXPECT_TRUE(settings.IsOpen());
    EXPECT_EQ(first.Dialogs().size(), 1u);
    CancelAndExpectEnd(first, settings);

    // With the first instance gone the name is free again.
    ExpectOpens(Quote(in.sub), kModeSelect);
}

}  // namespace
}  // namespace zorv::e2e
