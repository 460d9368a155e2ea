// The edit-and-re-encrypt session from start to end: zorv.exe decrypts a
// .crp file, opens the working copy with the test editor registered for
// ".zedit" in the Wine prefix, and encrypts it again when the editor ends or
// when the tray icon asks for it. The tray icon is checked in Wine's
// stand-alone system tray. Only what needs the real program is here: the
// hidden dialog and its choices, the tray, a logoff and the message box as
// the user sees it; the session's own cases (where the copy lies, read-only
// .crp files, a type without application, an emptied copy, names that do
// not fit) are tests/decrypt's.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/resource_ids.h"
#include "support/editor_support.h"
#include "e2e/decrypt_steps.h"
#include "support/harness.h"

#ifndef ZORV_TEST_EDITOR_EXE
#error "ZORV_TEST_EDITOR_EXE must name the test editor"
#endif

namespace zorv::e2e {
namespace {

constexpr char kEdited[] = "edited by the test editor\r\n";
constexpr DWORD kEditorTimeoutMs = 30000;

// The scenario's own names, so that working copies of different runs never
// meet in the shared temporary folder.
std::string Tagged(const std::string& name) {
    return name + "-" + std::to_string(GetCurrentProcessId());
}

class Session : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(test::RegisterTestEditor(ToWindowsPath(ZORV_TEST_EDITOR_EXE)));
    }

    void SetUp() override {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        folder_ = MakeScenarioFolder("session_" + name);
        report_ = folder_ + "\\editor-report.txt";
        stop_ = folder_ + "\\editor-stop";
    }

    void TearDown() override { WriteWholeFile(stop_, ""); }

    // Double-clicks the icon in the stand-alone tray, twice; without that
    // tray, posts the notification the shell would send.
    static void DoubleClickTrayIcon(HWND window) {
        for (int i = 0; i < 2; ++i) {
            if (StandaloneTray() == nullptr || !DoubleClickFirstTrayIcon()) {
                PostMessageA(window, kTrayCallback, 1, WM_LBUTTONDBLCLK);
            }
            Sleep(200);
        }
    }

    // Starts a session on crp with an editor that appends its line and
    // waits, and kills Zorv while the editor is open; the editor then ends.
    // The working copy's path, or empty when that failed.
    std::string KillASession(const std::string& crp) {
        DeleteFileA(report_.c_str());
        DeleteFileA(stop_.c_str());
        test::SetEditorInstructions("wait", report_, stop_);
        DecryptRun run;
        if (!run.Start(Quote(crp), true) || !run.Submit() ||
            !test::WaitForEditorReport(report_, kEditorTimeoutMs)) {
            return "";
        }
        run.Process().Kill();
        WriteWholeFile(stop_, "");
        return test::ReadEditorReport(report_).path;
    }

    // Starts Zorv with arguments and answers the question about the copy
    // left by a killed session with button, after checking its text.
    static bool AnswerTheQuestion(ZorvProcess& zorv, const std::string& arguments,
                                  const std::string& copy, const std::string& crp, int button) {
        if (!zorv.Start(arguments)) {
            return false;
        }
        MessageBoxView box = zorv.WaitForMessageBox();
        std::string expected = TableTextWithPath(IDS_ORPHAN_QUESTION, copy);
        expected.replace(expected.find("%s"), 2, crp);
        EXPECT_EQ(box.Message(), expected);
        EXPECT_EQ(box.Buttons(), (std::vector<int>{IDYES, IDNO, IDCANCEL}));
        box.SaveScreenshot("session_orphan_question");
        return box.IsValid() && box.Click(button);
    }

    std::string folder_;
    std::string report_;
    std::string stop_;
};

