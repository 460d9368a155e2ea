// The batch steps shared by encryption and decryption: the copy to the final
// name (never over an existing file, nothing left behind on failure, flushed
// before it returns; failures injected through the seams) and the folder
// walk (order, refusals, long paths); the batch run of both front ends under
// a full disk and over a walked folder, each with its own verdicts.
#include "batch/batch_steps.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <string>
#include <vector>

#include "app/messages.h"
#include "app/resource_ids.h"
#include "batch/progress_log.h"
#include "crypto/file_cipher.h"
#include "crypto/file_handle.h"
#include "crypto/job_steps.h"
#include "crypto/secure_delete.h"
#include "decrypt/decrypt_batch.h"
#include "encrypt/encrypt_batch.h"
#include "support/win32_test_support.h"

namespace zorv {
namespace {

std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((i * 131 + 7) & 0xFF);
    }
    return bytes;
}

// The lines ProgressLog writes. One message text at a time: LoadText reuses
// its buffer.
std::string OkLine(const std::string& path) {
    return path + "...OK\r\n";
}
std::string FailLine(const std::string& path, ResultCode code) {
    return path + "\r\n\t->" + LoadText(code) + "\r\n";
}
std::string Logged(const std::string& lines) {
    std::string text = std::string(LoadText(IDS_PROCESSING_STARTED)) + "\r\n" + lines;
    return text + LoadText(IDS_PROCESSING_DONE) + "\r\n";
}

// --- The batch run of both front ends --------------------------------------

// The log text of one run of rule over the inputs, and the number of
// failures it counted.
std::string RunOver(BatchRule& rule, const std::vector<std::string>& paths, int* failures,
                    bool* review = nullptr) {
    // Styled as the dialogs' log: without automatic scrolling an edit
    // control refuses text beyond its window.
    HWND edit = CreateWindowExA(0, "EDIT", "", ES_MULTILINE | ES_AUTOHSCROLL | ES_AUTOVSCROLL, 0, 0,
                                100, 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    EXPECT_NE(edit, nullptr);
    ProgressLog log(edit);
    BatchRun run(log);
    std::vector<const char*> inputs;
    for (const std::string& path : paths) {
        inputs.push_back(path.c_str());
    }
    FileRange range;
    range.paths = inputs.data();
    range.count = static_cast<int>(inputs.size());
    run.Run(range, rule);
    std::string text(static_cast<size_t>(GetWindowTextLengthA(edit)) + 1, '\0');
    text.resize(
        static_cast<size_t>(GetWindowTextA(edit, text.data(), static_cast<int>(text.size()))));
    DestroyWindow(edit);
    *failures = run.FailureCount();
    if (review != nullptr) {
        *review = run.NeedsReview();
    }
    return text;
}

// The names in a folder, sorted.
std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names = FoundOrder(folder);
    std::sort(names.begin(), names.end());
    return names;
}

