// The harness's own steps, checked against the fixture program whose
// behaviour is known (fixture/fixture.cpp).
#include "support/harness.h"

#include <gtest/gtest.h>

#include "e2e/fixture/fixture_ids.h"

namespace zorv::e2e {
namespace {

std::string Fixture() {
    return ToWindowsPath(ZORV_E2E_FIXTURE);
}

TEST(Harness, TypingFiresTheEditsChangeHandlingAndClicksEndTheDialog) {
    ZorvProcess fixture;
    ASSERT_TRUE(fixture.Start("", Fixture()));
    DialogView dialog = fixture.WaitForDialog({"Fixture", {IDC_FIXTURE_EDIT, IDOK}});
    ASSERT_TRUE(dialog.IsValid());
    EXPECT_TRUE(dialog.IsDefaultButton(IDOK));
    EXPECT_FALSE(dialog.IsDefaultButton(IDCANCEL));
    EXPECT_FALSE(dialog.IsEnabled(IDOK));
    EXPECT_FALSE(dialog.Click(IDOK)) << "a disabled button cannot be clicked";

    ASSERT_TRUE(dialog.SetEditText(IDC_FIXTURE_EDIT, "abc"));
    EXPECT_EQ(dialog.Text(IDC_FIXTURE_EDIT), "abc");
    EXPECT_TRUE(dialog.IsEnabled(IDOK)) << "WM_SETTEXT did not reach the EN_CHANGE handler";
    ASSERT_TRUE(dialog.SetEditText(IDC_FIXTURE_EDIT, ""));
    EXPECT_FALSE(dialog.IsEnabled(IDOK));
    ASSERT_TRUE(dialog.TypeChars(IDC_FIXTURE_EDIT, "hello"));
    EXPECT_EQ(dialog.Text(IDC_FIXTURE_EDIT), "hello");
    EXPECT_TRUE(dialog.IsEnabled(IDOK)) << "WM_CHAR did not reach the EN_CHANGE handler";

    EXPECT_FALSE(dialog.IsChecked(IDC_FIXTURE_CHECK));
    ASSERT_TRUE(dialog.Click(IDC_FIXTURE_CHECK));
    EXPECT_TRUE(dialog.SaveScreenshot("harness_fixture"));
    ASSERT_TRUE(dialog.Click(IDOK));
    ASSERT_TRUE(fixture.WaitForExit());
    EXPECT_EQ(fixture.ExitCode(), 51u);
    EXPECT_FALSE(dialog.IsOpen());
}

TEST(Harness, CloseBoxEndsWithCancel) {
    ZorvProcess fixture;
    ASSERT_TRUE(fixture.Start("", Fixture()));
    DialogView dialog = fixture.WaitForDialog({"", {IDC_FIXTURE_CHECK}});
    ASSERT_TRUE(dialog.IsValid());
    EXPECT_EQ(dialog.Caption(), "Fixture");
    EXPECT_FALSE(MessageBoxView::Matches(dialog.Handle()));
    dialog.Close();
    EXPECT_TRUE(dialog.WaitUntilClosed());
    ASSERT_TRUE(fixture.WaitForExit());
    EXPECT_EQ(fixture.ExitCode(), 2u);
}

TEST(Harness, MessageBoxTextAndIconKind) {
    const struct {
        const char* argument;
        IconKind icon;
    } cases[] = {{"-msg error", IconKind::kError},
                 {"-msg warning", IconKind::kWarning},
                 {"-msg information", IconKind::kInformation}};
    for (const auto& c : cases) {
        ZorvProcess fixture;
        ASSERT_TRUE(fixture.Start(c.argument, Fixture()));
        MessageBoxView box = fixture.WaitForMessageBox();
        ASSERT_TRUE(box.IsValid()) << c.argument;
        EXPECT_EQ(box.Caption(), "Zorv");
        EXPECT_EQ(box.Message(), "fixture");
        EXPECT_EQ(box.Buttons(), std::vector<int>{IDOK});
        EXPECT_STREQ(IconKindName(box.Icon()), IconKindName(c.icon)) << c.argument;
        ASSERT_TRUE(box.PressOk());
        ASSERT_TRUE(fixture.WaitForExit()) << c.argument;
        EXPECT_EQ(fixture.ExitCode(), 0u);
    }
}

std::string ClipboardAsSeenByAnotherProcess() {
    ZorvProcess fixture;
    if (!fixture.Start("-clip", Fixture())) {
        return "not started";
    }
    MessageBoxView box = fixture.WaitForMessageBox();
    std::string seen = box.IsValid() ? box.Message() : "no message box";
    box.PressOk();
    fixture.WaitForExit();
    return seen;
}

TEST(Harness, ClipboardContentsReachAnotherProcess) {
    ASSERT_TRUE(PutFileDropOnClipboard({"C:\\a\\one.txt", "C:\\b\\two.crp"}));
    EXPECT_EQ(ClipboardAsSeenByAnotherProcess(), "drop:2:C:\\a\\one.txt|C:\\b\\two.crp");
    ASSERT_TRUE(PutFileDropOnClipboard({}));
    EXPECT_EQ(ClipboardAsSeenByAnotherProcess(), "drop:0:");
    ASSERT_TRUE(PutTextOnClipboard("plain words"));
    EXPECT_EQ(ClipboardAsSeenByAnotherProcess(), "text:plain words");
    ASSERT_TRUE(ClearClipboard());
    EXPECT_EQ(ClipboardAsSeenByAnotherProcess(), "none");
}

TEST(Harness, ExitWithoutWindowsIsRecognised) {
    ZorvProcess fixture;
    ASSERT_TRUE(fixture.Start("-msg error", Fixture()));
    EXPECT_FALSE(fixture.WaitForExit(1500)) << "the message box keeps the process alive";
    EXPECT_TRUE(fixture.SawWindowWhileWaiting());
    fixture.Kill();
    EXPECT_FALSE(fixture.IsRunning());
}

TEST(Harness, ScenarioFoldersStartEmpty) {
    std::string folder = MakeScenarioFolder("harness_folder");
    ASSERT_TRUE(WriteWholeFile(folder + "\\x.txt", "data"));
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(folder + "\\x.txt", &bytes));
    EXPECT_EQ(bytes, "data");
    EXPECT_EQ(MakeScenarioFolder("harness_folder"), folder);
    EXPECT_FALSE(FileExists(folder + "\\x.txt"));
    EXPECT_EQ(ToWindowsPath("/tmp/a b/c"), "Z:\\tmp\\a b\\c");
    EXPECT_EQ(ToWindowsPath("C:\\x"), "C:\\x");
}

}  // namespace
}  // namespace zorv::e2e