TEST_F(Session, TheEditedTextIsEncryptedAgainWhenTheEditorEnds) {
    DecryptSettings settings(false, "auto", true);
    const std::string name = Tagged("memo") + ".zedit";
    const std::string crp = folder_ + "\\" + name + ".crp";
    ASSERT_TRUE(MakeCrp(crp, "first line\r\n"));
    test::SetEditorInstructions("wait", report_, stop_);

    DecryptRun run;
    ASSERT_TRUE(run.Start(Quote(crp), true));
    ASSERT_TRUE(run.Submit());
    ASSERT_TRUE(run.WaitUntilHidden());
    ASSERT_TRUE(test::WaitForEditorReport(report_, kEditorTimeoutMs));
    const test::EditorReport report = test::ReadEditorReport(report_);
    EXPECT_EQ(report.path, TemporaryFolderPath() + name);
    EXPECT_EQ(report.content, "first line\r\n");
    EXPECT_EQ(DecryptedText(crp), "first line\r\n") << "the .crp stays while the editor runs";
    EXPECT_TRUE(TrayIconPresent(run.Window()));
    if (StandaloneTray() != nullptr) {
        EXPECT_EQ(HoverFirstTrayIcon(), name + ".crp");
    }

    ASSERT_TRUE(WriteWholeFile(stop_, ""));  // the editor ends
    ASSERT_TRUE(run.Process().WaitForExit(kEditorTimeoutMs));
    EXPECT_FALSE(run.Process().SawWindowWhileWaiting()) << "no message box";
    EXPECT_EQ(DecryptedText(crp), std::string("first line\r\n") + kEdited);
    EXPECT_FALSE(FileExists(report.path)) << "the working copy is wiped";
    EXPECT_FALSE(TrayIconPresent(run.Window()));
}

TEST_F(Session, TrayModeWaitsForTheRequestAndEncryptsOnceForSeveral) {
    DecryptSettings settings(true, "auto", false);
    const std::string crp = folder_ + "\\tray.zedit.crp";
    ASSERT_TRUE(MakeCrp(crp, "tray\r\n"));
    test::SetEditorInstructions("append", report_);

    DecryptRun run;
    ASSERT_TRUE(run.Start(Quote(crp), true));
    ASSERT_TRUE(run.Submit(kDecryptPassword, IDC_REENCRYPT_TRAY));
    ASSERT_TRUE(test::WaitForEditorReport(report_, kEditorTimeoutMs));
    EXPECT_EQ(settings.LastMode(), "semiauto");
    // The editor has ended; the session waits for the tray.
    Sleep(1500);
    ASSERT_TRUE(run.Process().IsRunning());
    EXPECT_EQ(DecryptedText(crp), "tray\r\n");

    // A double-click reported for another icon ID is not ours.
    PostMessageA(run.Window(), kTrayCallback, 2, WM_LBUTTONDBLCLK);
    Sleep(1500);
    ASSERT_TRUE(run.Process().IsRunning());
    EXPECT_EQ(DecryptedText(crp), "tray\r\n");

    DoubleClickTrayIcon(run.Window());
    ASSERT_TRUE(run.Process().WaitForExit(kEditorTimeoutMs));
    // A second encryption would have met the wiped copy and shown 54.
    EXPECT_FALSE(run.Process().SawWindowWhileWaiting());
    EXPECT_EQ(DecryptedText(crp), std::string("tray\r\n") + kEdited);
    EXPECT_FALSE(FileExists(folder_ + "\\tray.zedit"));
}

// Command 2 can still reach the hidden dialog (Alt+F4, another program); it
// must not end the dialog, and with it the session, under the worker.
TEST_F(Session, CancelIsIgnoredWhileTheSessionRuns) {
    DecryptSettings settings(false, "auto", false);
    const std::string crp = folder_ + "\\busy.zedit.crp";
    ASSERT_TRUE(MakeCrp(crp, "busy\r\n"));
    test::SetEditorInstructions("wait", report_, stop_);

    DecryptRun run;
    ASSERT_TRUE(run.Start(Quote(crp), true));
    ASSERT_TRUE(run.Submit());
    ASSERT_TRUE(test::WaitForEditorReport(report_, kEditorTimeoutMs));
    PostMessageA(run.Window(), WM_COMMAND, IDCANCEL, 0);
    PostMessageA(run.Window(), WM_CLOSE, 0, 0);
    // A logoff that is cancelled after Zorv agreed to it changes nothing.
    DWORD_PTR agreed = 0;
    ASSERT_TRUE(
        SendMessageTimeoutA(run.Window(), WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 5000, &agreed));
    EXPECT_EQ(agreed, 1u);
    ASSERT_TRUE(
        SendMessageTimeoutA(run.Window(), WM_ENDSESSION, FALSE, 0, SMTO_NORMAL, 5000, nullptr));
    Sleep(1500);
    EXPECT_TRUE(run.Process().IsRunning());
    EXPECT_TRUE(TrayIconPresent(run.Window()));
    EXPECT_EQ(DecryptedText(crp), "busy\r\n");

    ASSERT_TRUE(WriteWholeFile(stop_, ""));
    ASSERT_TRUE(run.Process().WaitForExit(kEditorTimeoutMs));
    EXPECT_EQ(DecryptedText(crp), std::string("busy\r\n") + kEdited);
}