// Each step of writing and placing an output fails in turn, for either front
// end (the output created, written, flushed, un-marked, renamed; its name
// taken by another file): one failure line naming the file that could not be
// made, the input as it was, nothing new under the output name, and no
// temporary file left in the folder or in the shared temporary folder. A
// name that already holds exactly this output (a run killed before its
// input went) counts as placed: the input goes, the line is OK. Without a fault, the
// output is written once, beside its name: the bytes that reach the disk are
// the output's and the 24 overwrites of the destroyed input, and nothing
// else.
TEST(BatchRun, EachFailingStepOfPlacingAnOutputLosesNothing) {
    TempFolder folder;
    const std::string plain = Pattern(40000);
    FileCipher cipher("password", 8);
    const std::string crp = folder.Join("made.doc.crp");
    ASSERT_TRUE(WriteLongFile(folder.Join("made.doc"), plain));
    ASSERT_EQ(cipher.EncryptFile(folder.Join("made.doc").c_str(), crp.c_str()), kResultOk);
    DeleteFileA(folder.Join("made.doc").c_str());
    const std::string crpBytes = ReadFileOrMissing(crp);

    EncryptionRule encryption(cipher, true);
    DecryptionRule decryption(cipher);
    FileFaultPlan created;
    created.failCreateAt = 1;
    FileFaultPlan written;
    written.failWriteAt = 1;
    FileFaultPlan flushed;
    flushed.failFlushAt = 1;
    FileFaultPlan unmarked;
    unmarked.failUnmarkAt = 1;
    FileFaultPlan renamed;
    renamed.failRenameAt = 1;
    const struct {
        const char* step;
        FileFaultPlan plan;
        const char* takenBy;  // what has the output's name first; null: nothing
        ResultCode code;
        bool namesInput;  // the line names the input, not the output
    } steps[] = {
        {"created", created, nullptr, kResultOpenFailed, false},
        {"written", written, nullptr, kResultWriteFailed, true},
        {"flushed", flushed, nullptr, kResultWriteFailed, false},
        {"un-marked", unmarked, nullptr, kResultWriteFailed, false},
        {"renamed", renamed, nullptr, kResultWriteFailed, false},
        {"name taken", {}, "theirs", kResultFileExists, false},
        {"placed", {}, nullptr, kResultOk, true},
        {"found in place", {}, "", kResultOk, true},
    };
    const struct {
        BatchRule* rule;
        std::string input;
        std::string inputBytes;
        std::string output;
        std::string outputBytes;
    } rules[] = {
        {&encryption, folder.Join("big.doc"), plain, folder.Join("big.doc.crp"), crpBytes},
        {&decryption, crp, crpBytes, folder.Join("made.doc"), plain},
    };
    for (const auto& r : rules) {
        for (const auto& c : steps) {
            SCOPED_TRACE(r.output + ": " + c.step);
            ASSERT_TRUE(WriteLongFile(r.input, r.inputBytes));
            const bool ownOutput = c.takenBy != nullptr && *c.takenBy == '\0';
            if (c.takenBy != nullptr) {
                ASSERT_TRUE(WriteLongFile(r.output, ownOutput ? r.outputBytes : c.takenBy));
            }
            const std::vector<std::string> before = Entries(folder.Path());
            const int temporaries = TemporaryFileCount();
            SetFileFaults(c.plan);
            int failures = 0;
            const std::string text = RunOver(*r.rule, {r.input}, &failures);
            const FileCallCounts counts = GetFileCallCounts();
            ClearFileFaults();
            EXPECT_EQ(TemporaryFileCount(), temporaries);
            if (c.code != kResultOk) {
                EXPECT_EQ(text, Logged(FailLine(c.namesInput ? r.input : r.output, c.code)));
                EXPECT_EQ(failures, 1);
                EXPECT_TRUE(ReadFileOrMissing(r.input) == r.inputBytes);
                EXPECT_EQ(ReadFileOrMissing(r.output),
                          c.takenBy != nullptr ? c.takenBy : "<missing>");
                EXPECT_EQ(Entries(folder.Path()), before);
            } else {
                EXPECT_EQ(text, Logged(OkLine(r.input)));
                EXPECT_FALSE(FileExists(r.input));
                EXPECT_TRUE(ReadFileOrMissing(r.output) == r.outputBytes);
                std::vector<std::string> after = before;
                const std::string inputName = r.input.substr(folder.Path().size() + 1);
                if (ownOutput) {
                    after.erase(std::find(after.begin(), after.end(), inputName));
                } else {
                    EXPECT_EQ(counts.bytesWritten, r.outputBytes.size() + 24 * r.inputBytes.size());
                    std::replace(after.begin(), after.end(), inputName,
                                 r.output.substr(folder.Path().size() + 1));
                    std::sort(after.begin(), after.end());
                }
                EXPECT_EQ(Entries(folder.Path()), after);
            }
            DeleteFileA(r.output.c_str());
        }
    }
}

// A source written to between its transform and its destruction (the job
// steps' hook): an encryption's is kept and its .crp file removed, a
// failure; a decryption's .crp file is kept beside its plain file, a notice.
std::string touched;
void AppendToTouched(const std::string& path) {
    if (path == touched) {
        std::FILE* file = std::fopen(path.c_str(), "ab");
        std::fputs("tail", file);
        std::fclose(file);
    }
}

