// Encryption from start to end: zorv.exe started under Wine with inputs, its
// encryption dialog worked from outside, and the files and the log checked.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/message_texts.h"
#include "app/resource_ids.h"
#include "e2e/encrypt_steps.h"
#include "support/cp932.h"
#include "support/harness.h"
// After <windows.h>, whose names for the system's calls it takes back.
#include "crypto/file_cipher.h"

namespace zorv::e2e {
namespace {

using test::Cp932;

ResultCode DecryptWithPassword(const std::string& source, const std::string& target) {
    FileCipher cipher(kPassword, static_cast<int32_t>(sizeof kPassword - 1));
    return cipher.DecryptFile(source.c_str(), target.c_str());
}

TEST(Encrypt, RoundTripThroughTheDialogWithAndWithoutDeletingTheSource) {
    const FILETIME written = {0x12345000u, 0x01C0A1B2u};  // a day in 2000
    for (bool deleteSource : {true, false}) {
        SCOPED_TRACE(deleteSource ? "source deleted" : "source kept");
        const std::string folder = MakeScenarioFolder("encrypt_round_trip");
        const std::string source = folder + "\\report.doc";
        const std::string bytes = PatternBytes(5000, 1);
        ASSERT_TRUE(WriteWholeFile(source, bytes));
        ASSERT_TRUE(SetLastWriteTime(source, written));
        const int temporaries = TemporaryFileCount();

        EncryptRun run;
        ASSERT_TRUE(run.Start(Quote(source)));
        const DialogView& dialog = run.Dialog();
        EXPECT_TRUE(dialog.IsChecked(IDC_DELETE_SOURCE));
        EXPECT_FALSE(dialog.IsEnabled(IDOK));
        EXPECT_FALSE(dialog.IsVisible(IDC_LOG));
        EXPECT_FALSE(dialog.IsEnabled(IDC_LOG));
        EXPECT_FALSE(dialog.IsVisible(IDC_PROCESSING));
        EXPECT_EQ(run.FocusedControl(), GetDlgItem(dialog.Handle(), IDC_ENCRYPT_PASSWORD));
        if (deleteSource) {
            EXPECT_TRUE(dialog.SaveScreenshot("encrypt_input"));
        } else {
            ASSERT_TRUE(dialog.Click(IDC_DELETE_SOURCE));
        }
        ASSERT_TRUE(run.Submit());
        // A clean batch ends the dialog at once: the log is never seen.
        ASSERT_TRUE(run.Process().WaitForExit());
        EXPECT_EQ(run.Process().ExitCode(), 0u);

        EXPECT_EQ(FileExists(source), !deleteSource);
        if (!deleteSource) {
            EXPECT_EQ(ReadFileOrMissing(source), bytes);
        }
        ASSERT_EQ(DecryptWithPassword(source + ".crp", folder + "\\decrypted"), 0);
        EXPECT_EQ(ReadFileOrMissing(folder + "\\decrypted"), bytes);
        FILETIME restored{};
        ASSERT_TRUE(GetLastWriteTime(folder + "\\decrypted", &restored));
        EXPECT_EQ(CompareFileTime(&restored, &written), 0);
        EXPECT_EQ(TemporaryFileCount(), temporaries) << "a temporary file was left behind";
    }
}

TEST(Encrypt, ASourceThatCannotBeDestroyedKeepsTheDialogOpenForReview) {
    const std::string folder = MakeScenarioFolder("encrypt_undeletable");
    const std::string source = folder + "\\held.txt";
    ASSERT_TRUE(WriteWholeFile(source, "plain"));
    // Readers may share the file, writers may not: the transform can read
    // it, the wipe cannot open it.
    HANDLE held = CreateFileA(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    // A second name of a file: overwriting it would destroy the other's
    // contents.
    const std::string linked = folder + "\\linked.txt";
    ASSERT_TRUE(WriteWholeFile(linked, "linked plain"));
    ASSERT_TRUE(CreateHardLinkA((folder + "\\other-name.txt").c_str(), linked.c_str(), nullptr));

    EncryptRun run;
    ASSERT_TRUE(run.Start(Quote(source) + " " + Quote(linked)));
    ASSERT_TRUE(run.Submit());
    ASSERT_TRUE(run.WaitForReview()) << "the plain files the user asked to destroy are still there";
    EXPECT_EQ(run.Dialog().Text(IDC_LOG), ExpectedLog().Fail(source, 81).Fail(linked, 81).Text());
    ASSERT_TRUE(run.Dialog().Click(IDCANCEL));
    EXPECT_TRUE(run.Process().WaitForExit());
    CloseHandle(held);
    EXPECT_EQ(ReadFileOrMissing(linked), "linked plain");
    EXPECT_EQ(ReadFileOrMissing(folder + "\\other-name.txt"), "linked plain");
    EXPECT_TRUE(FileExists(linked + ".crp"));
    EXPECT_EQ(ReadFileOrMissing(source), "plain");
    EXPECT_EQ(DecryptWithPassword(source + ".crp", folder + "\\decrypted"), 0);
    EXPECT_EQ(ReadFileOrMissing(folder + "\\decrypted"), "plain");
}

TEST(Encrypt, DifferingEntriesWarnEmptyBothEditsAndTouchNothing) {
    const std::string folder = MakeScenarioFolder("encrypt_mismatch");
    const std::string source = folder + "\\a.txt";
    ASSERT_TRUE(WriteWholeFile(source, "plain"));

    EncryptRun run;
    ASSERT_TRUE(run.Start("-e " + Quote(source)));
    ASSERT_TRUE(run.EnterPasswords("Secret", "secret"));
    ASSERT_TRUE(run.Dialog().Click(IDOK));
    MessageBoxView box = run.Process().WaitForMessageBox();
    ASSERT_TRUE(box.IsValid());
    EXPECT_EQ(box.Caption(), "Zorv");
    EXPECT_EQ(box.Message(), MessageText(51));
    EXPECT_STREQ(IconKindName(box.Icon()), IconKindName(IconKind::kWarning));
    ASSERT_TRUE(box.PressOk());
    ASSERT_TRUE(box.WaitUntilClosed());

    const DialogView& dialog = run.Dialog();
    EXPECT_TRUE(dialog.IsOpen());
    EXPECT_EQ(dialog.Text(IDC_ENCRYPT_PASSWORD), "");
    EXPECT_EQ(dialog.Text(IDC_ENCRYPT_CONFIRM), "");
    EXPECT_FALSE(dialog.IsEnabled(IDOK));
    EXPECT_TRUE(dialog.IsVisible(IDOK));
    EXPECT_EQ(run.FocusedControl(), GetDlgItem(dialog.Handle(), IDC_ENCRYPT_PASSWORD));
    EXPECT_EQ(ReadFileOrMissing(source), "plain");
    EXPECT_FALSE(FileExists(source + ".crp"));

    ASSERT_TRUE(dialog.Click(IDCANCEL));
    ASSERT_TRUE(run.Process().WaitForExit());
    EXPECT_EQ(ReadFileOrMissing(source), "plain");
    EXPECT_FALSE(FileExists(source + ".crp"));
}

TEST(Encrypt, OkIsEnabledFromTheMinimumLengthInBytes) {
    const std::string threeKana = Cp932(u8"あいう");  // 6 bytes
    const struct {
        std::string minimumChars;  // "" = no settings file
        std::string first;
        std::string second;
        bool enabled;
    } cases[] = {
        {"8", "1234567", "1234567", false},
        {"8", "12345678", "12345678", true},
        {"8", "12345678", "1234567", false},
        {"8", "1234567", "12345678", false},
        {"8", threeKana + "ab", threeKana + "cd", true},
        {"8", threeKana + "a", threeKana + "b", false},
        {"", "", "", false},
        {"", "a", "", false},
        {"", "a", "b", true},
        {"0", "", "", false},
        {"0", "a", "a", true},
        {"-5", "", "", false},
        {"-5", "", "a", false},
        {"-5", "a", "a", true},
    };
    const std::string source = MakeScenarioFolder("encrypt_minimum") + "\\a.txt";
    ASSERT_TRUE(WriteWholeFile(source, "plain"));
    // One run of the program per settings file: the settings are read at start.
    std::string current = "?";
    std::unique_ptr<SettingsFile> settings;
    std::unique_ptr<EncryptRun> run;
    auto endRun = [&run] {
        if (run) {
            run->Dialog().Close();
            EXPECT_TRUE(run->Process().WaitForExit());
        }
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("MinimumChars=" + c.minimumChars + " entries of " +
                     std::to_string(c.first.size()) + " and " + std::to_string(c.second.size()) +
                     " bytes");
        if (c.minimumChars != current) {
            endRun();
            current = c.minimumChars;
            settings.reset();  // its destructor removes the file
            settings = std::make_unique<SettingsFile>(current);
            run = std::make_unique<EncryptRun>();
            ASSERT_TRUE(run->Start(Quote(source)));
        }
        ASSERT_TRUE(run->EnterPasswords(c.first, c.second));
        EXPECT_EQ(run->Dialog().IsEnabled(IDOK), c.enabled);
    }
    endRun();
    EXPECT_EQ(ReadFileOrMissing(source), "plain");
}

TEST(Encrypt, RefusalsAndFailuresAreLoggedAndTheDialogStaysForReview) {
    const std::string folder = MakeScenarioFolder("encrypt_review");
    const std::string good = folder + "\\a.txt";
    const std::string encrypted = folder + "\\B.CRP";
    const std::string missing = folder + "\\nothere.txt";
    const std::string readOnly = folder + "\\ro.txt";
    const std::string empty = folder + "\\empty.txt";
    const std::string crpInName = folder + "\\x.crp.txt";
    const std::string taken = folder + "\\t.txt";
    for (const std::string& path : {good, encrypted, readOnly, crpInName, taken}) {
        ASSERT_TRUE(WriteWholeFile(path, "content of " + path));
    }
    ASSERT_TRUE(WriteWholeFile(empty, ""));
    ASSERT_TRUE(WriteWholeFile(taken + ".crp", "older"));
    ASSERT_TRUE(SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));

    EncryptRun run;
    std::string arguments = "-e";
    for (const std::string& path : {good, encrypted, missing, readOnly, empty, crpInName, taken}) {
        arguments += " " + Quote(path);
    }
    ASSERT_TRUE(run.Start(arguments));
    ASSERT_TRUE(run.Submit());
    ASSERT_TRUE(run.WaitForReview());

    const DialogView& dialog = run.Dialog();
    const std::string expected = ExpectedLog()
                                     .Ok(good)
                                     .Fail(encrypted, 73)
                                     .Fail(missing, 79)
                                     .Fail(readOnly, 74)
                                     .Fail(empty, 80)
                                     .Ok(crpInName)
                                     .Fail(taken + ".crp", 71)
                                     .Text();
    EXPECT_EQ(dialog.Text(IDC_LOG), expected);
    EXPECT_TRUE(dialog.IsEnabled(IDC_LOG));
    EXPECT_TRUE(dialog.IsVisible(IDC_LOG));
    EXPECT_TRUE(dialog.IsVisible(IDC_PROCESSING));
    EXPECT_EQ(dialog.Text(IDC_PROCESSING), FromUtf8(MessageTextUtf8(IDS_PROCESSING_DONE)));
    EXPECT_TRUE(dialog.IsDefaultButton(IDCANCEL));
    EXPECT_EQ(run.FocusedControl(), GetDlgItem(dialog.Handle(), IDCANCEL));
    for (int id : {IDOK, IDC_ENCRYPT_PASSWORD, IDC_ENCRYPT_CONFIRM, IDC_DELETE_SOURCE,
                   IDC_ENCRYPT_PASSWORD_LABEL, IDC_ENCRYPT_CONFIRM_LABEL}) {
        EXPECT_FALSE(dialog.IsVisible(id)) << id;
    }
    EXPECT_TRUE(dialog.SaveScreenshot("encrypt_review"));

    EXPECT_FALSE(FileExists(good)) << "box 1015 was ticked";
    EXPECT_TRUE(FileExists(good + ".crp"));
    EXPECT_EQ(ReadFileOrMissing(encrypted), "content of " + encrypted);
    EXPECT_FALSE(FileExists(encrypted + ".crp"));
    EXPECT_EQ(ReadFileOrMissing(readOnly), "content of " + readOnly);
    EXPECT_NE(Attributes(readOnly) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_FALSE(FileExists(readOnly + ".crp"));
    EXPECT_FALSE(FileExists(empty + ".crp"));
    EXPECT_TRUE(FileExists(crpInName + ".crp"));
    EXPECT_EQ(ReadFileOrMissing(taken), "content of " + taken)
        << "the source of a refused copy must stay";
    EXPECT_EQ(ReadFileOrMissing(taken + ".crp"), "older");

    ASSERT_TRUE(dialog.Click(IDCANCEL));
    EXPECT_TRUE(run.Process().WaitForExit());
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(Encrypt, ASourcePathWithoutRoomForTheExtensionIsRefusedUnderItsOwnName) {
    const std::string base = MakeScenarioFolder("encrypt_long");
    const std::string folder = MakeFolderOfLength(base, 240);
    const std::string fits = folder + "\\" + std::string(255 - folder.size() - 1, 'f');
    const std::string tooLong = folder + "\\" + std::string(256 - folder.size() - 1, 'g');
    ASSERT_EQ(fits.size(), 255u);
    ASSERT_EQ(tooLong.size(), 256u);
    ASSERT_TRUE(WriteLongFile(fits, "fits"));
    ASSERT_TRUE(WriteLongFile(tooLong, "too long"));

    EncryptRun run;
    ASSERT_TRUE(run.Start("-e " + Quote(fits) + " " + Quote(tooLong)));
    ASSERT_TRUE(run.Dialog().Click(IDC_DELETE_SOURCE));
    ASSERT_TRUE(run.Submit());
    ASSERT_TRUE(run.WaitForReview());
    EXPECT_EQ(run.Dialog().Text(IDC_LOG), ExpectedLog().Ok(fits).Fail(tooLong, 71).Text());
    EXPECT_TRUE(FileExists(fits + ".crp"));
    EXPECT_EQ(ReadFileOrMissing(tooLong), "too long");
    EXPECT_EQ(FoundOrder(folder).size(), 3u) << "no other file may appear";
    run.Dialog().Close();
    EXPECT_TRUE(run.Process().WaitForExit());
}

TEST(Encrypt, AFolderEntryWhosePathWouldNotFitIsReportedInFull) {
    const std::string base = MakeScenarioFolder("encrypt_long_entry");
    const std::string folder = MakeFolderOfLength(base, 250);
    const std::string fits = folder + "\\fits";                  // 255 bytes
    const std::string tooLong = folder + "\\name-too-long.txt";  // 268 bytes
    ASSERT_TRUE(WriteLongFile(fits, "fits"));
    ASSERT_TRUE(WriteLongFile(tooLong, "too long"));

    EncryptRun run;
    ASSERT_TRUE(run.Start("-e " + Quote(folder)));
    ASSERT_TRUE(run.Submit());
    ASSERT_TRUE(run.WaitForReview());
    EXPECT_EQ(run.Dialog().Text(IDC_LOG), ExpectedLog().Fail(tooLong, 84).Ok(fits).Text());
    EXPECT_FALSE(FileExists(fits));
    EXPECT_TRUE(FileExists(fits + ".crp"));
    EXPECT_EQ(FoundOrder(folder).size(), 2u) << "the long entry must stay as it was, alone";
    run.Dialog().Close();
    EXPECT_TRUE(run.Process().WaitForExit());
}

TEST(Encrypt, AnEmptyClipboardListWritesOnlyTheFrameAndEnds) {
    ASSERT_TRUE(PutFileDropOnClipboard({}));
    EncryptRun run;
    ASSERT_TRUE(run.Start("-e -c"));
    ASSERT_TRUE(run.Submit());
    EXPECT_TRUE(run.Process().WaitForExit()) << "an empty batch has no failure";
    EXPECT_EQ(run.Process().ExitCode(), 0u);
}

TEST(Encrypt, ANameWithWildcardsIsNotEncrypted) {
    const std::string folder = MakeScenarioFolder("encrypt_wildcard");
    ASSERT_TRUE(WriteWholeFile(folder + "\\a.txt", "plain"));
    const std::string pattern = folder + "\\*.txt";
    ASSERT_TRUE(PutFileDropOnClipboard({pattern}));

    EncryptRun run;
    ASSERT_TRUE(run.Start("-e -c"));
    ASSERT_TRUE(run.Submit());
    ASSERT_TRUE(run.WaitForReview());
    EXPECT_EQ(run.Dialog().Text(IDC_LOG), ExpectedLog().Fail(pattern, 79).Text());
    EXPECT_EQ(ReadFileOrMissing(folder + "\\a.txt"), "plain");
    EXPECT_EQ(FoundOrder(folder).size(), 1u);
    run.Dialog().Close();
    EXPECT_TRUE(run.Process().WaitForExit());
    ClearClipboard();
}

std::string QuotedList(const std::vector<std::string>& paths) {
    std::string list;
    for (const std::string& path : paths) {
        list += (list.empty() ? "" : " ") + Quote(path);
    }
    return list;
}

// A batch long enough to watch: the dialog answers other programs
// throughout, its label names the file at hand with the progress, and each
// line appears as its file finishes, before the batch ends.
TEST(Encrypt, TheDialogAnswersAndShowsProgressWhileTheBatchRuns) {
    const std::string folder = MakeScenarioFolder("encrypt_progress");
    std::vector<std::string> sources;
    for (const char* name : {"one.bin", "two.bin", "three.bin", "four.bin"}) {
        sources.push_back(folder + "\\" + name);
        ASSERT_TRUE(WriteWholeFile(sources.back(), PatternBytes(16u << 20, 3)));
    }

    EncryptRun run;
    ASSERT_TRUE(run.Start(QuotedList(sources)));
    ASSERT_TRUE(run.Submit());
    const DialogView& dialog = run.Dialog();
    bool seen = false;
    for (int i = 0; i < 500 && !seen && run.Process().IsRunning(); ++i) {
        seen = dialog.IsVisible(IDC_LOG) && !dialog.IsVisible(IDOK);
        if (!seen) {
            Sleep(10);
        }
    }
    ASSERT_TRUE(seen) << "the batch ended before its view was seen";
    EXPECT_FALSE(dialog.IsEnabled(IDC_LOG)) << "the log is writing while the batch runs";
    EXPECT_TRUE(dialog.IsVisible(IDC_PROCESSING));
    EXPECT_FALSE(dialog.IsVisible(IDCANCEL));
    std::set<std::string> labels;
    bool lineBeforeEnd = false;
    int unanswered = 0;
    while (run.Process().IsRunning()) {
        DWORD_PTR answer = 0;
        if (SendMessageTimeoutA(dialog.Handle(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 500, &answer) ==
            0) {
            // The window may be gone because the batch just ended.
            unanswered += IsWindow(dialog.Handle()) ? 1 : 0;
            continue;
        }
        const std::string label = dialog.Text(IDC_PROCESSING);
        if (label.find('%') != std::string::npos && labels.insert(label).second &&
            labels.size() == 2) {
            RECT area;
            EXPECT_TRUE(GetWindowRect(dialog.Handle(), &area) &&
                        SaveScreenArea(area, "encrypt_progress"));
        }
        lineBeforeEnd = lineBeforeEnd || dialog.Text(IDC_LOG).find("...OK") != std::string::npos;
        Sleep(20);
    }
    EXPECT_EQ(unanswered, 0) << "the dialog stopped answering during the batch";
    EXPECT_GE(labels.size(), 2u) << "the label did not follow the batch";
    EXPECT_TRUE(lineBeforeEnd) << "no line was written before the batch ended";
    EXPECT_TRUE(run.Process().WaitForExit(120000));
    for (const std::string& source : sources) {
        EXPECT_TRUE(FileExists(source + ".crp")) << source;
        EXPECT_FALSE(FileExists(source)) << source;
    }
}

// Closing the dialog during a batch finishes the file at hand and begins
// no other: every file is either whole and untouched or encrypted and gone.
TEST(Encrypt, AClosedBatchStopsAfterTheFileAtHand) {
    const std::string folder = MakeScenarioFolder("encrypt_close");
    const std::string bytes = PatternBytes(24u << 20, 5);
    std::vector<std::string> sources;
    for (const char* name : {"a.bin", "b.bin", "c.bin", "d.bin"}) {
        sources.push_back(folder + "\\" + name);
        ASSERT_TRUE(WriteWholeFile(sources.back(), bytes));
    }

    const int temporaries = TemporaryFileCount();
    EncryptRun run;
    ASSERT_TRUE(run.Start(QuotedList(sources)));
    ASSERT_TRUE(run.Submit());
    const DialogView& dialog = run.Dialog();
    for (int i = 0; i < 1000 && dialog.Text(IDC_PROCESSING).find('%') == std::string::npos &&
                    run.Process().IsRunning();
         ++i) {
        Sleep(10);
    }
    dialog.Close();
    EXPECT_TRUE(run.Process().WaitForExit(120000));
    int encrypted = 0;
    for (const std::string& source : sources) {
        if (FileExists(source + ".crp")) {
            ++encrypted;
            EXPECT_FALSE(FileExists(source)) << source;
        } else {
            EXPECT_TRUE(ReadFileOrMissing(source) == bytes) << source;
        }
    }
    EXPECT_GE(encrypted, 1);
    EXPECT_LT(encrypted, 4) << "the batch did not stop";
    EXPECT_EQ(TemporaryFileCount(), temporaries);
}

}  // namespace
}  // namespace zorv::e2e