// The Windows session ends (a logoff or a shutdown) while the editor is
// open with a saved edit: Zorv re-encrypts the edit once the end is
// confirmed and wipes the working copy before Windows ends it, without a
// message box, in both modes.
TEST_F(Session, ALogoffEncryptsTheSavedEditBeforeZorvIsEnded) {
    for (const int radio : {IDC_REENCRYPT_AUTO, IDC_REENCRYPT_TRAY}) {
        const bool automatic = radio == IDC_REENCRYPT_AUTO;
        SCOPED_TRACE(automatic ? "when the program ends" : "from the tray");
        DecryptSettings settings(false, "auto", true);
        const std::string crp = folder_ + "\\" + Tagged(automatic ? "auto" : "tray") + ".zedit.crp";
        ASSERT_TRUE(MakeCrp(crp, "before logoff\r\n"));
        DeleteFileA(report_.c_str());
        DeleteFileA(stop_.c_str());
        test::SetEditorInstructions("wait", report_, stop_);

        DecryptRun run;
        ASSERT_TRUE(run.Start(Quote(crp), true));
        ASSERT_TRUE(run.Submit(kDecryptPassword, radio));
        ASSERT_TRUE(test::WaitForEditorReport(report_, kEditorTimeoutMs));
        const std::string copy = test::ReadEditorReport(report_).path;
        ASSERT_TRUE(FileExists(copy));

        ASSERT_TRUE(EndWindowsSession());
        ASSERT_TRUE(run.Process().WaitForExit(kEditorTimeoutMs));
        EXPECT_FALSE(run.Process().SawWindowWhileWaiting()) << "no message box";
        EXPECT_EQ(DecryptedText(crp), std::string("before logoff\r\n") + kEdited);
        EXPECT_FALSE(FileExists(copy)) << "no plain working copy is left";
        ASSERT_TRUE(WriteWholeFile(stop_, ""));  // the editor has no window to end it
    }
}

TEST_F(Session, OpenAsReadOnlyUsesTheTempFolderAndNeverTouchesTheCrp) {
    DecryptSettings settings(false, "auto", false);
    const std::string name = Tagged("ro") + ".zedit";
    const std::string crp = folder_ + "\\" + name + ".crp";
    ASSERT_TRUE(MakeCrp(crp, "read only\r\n"));
    const std::string before = ReadFileOrMissing(crp);
    test::SetEditorInstructions("append", report_);

    DecryptRun run;
    ASSERT_TRUE(run.Start(Quote(crp), true));
    ASSERT_TRUE(run.Dialog().Click(IDC_READ_ONLY));
    ASSERT_TRUE(run.Submit());
    ASSERT_TRUE(run.Process().WaitForExit(kEditorTimeoutMs));

    const test::EditorReport report = test::ReadEditorReport(report_);
    ASSERT_TRUE(report.present);
    EXPECT_EQ(report.path, TemporaryFolderPath() + name);
    EXPECT_TRUE(report.readOnly);
    EXPECT_FALSE(FileExists(report.path));
    EXPECT_EQ(ReadFileOrMissing(crp), before);
}

TEST_F(Session, AWrongPasswordShows75AndStartsNothing) {
    DecryptSettings settings(false, "auto", false);
    const std::string crp = folder_ + "\\secret.zedit.crp";
    ASSERT_TRUE(MakeCrp(crp, "secret\r\n"));
    const std::string before = ReadFileOrMissing(crp);
    test::SetEditorInstructions("append", report_);

    DecryptRun run;
    ASSERT_TRUE(run.Start(Quote(crp), true));
    ASSERT_TRUE(run.Submit("wrong"));
    MessageBoxView box = run.Process().WaitForMessageBox();
    ASSERT_TRUE(box.IsValid());
    EXPECT_EQ(box.Message(), TableText(75));
    EXPECT_EQ(box.Icon(), IconKind::kError);
    ASSERT_TRUE(box.PressOk());
    ASSERT_TRUE(run.Process().WaitForExit());
    Sleep(500);
    EXPECT_FALSE(FileExists(report_)) << "no editor was started";
    EXPECT_EQ(FoundOrder(folder_), std::vector<std::string>{"secret.zedit.crp"});
    EXPECT_EQ(ReadFileOrMissing(crp), before);
}