TEST(BatchRun, ASourceWrittenToBeforeItIsDestroyedIsKept) {
    TempFolder folder;
    FileCipher cipher("password", 8);
    EncryptionRule encryption(cipher, true);
    DecryptionRule decryption(cipher);
    const std::string plain = folder.Join("doc");
    ASSERT_TRUE(WriteLongFile(plain, "contents"));
    SetSourceCheckHook(AppendToTouched);
    touched = plain;
    int failures = 0;
    EXPECT_EQ(RunOver(encryption, {plain}, &failures),
              Logged(FailLine(plain, kResultSourceChanged)));
    EXPECT_EQ(failures, 1);
    EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{"doc"});
    touched = plain + ".crp";
    ASSERT_EQ(cipher.EncryptFile(plain.c_str(), touched.c_str()), kResultOk);
    DeleteFileA(plain.c_str());
    EXPECT_EQ(RunOver(decryption, {touched}, &failures),
              Logged(FailLine(touched, kResultDeleteFailed)));
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(Entries(folder.Path()), (std::vector<std::string>{"doc", "doc.crp"}));
    SetSourceCheckHook(nullptr);
}

// A source that a killed run was destroying is under a wipe name now: the
// same inputs given again finish it (and any temporary left) before the
// first input from that folder, with one notice, and then say that the
// source is gone.
TEST(BatchRun, NamedInputsFinishTheLeftoversBesideThem) {
    TempFolder folder;
    FileCipher cipher("password", 8);
    const std::string gone = folder.Join("gone.doc");
    const std::string other = folder.Join("other.doc");
    for (const char* name : {".zorv-0123abcd.wipe", ".zorv-89abcdef.tmp", "other.doc"}) {
        ASSERT_TRUE(WriteLongFile(folder.Join(name), name));
    }
    EncryptionRule rule(cipher, false);
    int failures = 0;
    EXPECT_EQ(RunOver(rule, {gone, other}, &failures),
              Logged(FailLine(folder.Path() + "\\", kResultLeftoversFinished) +
                     FailLine(gone, kResultFileMissing) + OkLine(other)));
    EXPECT_EQ(failures, 1);
    EXPECT_EQ(Entries(folder.Path()), (std::vector<std::string>{"other.doc", "other.doc.crp"}));
}

// The temporary's name is longer than a short source's: in a folder that
// leaves no room for it under 260 bytes, the output is made all the same,
// both ways.
TEST(BatchRun, ADeepFolderWithoutRoomForTheTemporaryNameStillGetsItsOutput) {
    TempFolder root;
    const std::string folder = MakeFolderOfLength(root.Path(), 250);
    const std::string source = folder + "\\a";  // a.crp: 256 bytes, the temporary 269
    ASSERT_TRUE(WriteLongFile(source, "deep"));
    FileCipher cipher("password", 8);
    EncryptionRule encryption(cipher, true);
    DecryptionRule decryption(cipher);
    int failures = 0;
    EXPECT_EQ(RunOver(encryption, {source}, &failures), Logged(OkLine(source)));
    EXPECT_EQ(RunOver(decryption, {source + ".crp"}, &failures), Logged(OkLine(source + ".crp")));
    EXPECT_EQ(ReadFileOrMissing(source), "deep");
    EXPECT_EQ(Entries(folder), std::vector<std::string>{"a"});
}

// The log text of one run of rule over the single input folder, the
// number of failures it counted and, when asked, whether it needs a review.
std::string RunOverFolder(BatchRule& rule, const std::string& folder, int* failures,
                          bool* review = nullptr) {
    return RunOver(rule, {folder}, failures, review);
}

