// Decryption from start to end: zorv.exe started under Wine with .crp
// inputs, its decryption dialog (template 112 or 114) worked from outside,
// and the files, the log and the settings file checked.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/resource_ids.h"
#include "e2e/decrypt_steps.h"
#include "support/harness.h"

namespace zorv::e2e {
namespace {

constexpr int kRadios[] = {IDC_REENCRYPT_AUTO, IDC_REENCRYPT_TRAY, IDC_REENCRYPT_NONE};

bool WaitChecked(const DialogView& dialog, int id, bool checked) {
    for (int i = 0; i < 200; ++i) {
        if (dialog.IsChecked(id) == checked) {
            return true;
        }
        Sleep(25);
    }
    return false;
}

bool WaitEnabled(const DialogView& dialog, int id, bool enabled) {
    for (int i = 0; i < 200; ++i) {
        if (dialog.IsEnabled(id) == enabled) {
            return true;
        }
        Sleep(25);
    }
    return false;
}

TEST(Decrypt, OneFileIsDecryptedInPlaceAndItsCrpWiped) {
    DecryptSettings settings(false, "auto", true);
    const std::string folder = MakeScenarioFolder("decrypt_one");
    const std::string plain = PatternBytes(5000, 7);
    const std::string crp = folder + "\\report.doc.crp";
    ASSERT_TRUE(MakeCrp(crp, plain));
    const int temporaries = TemporaryFileCount();

    DecryptRun run;
    ASSERT_TRUE(run.Start(Quote(crp), true));
    const DialogView& dialog = run.Dialog();
    EXPECT_EQ(dialog.Caption(), DecryptCaption());
    EXPECT_TRUE(dialog.IsChecked(IDC_REENCRYPT_AUTO));
    EXPECT_FALSE(dialog.IsChecked(IDC_REENCRYPT_TRAY));
    EXPECT_FALSE(dialog.IsChecked(IDC_REENCRYPT_NONE));
    EXPECT_TRUE(dialog.IsEnabled(IDC_READ_ONLY));
    EXPECT_FALSE(dialog.IsChecked(IDC_READ_ONLY));
    EXPECT_FALSE(dialog.IsEnabled(IDOK));
    EXPECT_FALSE(dialog.IsVisible(IDC_LOG));
    EXPECT_FALSE(dialog.IsVisible(IDC_PROCESSING));
    EXPECT_TRUE(dialog.SaveScreenshot("decrypt_112"));

    // OK follows the password edit: one character is enough.
    ASSERT_TRUE(dialog.SetEditText(IDC_DECRYPT_PASSWORD, "x"));
    EXPECT_TRUE(dialog.IsEnabled(IDOK));
    ASSERT_TRUE(dialog.SetEditText(IDC_DECRYPT_PASSWORD, ""));
    EXPECT_FALSE(dialog.IsEnabled(IDOK));

    // "None" unchecks and disables the read-only box; the others enable it.
    ASSERT_TRUE(dialog.Click(IDC_READ_ONLY));
    ASSERT_TRUE(WaitChecked(dialog, IDC_READ_ONLY, true));
    ASSERT_TRUE(dialog.Click(IDC_REENCRYPT_NONE));
    ASSERT_TRUE(WaitEnabled(dialog, IDC_READ_ONLY, false));
    EXPECT_FALSE(dialog.IsChecked(IDC_READ_ONLY));
    for (int radio : {IDC_REENCRYPT_TRAY, IDC_REENCRYPT_NONE, IDC_REENCRYPT_AUTO}) {
        ASSERT_TRUE(dialog.Click(radio));
        EXPECT_TRUE(WaitEnabled(dialog, IDC_READ_ONLY, radio != IDC_REENCRYPT_NONE)) << radio;
    }

    ASSERT_TRUE(run.Submit(kDecryptPassword, IDC_REENCRYPT_NONE));
    // A clean batch ends the dialog at once.
    ASSERT_TRUE(run.Process().WaitForExit());
    EXPECT_EQ(ReadFileOrMissing(folder + "\\report.doc"), plain);
    EXPECT_FALSE(FileExists(crp));
    EXPECT_EQ(FoundOrder(folder).size(), 1u);
    EXPECT_EQ(TemporaryFileCount(), temporaries) << "a temporary file was left behind";
}

TEST(Decrypt, InputsAreCheckedOneByOneInListOrder) {
    DecryptSettings settings(false, "auto", true);
    const std::string folder = MakeScenarioFolder("decrypt_inputs");
    const std::string upper = folder + "\\B.CRP";
    const std::string missing = folder + "\\missing.crp";
    const std::string text = folder + "\\x.txt";
    const std::string readOnly = folder + "\\ro.crp";
    const std::string taken = folder + "\\taken.txt.crp";
    const std::string hidden = folder + "\\hidden.crp";
    ASSERT_TRUE(MakeCrp(upper, "upper case"));
    ASSERT_TRUE(WriteWholeFile(text, "not encrypted"));
    ASSERT_TRUE(MakeCrp(readOnly, "read-only"));
    ASSERT_TRUE(SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(MakeCrp(taken, "taken"));
    ASSERT_TRUE(WriteWholeFile(folder + "\\taken.txt", "already here"));
    ASSERT_TRUE(MakeCrp(hidden, "hidden"));
    ASSERT_TRUE(SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_NE(Attributes(hidden) & FILE_ATTRIBUTE_HIDDEN, 0u)
        << "the file system keeps no hidden bit";

    DecryptRun run;
    std::string arguments;
    for (const std::string& path : {upper, missing, text, readOnly, taken, hidden}) {
        arguments += " " + Quote(path);
    }
    ASSERT_TRUE(run.Start(arguments.substr(1), false));
    const DialogView& dialog = run.Dialog();
    EXPECT_FALSE(dialog.HasControl(IDC_REENCRYPT_AUTO));
    EXPECT_FALSE(dialog.IsEnabled(IDOK));
    EXPECT_TRUE(dialog.SaveScreenshot("decrypt_114"));
    ASSERT_TRUE(run.Submit());
    ASSERT_TRUE(run.WaitForReview());

    EXPECT_EQ(run.LogText(), DecryptLog()
                                 .Ok(upper)
                                 .Fail(missing, 79)
                                 .Fail(text, 76)
                                 .Fail(readOnly, 74)
                                 .Fail(folder + "\\taken.txt", 71)
                                 .Ok(hidden)
                                 .Text());
    EXPECT_TRUE(dialog.IsEnabled(IDC_LOG));
    EXPECT_TRUE(dialog.IsDefaultButton(IDCANCEL));
    for (int id : {IDOK, IDC_DECRYPT_PASSWORD, IDC_DECRYPT_PASSWORD_LABEL}) {
        EXPECT_FALSE(dialog.IsVisible(id)) << id;
    }
    EXPECT_TRUE(dialog.SaveScreenshot("decrypt_review"));

    EXPECT_EQ(ReadFileOrMissing(folder + "\\B"), "upper case");
    EXPECT_FALSE(FileExists(upper));
    EXPECT_EQ(ReadFileOrMissing(text), "not encrypted");
    EXPECT_EQ(DecryptedText(readOnly), "read-only");
    EXPECT_EQ(DecryptedText(taken), "taken") << "the .crp of a refused copy stays";
    EXPECT_EQ(ReadFileOrMissing(folder + "\\taken.txt"), "already here");
    EXPECT_EQ(ReadFileOrMissing(folder + "\\hidden"), "hidden");
    EXPECT_FALSE(FileExists(hidden));

    ASSERT_TRUE(dialog.Click(IDCANCEL));
    EXPECT_TRUE(run.Process().WaitForExit());
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(Decrypt, AWrongPasswordFailsEveryFileAndLeavesNoPlainTextAnywhere) {
    DecryptSettings settings(false, "auto", true);
    const std::string root = MakeScenarioFolder("decrypt_wrong");
    const std::string single = root + "\\single.crp";
    ASSERT_TRUE(MakeCrp(single, PatternBytes(9000, 3)));
    ASSERT_TRUE(MakeFolder(root + "\\walk"));
    for (const char* name : {"p.crp", "q.crp"}) {
        ASSERT_TRUE(MakeCrp(root + "\\walk\\" + name, PatternBytes(100, name[0])));
    }
    const std::vector<std::string> before = FoundOrder(root + "\\walk");
    const int temporaries = TemporaryFileCount();

    DecryptRun run;
    ASSERT_TRUE(run.Start(Quote(single) + " " + Quote(root + "\\walk"), false));
    ASSERT_TRUE(run.Submit("not the password"));
    ASSERT_TRUE(run.WaitForReview());
    DecryptLog expected;
    expected.Fail(single, 75);
    for (auto name = before.rbegin(); name != before.rend(); ++name) {
        expected.Fail(root + "\\walk\\" + *name, 75);
    }
    EXPECT_EQ(run.LogText(), expected.Text());
    EXPECT_EQ(FoundOrder(root + "\\walk"), before);
    EXPECT_EQ(FoundOrder(root).size(), 2u) << "only single.crp and walk";
    EXPECT_EQ(TemporaryFileCount(), temporaries) << "a temporary file was left behind";
    run.Dialog().Close();
    EXPECT_TRUE(run.Process().WaitForExit());
}

TEST(Decrypt, TheRememberedModeChoosesTheFirstRadio) {
    struct Case {
        bool rememberLast;
        const char* stored;
        int checked;
    };
    const Case cases[] = {
        {true, "semiauto", IDC_REENCRYPT_TRAY}, {true, "none", IDC_REENCRYPT_NONE},
        {true, "auto", IDC_REENCRYPT_AUTO},     {false, "semiauto", IDC_REENCRYPT_AUTO},
        {false, "none", IDC_REENCRYPT_AUTO},
    };
    const std::string folder = MakeScenarioFolder("decrypt_radios");
    const std::string crp = folder + "\\memo.txt.crp";
    ASSERT_TRUE(MakeCrp(crp, "memo"));
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.rememberLast ? "remember " : "forget ") + c.stored);
        DecryptSettings settings(c.rememberLast, c.stored, true);
        DecryptRun run;
        ASSERT_TRUE(run.Start(Quote(crp), true));
        for (int radio : kRadios) {
            EXPECT_EQ(run.Dialog().IsChecked(radio), radio == c.checked) << radio;
        }
        // The read-only box keeps its template state whatever is checked.
        EXPECT_TRUE(run.Dialog().IsEnabled(IDC_READ_ONLY));
        run.Dialog().Close();
        ASSERT_TRUE(run.Process().WaitForExit());
        EXPECT_EQ(settings.LastMode(), c.stored) << "Cancel saves nothing";
    }
    EXPECT_EQ(DecryptedText(crp), "memo");
}

TEST(Decrypt, TheModeIsSavedOn112EvenWhenDecryptionFailsAndNeverOn114) {
    const std::string folder = MakeScenarioFolder("decrypt_save_mode");
    const std::string first = folder + "\\first.crp";
    const std::string second = folder + "\\second.crp";
    ASSERT_TRUE(MakeCrp(first, "1"));
    ASSERT_TRUE(MakeCrp(second, "2"));
    {
        DecryptSettings settings(true, "auto", true);
        DecryptRun run;
        ASSERT_TRUE(run.Start(Quote(first), true));
        ASSERT_TRUE(run.Submit("wrong", IDC_REENCRYPT_NONE));
        ASSERT_TRUE(run.WaitForReview());
        EXPECT_EQ(run.LogText(), DecryptLog().Fail(first, 75).Text());
        EXPECT_EQ(settings.LastMode(), "none");
        run.Dialog().Close();
        ASSERT_TRUE(run.Process().WaitForExit());
    }
    {
        DecryptSettings settings(false, "semiauto", true);
        DecryptRun run;
        ASSERT_TRUE(run.Start(Quote(first), true));
        ASSERT_TRUE(run.Submit("wrong", IDC_REENCRYPT_NONE));
        ASSERT_TRUE(run.WaitForReview());
        EXPECT_EQ(settings.LastMode(), "semiauto") << "RememberLast is off";
        run.Dialog().Close();
        ASSERT_TRUE(run.Process().WaitForExit());
    }
    {
        DecryptSettings settings(true, "semiauto", true);
        DecryptRun run;
        ASSERT_TRUE(run.Start(Quote(first) + " " + Quote(second), false));
        ASSERT_TRUE(run.Submit("wrong"));
        ASSERT_TRUE(run.WaitForReview());
        EXPECT_EQ(settings.LastMode(), "semiauto");
        run.Dialog().Close();
        ASSERT_TRUE(run.Process().WaitForExit());
    }
}

TEST(Decrypt, AnEmptyListEndsAtOnce) {
    DecryptSettings settings(false, "auto", true);
    ASSERT_TRUE(PutFileDropOnClipboard({}));
    DecryptRun run;
    ASSERT_TRUE(run.Start("-c", false));
    ASSERT_TRUE(run.Submit());
    EXPECT_TRUE(run.Process().WaitForExit());
    ClearClipboard();
}

}  // namespace
}  // namespace zorv::e2e