TEST_F(Session, TheTrayIconShowsTheNameOffersItsMenuAndComesBackAfterAShellRestart) {
    DecryptSettings settings(false, "auto", false);
    // The tip is cut after 63 bytes.
    const std::string name = std::string(70, 't') + ".zedit";
    const std::string crp = folder_ + "\\" + name + ".crp";
    ASSERT_TRUE(MakeCrp(crp, "menu\r\n"));
    test::SetEditorInstructions("append", report_);

    DecryptRun run;
    ASSERT_TRUE(run.Start(Quote(crp), true));
    ASSERT_TRUE(run.Submit(kDecryptPassword, IDC_REENCRYPT_TRAY));
    ASSERT_TRUE(test::WaitForEditorReport(report_, kEditorTimeoutMs));
    const HWND window = run.Window();
    ASSERT_TRUE(TrayIconPresent(window));
    if (StandaloneTray() == nullptr) {
        GTEST_SKIP() << "no stand-alone tray on this display: tip and menu not observable";
    }
    EXPECT_EQ(HoverFirstTrayIcon(), std::string(63, 't'));

    // The shell forgets the icon; its "TaskbarCreated" brings it back.
    ASSERT_TRUE(RemoveTrayIcon(window));
    ASSERT_FALSE(TrayIconPresent(window));
    SendMessageA(window, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_TRUE(TrayIconPresent(window));
    EXPECT_EQ(HoverFirstTrayIcon(), std::string(63, 't'));

    // A right click opens the menu; its item asks for the encryption. (Its
    // bold default item is checked in tests/decrypt: Wine keeps menus
    // inside their process, so only the screenshot shows it here.)
    ASSERT_TRUE(RightClickFirstTrayIcon());
    HWND menu = WaitForMenuWindow(run.Process().Id());
    ASSERT_NE(menu, nullptr);
    Sleep(300);
    RECT menuArea;
    RECT trayArea;
    ASSERT_TRUE(GetWindowRect(menu, &menuArea));
    // The tray's client area holds the icons; its frame and caption belong to
    // Wine's stand-alone tray window, which Windows does not have.
    ASSERT_TRUE(GetClientRect(StandaloneTray(), &trayArea));
    MapWindowPoints(StandaloneTray(), nullptr, reinterpret_cast<POINT*>(&trayArea), 2);
    InflateRect(&trayArea, 3, 3);  // with the frame's inner edge,
    trayArea.top += 1;             // but not the caption's last line
    RECT both;
    UnionRect(&both, &menuArea, &trayArea);
    EXPECT_TRUE(SaveScreenArea(both, "decrypt_tray_menu"));
    ASSERT_TRUE(run.Process().IsRunning());
    PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_TRUE(run.Process().WaitForExit(kEditorTimeoutMs));
    EXPECT_EQ(DecryptedText(crp), std::string("menu\r\n") + kEdited);
    EXPECT_FALSE(TrayIconPresent(window));
}

// Zorv killed while the editor is open leaves the .crp as it was and the
// edited working copy. Every later start, whatever its arguments, first asks
// about that copy, and then goes on as it would have: Cancel leaves all for
// the next start; Yes takes the password twice and puts the edit into the
// .crp (once a password that opens the .crp is typed); after a second kill,
// No destroys the copy with the second edit.
TEST_F(Session, AStartAfterAKilledSessionAsksAboutItsWorkingCopy) {
    DecryptSettings settings(false, "auto", false);
    const std::string crp = folder_ + "\\left.zedit.crp";
    ASSERT_TRUE(MakeCrp(crp, "left\r\n"));
    const std::string copy = KillASession(crp);
    ASSERT_EQ(copy, folder_ + "\\left.zedit");
    EXPECT_EQ(DecryptedText(crp), "left\r\n");
    const std::string edited = std::string("left\r\n") + kEdited;
    EXPECT_EQ(ReadFileOrMissing(copy), edited);

    {
        ZorvProcess zorv;  // no arguments: the settings dialog follows
        ASSERT_TRUE(AnswerTheQuestion(zorv, "", copy, crp, IDCANCEL));
        DialogView dialog = zorv.WaitForDialog({"", {IDC_ASSOCIATION, IDC_USE_TEMP_DIR}});
        ASSERT_TRUE(dialog.IsValid());
        dialog.Close();
        ASSERT_TRUE(zorv.WaitForExit());
        EXPECT_EQ(ReadFileOrMissing(copy), edited);
        EXPECT_EQ(DecryptedText(crp), "left\r\n");
    }
    {
        ZorvProcess zorv;  // a path that does not exist: message 50 follows
        ASSERT_TRUE(AnswerTheQuestion(zorv, Quote(folder_ + "\\missing"), copy, crp, IDYES));
        // The same wrong password twice does not open the .crp: asked again.
        for (const std::string typed : {"DECRYPT-PW", kDecryptPassword}) {
            DialogView password =
                zorv.WaitForDialog({"", {IDC_ENCRYPT_PASSWORD, IDC_ENCRYPT_CONFIRM}});
            ASSERT_TRUE(password.IsValid());
            EXPECT_FALSE(password.IsVisible(IDC_DELETE_SOURCE));
            password.SaveScreenshot("session_orphan_password");
            ASSERT_TRUE(password.SetEditText(IDC_ENCRYPT_PASSWORD, typed));
            ASSERT_TRUE(password.SetEditText(IDC_ENCRYPT_CONFIRM, typed));
            ASSERT_TRUE(password.Click(IDOK));
            ASSERT_TRUE(password.WaitUntilClosed());
            if (typed != kDecryptPassword) {
                MessageBoxView wrong = zorv.WaitForMessageBox();
                EXPECT_EQ(wrong.Message(), TableText(75));
                ASSERT_TRUE(wrong.PressOk());
                EXPECT_EQ(DecryptedText(crp), "left\r\n");
            }
        }
        MessageBoxView box = zorv.WaitForMessageBox();
        EXPECT_EQ(box.Message(), TableText(IDS_FILE_NOT_FOUND));
        ASSERT_TRUE(box.PressOk());
        ASSERT_TRUE(zorv.WaitForExit());
        EXPECT_EQ(DecryptedText(crp), edited);
        EXPECT_FALSE(FileExists(copy));
    }

    ASSERT_EQ(KillASession(crp), copy);
    {
        ZorvProcess zorv;  // the .crp itself: its decryption dialog follows
        ASSERT_TRUE(AnswerTheQuestion(zorv, Quote(crp), copy, crp, IDNO));
        DialogView dialog = zorv.WaitForDialog({DecryptCaption(), {IDC_REENCRYPT_AUTO}});
        ASSERT_TRUE(dialog.IsValid());
        dialog.Close();
        ASSERT_TRUE(zorv.WaitForExit());
        EXPECT_FALSE(FileExists(copy));
        EXPECT_EQ(DecryptedText(crp), edited);
    }
    ZorvProcess zorv;  // nothing is left to ask about
    ASSERT_TRUE(zorv.Start(""));
    DialogView dialog = zorv.WaitForDialog({"", {IDC_ASSOCIATION}});
    ASSERT_TRUE(dialog.IsValid());
    EXPECT_TRUE(VisibleDialogsOf(zorv.Id()).size() == 1u);
    dialog.Close();
    ASSERT_TRUE(zorv.WaitForExit());
}

// With an empty list there is no file name for the tip.
TEST(Tray, AnEmptyListGivesTheProgramNameAsTip) {
    DecryptSettings settings(false, "auto", true);
    ASSERT_TRUE(PutFileDropOnClipboard({}));
    DecryptRun run;
    ASSERT_TRUE(run.Start("-c", false));
    SendMessageA(run.Window(), RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_TRUE(TrayIconPresent(run.Window()));
    if (StandaloneTray() != nullptr) {
        EXPECT_EQ(HoverFirstTrayIcon(), "Zorv");
    }
    run.Dialog().Close();
    ASSERT_TRUE(run.Process().WaitForExit());
    EXPECT_FALSE(TrayIconPresent(run.Window()));
    ClearClipboard();
}

}  // namespace
}  // namespace zorv::e2e