// Each rule's verdicts on what a walk finds, in the order the walk gives
// them: while the search runs, a sub-folder's lines and the refusals as
// found; then the folder's own kept files, last found first. A read-only or
// system folder is refused (74) and not entered.
TEST(BatchRun, EachRuleOverAWalkedFolder) {
    FileCipher cipher("password", 8);
    const DWORD locked = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM;
    {
        SCOPED_TRACE(
            "encryption: .crp files are refused (73), other files encrypted, leftovers of a "
            "killed run finished");
        TempFolder root;
        ASSERT_TRUE(MakeLongFolder(root.Join("sub")));
        ASSERT_TRUE(MakeLongFolder(root.Join("sys")));
        for (const char* name : {"a", "b", "c", "z.CRP", "sub\\x", "sub\\y.crp", "sys\\inside",
                                 ".zorv-0123abcd.tmp", "sub\\.zorv-89abcdef.wipe"}) {
            ASSERT_TRUE(WriteLongFile(root.Join(name), name));
        }
        // Wine keeps no read-only bit on a folder, only the system bit.
        ASSERT_TRUE(SetFileAttributesA(root.Join("sys").c_str(), locked));
        std::string lines;
        std::string ownFiles;
        for (const std::string& name : FoundOrder(root.Path())) {
            const std::string path = root.Join(name);
            if (name == "sub") {
                lines += FailLine(path + "\\y.crp", kResultAlreadyEncrypted) + OkLine(path + "\\x");
            } else if (name == "sys") {
                lines += FailLine(path, kResultReadOnlyOrSystem);
            } else if (name == "z.CRP") {
                lines += FailLine(path, kResultAlreadyEncrypted);
            } else if (name[0] != '.') {
                ownFiles.insert(0, OkLine(path));
            }
        }
        const std::string finished = FailLine(root.Path(), kResultLeftoversFinished);
        EncryptionRule rule(cipher, true);
        int failures = 0;
        EXPECT_EQ(RunOverFolder(rule, root.Path(), &failures), Logged(lines + ownFiles + finished));
        EXPECT_EQ(failures, 3);
        for (const char* name : {".zorv-0123abcd.tmp", "sub\\.zorv-89abcdef.wipe"}) {
            EXPECT_FALSE(FileExists(root.Join(name))) << name;
            EXPECT_FALSE(FileExists(root.Join(name) + ".crp")) << name;
        }
        for (const char* name : {"a", "b", "c", "sub\\x"}) {
            EXPECT_FALSE(FileExists(root.Join(name))) << name;
            EXPECT_TRUE(FileExists(root.Join(name) + ".crp")) << name;
        }
        EXPECT_EQ(FoundOrder(root.Join("sys")), std::vector<std::string>{"inside"});
        EXPECT_EQ(ReadFileOrMissing(root.Join("z.CRP")), "z.CRP");
        EXPECT_FALSE(FileExists(root.Join("sub\\y.crp.crp")));
        SetFileAttributesA(root.Join("sys").c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    {
        SCOPED_TRACE("decryption: .crp files decrypted, others passed over without a line");
        TempFolder root;
        ASSERT_TRUE(MakeLongFolder(root.Join("sub")));
        ASSERT_TRUE(MakeLongFolder(root.Join("sys")));
        for (const char* name : {"a", "b", "c", "r", "sub\\d", "sys\\e"}) {
            const std::string plain = root.Join(name);
            ASSERT_TRUE(WriteLongFile(plain, name));
            ASSERT_EQ(cipher.EncryptFile(plain.c_str(), (plain + ".crp").c_str()), kResultOk);
            ASSERT_TRUE(DeleteFileA(plain.c_str()));
        }
        ASSERT_TRUE(WriteLongFile(root.Join("x.txt"), "passed over"));
        ASSERT_TRUE(WriteLongFile(root.Join("sub\\notes"), "passed over too"));
        ASSERT_TRUE(SetFileAttributesA(root.Join("r.crp").c_str(), FILE_ATTRIBUTE_READONLY));
        ASSERT_TRUE(SetFileAttributesA(root.Join("sys").c_str(), locked));
        std::string lines;
        std::string ownFiles;
        for (const std::string& name : FoundOrder(root.Path())) {
            const std::string path = root.Join(name);
            if (name == "sub") {
                lines += OkLine(path + "\\d.crp");
            } else if (name == "sys" || name == "r.crp") {
                lines += FailLine(path, kResultReadOnlyOrSystem);
            } else if (name != "x.txt") {
                ownFiles.insert(0, OkLine(path));
            }
        }
        DecryptionRule rule(cipher);
        int failures = 0;
        EXPECT_EQ(RunOverFolder(rule, root.Path(), &failures), Logged(lines + ownFiles));
        EXPECT_EQ(failures, 2);
        for (const char* name : {"a", "b", "c", "sub\\d"}) {
            EXPECT_EQ(ReadFileOrMissing(root.Join(name)), name);
            EXPECT_FALSE(FileExists(root.Join(name) + ".crp")) << name;
        }
        EXPECT_TRUE(FileExists(root.Join("sys\\e.crp")));
        EXPECT_FALSE(FileExists(root.Join("sys\\e"))) << "a refused folder is not entered";
        EXPECT_TRUE(FileExists(root.Join("r.crp")));
        EXPECT_FALSE(FileExists(root.Join("r")));
        EXPECT_EQ(ReadFileOrMissing(root.Join("x.txt")), "passed over");
        SetFileAttributesA(root.Join("r.crp").c_str(), FILE_ATTRIBUTE_NORMAL);
        SetFileAttributesA(root.Join("sys").c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

// A folder with nothing the rule keeps: one line says so, no failure is
// counted, and the dialog stays open to show it. Any file line, a success's
// or a failure's, makes the note unneeded.
TEST(BatchRun, NothingToProcessIsSaidAndReviewed) {
    FileCipher cipher("password", 8);
    EncryptionRule encryption(cipher, false);
    DecryptionRule decryption(cipher);
    const struct {
        BatchRule* rule;
        std::vector<const char*> files;
        const char* logged;  // the one file with a line; null: the note
        ResultCode code;     // of that line
        bool review;
    } cases[] = {
        {&encryption, {}, nullptr, kResultOk, true},
        {&decryption, {"notes.txt", "sub\\x.doc"}, nullptr, kResultOk, true},
        {&encryption, {"only.crp"}, "only.crp", kResultAlreadyEncrypted, true},
        {&encryption, {"sub\\x.doc"}, "sub\\x.doc", kResultOk, false},
    };
    for (const auto& c : cases) {
        TempFolder root;
        ASSERT_TRUE(MakeLongFolder(root.Join("sub")));
        for (const char* name : c.files) {
            ASSERT_TRUE(WriteLongFile(root.Join(name), name));
        }
        std::string expected = std::string(LoadText(IDS_NOTHING_TO_PROCESS)) + "\r\n";
        if (c.logged != nullptr) {
            const std::string path = root.Join(c.logged);
            expected = c.code == kResultOk ? OkLine(path) : FailLine(path, c.code);
        }
        int failures = 0;
        bool review = false;
        EXPECT_EQ(RunOverFolder(*c.rule, root.Path(), &failures, &review), Logged(expected));
        EXPECT_EQ(failures, c.code == kResultOk ? 0 : 1);
        EXPECT_EQ(review, c.review);
    }
}

// --- Folder walk --------------------------------------------------------------

// Records every call of the walk as "process <path>", "fail <code> <path>"
// or "notice <code> <path>", under the encryption rules (".crp" refused).
class RecordingVisitor : public FolderVisitor {
public:
    InputRules Rules() const override { return DesktopRules(Command::kEncrypt); }
    void ProcessFile(const char* path) override {
        events.push_back(std::string("process ") + path);
    }
    void ReportFailure(const char* path, ResultCode code) override {
        events.push_back("fail " + std::to_string(code) + " " + path);
    }
    void ReportNotice(const char* path, ResultCode code) override {
        events.push_back("notice " + std::to_string(code) + " " + path);
    }
    bool FinishesLeftovers() const override { return !onlyLooks; }

    std::vector<std::string> events;
    bool onlyLooks = false;  // as the worker's sizing walk
};

// Files a killed run left (named .zorv-XXXXXXXX.tmp or .wipe) are never
// classified nor processed: they are wiped and removed once their folder's
// search is closed, and one notice at the end of the whole walk says that
// some were. One that another process holds without sharing (a live run's)
// is passed over untouched, without a line. A look-alike is a user's file.
TEST(WalkFolder, LeftoversOfAKilledRunAreFinishedNeverProcessed) {
    TempFolder root;
    ASSERT_TRUE(MakeLongFolder(root.Join("sub")));
    for (const char* name : {"a", ".zorv-0123abcd.tmp", ".zorv-0123abcd.tmp.crp", "busy.x",
                             "sub\\.zorv-89abcdef.wipe", "sub\\.zorv-fedcba98.wipe"}) {
        ASSERT_TRUE(WriteLongFile(root.Join(name), name));
    }
    // Held open without sharing, as a live run holds its files in flight.
    const std::string busy = root.Join("sub\\.zorv-fedcba98.wipe");
    HANDLE held = CreateFileA(busy.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    // A walk that only looks (sizing the batch) leaves every leftover, and
    // says nothing of them.
    RecordingVisitor looking;
    looking.onlyLooks = true;
    WalkFolder(root.Path().c_str(), looking);
    EXPECT_EQ(looking.events.size(), 3u);
    for (const char* name : {".zorv-0123abcd.tmp", "sub\\.zorv-89abcdef.wipe"}) {
        EXPECT_TRUE(FileExists(root.Join(name))) << name;
    }
    RecordingVisitor visitor;
    WalkFolder(root.Path().c_str(), visitor);
    CloseHandle(held);
    std::vector<std::string> expected = {"process " + root.Join("a"),
                                         "fail 73 " + root.Join(".zorv-0123abcd.tmp.crp"),
                                         "process " + root.Join("busy.x")};
    ASSERT_EQ(visitor.events.size(), 4u);
    EXPECT_EQ(visitor.events.back(), "notice 67 " + root.Path());
    visitor.events.pop_back();
    std::sort(expected.begin(), expected.end());
    std::sort(visitor.events.begin(), visitor.events.end());
    EXPECT_EQ(visitor.events, expected);
    EXPECT_FALSE(FileExists(root.Join(".zorv-0123abcd.tmp")));
    EXPECT_FALSE(FileExists(root.Join("sub\\.zorv-89abcdef.wipe")));
    EXPECT_EQ(ReadFileOrMissing(busy), "sub\\.zorv-fedcba98.wipe");
}

// "C:" names the drive's current folder, which IsFolder tests; the walk must
// search that folder, not the drive's root.
TEST(WalkFolder, ABareDriveIsWalkedAsItsCurrentFolder) {
    const std::string folder = "C:\\zorv-walk-" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(MakeLongFolder(folder));
    ASSERT_TRUE(WriteLongFile(folder + "\\here", "x"));
    char saved[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, saved);
    ASSERT_TRUE(SetCurrentDirectoryA(folder.c_str()));
    RecordingVisitor visitor;
    WalkFolder("C:", visitor);
    SetCurrentDirectoryA(saved);
    EXPECT_EQ(visitor.events, std::vector<std::string>{"process C:here"});
    DeleteFileA((folder + "\\here").c_str());
    RemoveDirectoryA(folder.c_str());
}

TEST(WalkFolder, AnEntryWhosePathWouldNotFitIsReportedInFullAndNeverUsed) {
    TempFolder root;
    const std::string folder = MakeFolderOfLength(root.Path(), 250);
    const std::string fits = "f123456";        // 250 + 1 + 7 = 258 bytes
    const std::string exact = "f1234567";      // 259 bytes
    const std::string tooLong = "f12345678";   // 260 bytes
    const std::string longDir = "sub4567890";  // 261 bytes
    ASSERT_TRUE(WriteLongFile(folder + "\\" + fits, "1"));
    ASSERT_TRUE(WriteLongFile(folder + "\\" + exact, "2"));
    ASSERT_TRUE(WriteLongFile(folder + "\\" + tooLong, "3"));
    ASSERT_TRUE(MakeLongFolder(folder + "\\" + longDir));
    ASSERT_TRUE(WriteLongFile(folder + "\\" + longDir + "\\x", "4"));

    RecordingVisitor visitor;
    WalkFolder(folder.c_str(), visitor);
    std::vector<std::string> expected = {
        "process " + folder + "\\" + fits, "process " + folder + "\\" + exact,
        "fail 84 " + folder + "\\" + tooLong, "fail 84 " + folder + "\\" + longDir};
    std::sort(expected.begin(), expected.end());
    std::sort(visitor.events.begin(), visitor.events.end());
    EXPECT_EQ(visitor.events, expected);
}

TEST(WalkFolder, AFolderWithoutRoomForItsSearchOrWithoutASearch) {
    TempFolder root;
    const std::string deep = MakeFolderOfLength(root.Path(), 257);  // no room for "\*.*"
    ASSERT_TRUE(WriteLongFile(deep + "\\f", "f"));

    RecordingVisitor visitor;
    WalkFolder(deep.c_str(), visitor);
    EXPECT_EQ(visitor.events, std::vector<std::string>{"fail 84 " + deep});

    RecordingVisitor missing;
    WalkFolder(root.Join("missing").c_str(), missing);
    EXPECT_TRUE(missing.events.empty());
}

}  // namespace
}  // namespace zorv
