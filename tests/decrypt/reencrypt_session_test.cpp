// The edit session run directly against a hidden window of the test, with a
// real cipher, the real shell open and the test editor registered for
// ".zedit". Message boxes that the worker shows are read and answered by a
// watcher thread, as a user would.
#include "decrypt/reencrypt_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/messages.h"
#include "app/resource_ids.h"
#include "app/settings.h"
#include "app/win32_handles.h"
#include "crypto/file_handle.h"
#include "crypto/result_code.h"
#include "decrypt/file_replace.h"
#include "decrypt/orphan_recovery.h"
#include "support/editor_support.h"
#include "support/message_box_watcher.h"
#include "support/win32_test_support.h"

namespace zorv {
namespace {

constexpr UINT kDoneMessage = WM_APP + 1;
constexpr DWORD kSessionTimeoutMs = 60000;
constexpr char kPassword[] = "secret";

std::string ExeFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    return folder.substr(0, folder.rfind('\\'));
}

// The name the system gives a temporary file: crpXXXX.tmp.
bool MatchesTemporary(const std::string& name) {
    return name.size() > 7 && name.compare(0, 3, "crp") == 0 &&
           name.compare(name.size() - 4, 4, ".tmp") == 0;
}

std::string Text(int id) {
    return LoadText(id);
}

// The text of a message formatted with a path, as the session shows it.
std::string TextWithPath(int id, const std::string& path) {
    std::string format = LoadText(id);
    const std::size_t slot = format.find("%s");
    return slot == std::string::npos ? format : format.replace(slot, 2, path);
}

class SessionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(test::RegisterTestEditor(ExeFolder() + "\\zorv_test_editor.exe"));
    }

    void SetUp() override {
        savedSettings_ = g_settings;
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        folder_ = ExeFolder() + "\\session_work\\" + Sanitised(name);
        test::RemoveTree(folder_);
        CreateDirectoryA((ExeFolder() + "\\session_work").c_str(), nullptr);
        ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr)) << folder_;
        // Names in the shared temporary folder carry the process ID, so
        // that the 32- and 64-bit runs never meet there.
        tag_ = std::to_string(GetCurrentProcessId());
        // The record file lies outside the folder, whose listing the tests
        // check.
        ini_ = folder_ + ".ini";
        DeleteFileA(ini_.c_str());
        report_ = folder_ + "\\editor-report.txt";
        stop_ = folder_ + "\\editor-stop";
        window_ = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  nullptr, nullptr);
        ASSERT_NE(window_, nullptr);
    }

    void TearDown() override {
        EXPECT_TRUE(WriteWholeFile(stop_, ""));  // releases an editor that still waits
        g_settings = savedSettings_;
        DestroyWindow(window_);
    }

    static std::string Sanitised(std::string name) {
        for (char& c : name) {
            if (c == '/') {
                c = '_';
            }
        }
        return name;
    }

    std::string MakeCrp(const std::string& folder, const std::string& name,
                        const std::string& plain) {
        const std::string plainPath = folder + "\\plain-source.tmp";
        EXPECT_TRUE(WriteWholeFile(plainPath, plain)) << plainPath;
        FileCipher cipher(kPassword, static_cast<int32_t>(sizeof kPassword - 1));
        const std::string crp = folder + "\\" + name;
        EXPECT_EQ(cipher.EncryptFile(plainPath.c_str(), crp.c_str()), kResultOk);
        DeleteFileA(plainPath.c_str());
        return crp;
    }

    std::string Decrypted(const std::string& crp) {
        const std::string target = folder_ + "\\check.out";
        FileCipher cipher(kPassword, static_cast<int32_t>(sizeof kPassword - 1));
        const ResultCode rc = cipher.DecryptFile(crp.c_str(), target.c_str());
        const std::string text =
            rc == kResultOk ? ReadFileOrMissing(target) : "<rc " + std::to_string(rc) + ">";
        DeleteFileA(target.c_str());
        return text;
    }

    std::unique_ptr<ReencryptSession> NewSession(const std::string& crp,
                                                 const char* password = kPassword) {
        auto session = std::make_unique<ReencryptSession>();
        session->SetCipher(
            std::make_unique<FileCipher>(password, static_cast<int32_t>(std::strlen(password))));
        session->SetEncryptedPath(crp.c_str());
        session->SetNotifyWindow(window_);
        session->SetNotifyMessage(kDoneMessage);
        session->SetRecordFile(ini_.c_str());
        return session;
    }

    std::vector<SessionRecord> Records() const {
        SessionRecord records[kMaxSessionRecords];
        const int count = ReadSessionRecords(ini_.c_str(), records, kMaxSessionRecords);
        return std::vector<SessionRecord>(records, records + count);
    }

    // Pumps this thread's messages (the worker's message boxes need their
    // owner's thread to answer) until the completion message arrives.
    bool PumpUntilDone(DWORD timeoutMs) {
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < timeoutMs) {
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                if (message.hwnd == window_ && message.message == kDoneMessage) {
                    return true;
                }
                DispatchMessageA(&message);
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        }
        return false;
    }

    // Runs a session to its end; false when it does not finish in time.
    bool RunToEnd(ReencryptSession& session) {
        if (!session.Start()) {
            return false;
        }
        const bool done = PumpUntilDone(kSessionTimeoutMs);
        return done && session.WaitForEnd(5000);
    }

    Settings savedSettings_;
    std::string folder_;
    std::string tag_;
    std::string ini_;
    std::string report_;
    std::string stop_;
    HWND window_ = nullptr;
};

TEST_F(SessionTest, ReencryptsTheEditedTextWhenTheEditorEnds) {
    g_settings.useTempDir = true;
    const std::string crp = MakeCrp(folder_, "memo-" + tag_ + ".zedit.crp", "first line\r\n");
    test::SetEditorInstructions("append", report_);
    test::MessageBoxWatcher boxes;
    auto session = NewSession(crp);
    ASSERT_TRUE(RunToEnd(*session));

    const test::EditorReport report = test::ReadEditorReport(report_);
    ASSERT_TRUE(report.present);
    EXPECT_EQ(report.path, TemporaryFolderPath() + "memo-" + tag_ + ".zedit");
    EXPECT_FALSE(report.readOnly);
    EXPECT_EQ(report.content, "first line\r\n");
    EXPECT_FALSE(FileExists(report.path)) << "the working copy is wiped";
    EXPECT_EQ(Decrypted(crp), "first line\r\nedited by the test editor\r\n");
    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_TRUE(Records().empty()) << "the record goes with the working copy";
}

TEST_F(SessionTest, WithoutTheTempFolderTheCopyLiesBesideTheCrp) {
    g_settings.useTempDir = false;
    for (bool nameTaken : {false, true}) {
        SCOPED_TRACE(nameTaken ? "name taken" : "name free");
        const std::string crp = MakeCrp(folder_, "memo.zedit.crp", "beside\r\n");
        const std::string taken = folder_ + "\\memo.zedit";
        if (nameTaken) {
            EXPECT_TRUE(WriteWholeFile(taken, "someone else's file"));
        }
        test::SetEditorInstructions("append", report_);
        test::MessageBoxWatcher boxes;
        auto session = NewSession(crp);
        ASSERT_TRUE(RunToEnd(*session));

        const test::EditorReport report = test::ReadEditorReport(report_);
        ASSERT_TRUE(report.present);
        EXPECT_EQ(report.path, nameTaken ? folder_ + "\\memo(1).zedit" : taken);
        if (!nameTaken) {
            EXPECT_TRUE(report.siblingCrp) << "the .crp stays while the editor runs";
        }
        EXPECT_EQ(report.content, "beside\r\n");
        EXPECT_FALSE(FileExists(report.path));
        EXPECT_EQ(Decrypted(crp), "beside\r\nedited by the test editor\r\n");
        EXPECT_EQ(ReadFileOrMissing(taken), nameTaken ? "someone else's file" : "<missing>");
        EXPECT_TRUE(boxes.Texts().empty());
        DeleteFileA(taken.c_str());
        DeleteFileA(crp.c_str());
    }
}

TEST_F(SessionTest, TrayModeWaitsForTheRequestAndReencryptsOnce) {
    g_settings.useTempDir = false;
    const std::string crp = MakeCrp(folder_, "tray.zedit.crp", "tray\r\n");
    const std::string before = ReadFileOrMissing(crp);
    test::SetEditorInstructions("append", report_);
    test::MessageBoxWatcher boxes;
    auto session = NewSession(crp);
    session->SetWaitForTray(true);
    ASSERT_TRUE(session->Start());
    ASSERT_TRUE(test::WaitForEditorReport(report_, 30000));
    // The editor has ended; the session goes on waiting for the tray.
    EXPECT_FALSE(PumpUntilDone(1500));
    EXPECT_TRUE(session->IsRunning());
    EXPECT_EQ(ReadFileOrMissing(crp), before);
    // While it runs, the session is recorded, by full paths, as editing.
    const std::vector<SessionRecord> records = Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(std::string(records[0].workingCopy), folder_ + "\\tray.zedit");
    EXPECT_EQ(std::string(records[0].encryptedPath), crp);
    EXPECT_EQ(records[0].stage, SessionStage::kEditing);
    for (int i = 0; i < 3; ++i) {
        session->Signal();
    }
    ASSERT_TRUE(PumpUntilDone(kSessionTimeoutMs));
    ASSERT_TRUE(session->WaitForEnd(5000));
    EXPECT_EQ(Decrypted(crp), "tray\r\nedited by the test editor\r\n");
    EXPECT_FALSE(FileExists(folder_ + "\\tray.zedit"));
    // A second re-encryption would have met the wiped copy and said so.
    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_TRUE(Records().empty());
}

TEST_F(SessionTest, TrayRequestReencryptsBeforeTheEditorEnds) {
    g_settings.useTempDir = false;
    const std::string crp = MakeCrp(folder_, "early.zedit.crp", "early\r\n");
    test::SetEditorInstructions("wait", report_, stop_);
    test::MessageBoxWatcher boxes;
    auto session = NewSession(crp);
    ASSERT_TRUE(session->Start());
    ASSERT_TRUE(test::WaitForEditorReport(report_, 30000));
    session->Signal();
    ASSERT_TRUE(PumpUntilDone(10000)) << "the editor still runs";
    ASSERT_TRUE(session->WaitForEnd(5000));
    EXPECT_EQ(Decrypted(crp), "early\r\nedited by the test editor\r\n");
    EXPECT_FALSE(FileExists(folder_ + "\\early.zedit"));
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(SessionTest, ReadOnlyChoiceNeverTouchesTheCrp) {
    g_settings.useTempDir = false;
    const std::string crp = MakeCrp(folder_, "ro-" + tag_ + ".zedit.crp", "keep me\r\n");
    const std::string before = ReadFileOrMissing(crp);
    test::SetEditorInstructions("append", report_);
    test::MessageBoxWatcher boxes;
    auto session = NewSession(crp);
    session->SetReadOnly(true);
    ASSERT_TRUE(RunToEnd(*session));

    const test::EditorReport report = test::ReadEditorReport(report_);
    ASSERT_TRUE(report.present);
    EXPECT_EQ(report.path, TemporaryFolderPath() + "ro-" + tag_ + ".zedit")
        << "always the temp folder";
    EXPECT_TRUE(report.readOnly);
    EXPECT_EQ(report.content, "keep me\r\n");
    EXPECT_FALSE(FileExists(report.path));
    EXPECT_EQ(ReadFileOrMissing(crp), before);
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(SessionTest, ReadOnlyCrpIsKeptAndItsCopyFollowsUseTempDir) {
    for (bool useTempDir : {false, true}) {
        SCOPED_TRACE(useTempDir ? "temp folder" : "beside");
        g_settings.useTempDir = useTempDir;
        const std::string name = "locked-" + tag_ + ".zedit";
        const std::string crp = MakeCrp(folder_, name + ".crp", "locked\r\n");
        const std::string before = ReadFileOrMissing(crp);
        ASSERT_TRUE(SetFileAttributesA(crp.c_str(), FILE_ATTRIBUTE_READONLY));
        test::SetEditorInstructions("append", report_);
        test::MessageBoxWatcher boxes;
        auto session = NewSession(crp);
        ASSERT_TRUE(RunToEnd(*session));

        const test::EditorReport report = test::ReadEditorReport(report_);
        ASSERT_TRUE(report.present);
        EXPECT_EQ(report.path, (useTempDir ? TemporaryFolderPath() : folder_ + "\\") + name);
        EXPECT_TRUE(report.readOnly);
        EXPECT_FALSE(FileExists(report.path));
        EXPECT_EQ(ReadFileOrMissing(crp), before);
        EXPECT_EQ(GetFileAttributesA(crp.c_str()) & FILE_ATTRIBUTE_READONLY,
                  static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
        EXPECT_TRUE(boxes.Texts().empty());
        SetFileAttributesA(crp.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(crp.c_str());
    }
}

TEST_F(SessionTest, WrongPasswordWipesTheCopyAndStartsNothing) {
    g_settings.useTempDir = false;
    const std::string crp = MakeCrp(folder_, "secret.zedit.crp", "plain secret\r\n");
    const std::string before = ReadFileOrMissing(crp);
    test::SetEditorInstructions("append", report_);
    test::MessageBoxWatcher boxes;
    auto session = NewSession(crp, "wrong");
    ASSERT_TRUE(RunToEnd(*session));
    Sleep(1000);  // an editor started by mistake would have reported by now

    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{Text(kResultWrongPassword)});
    EXPECT_FALSE(FileExists(report_));
    EXPECT_EQ(FoundOrder(folder_), std::vector<std::string>{"secret.zedit.crp"});
    EXPECT_EQ(ReadFileOrMissing(crp), before);
    EXPECT_TRUE(Records().empty());
}

// Nothing edited the copy: the .crp stays as it was (re-encrypting the same
// text would give the same bytes, so the replace is what tells).
TEST_F(SessionTest, TypeWithoutApplicationShows53AndKeepsTheCrpAsItWas) {
    g_settings.useTempDir = false;
    const std::string name = std::string("orphan") + test::kUnassociatedExtension;
    const std::string crp = MakeCrp(folder_, name + ".crp", "orphan\r\n");
    const std::string before = ReadFileOrMissing(crp);
    int replaces = 0;
    ReplaceFaultPlan plan;
    plan.beforeReplace = [](void* count, const char*, const char*) { ++*static_cast<int*>(count); };
    plan.context = &replaces;
    SetReplaceFaults(plan);
    test::MessageBoxWatcher boxes;
    auto session = NewSession(crp);
    const bool ended = RunToEnd(*session);
    ClearReplaceFaults();
    ASSERT_TRUE(ended);

    const std::vector<std::string> texts = boxes.Texts();
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back(), Text(IDS_OPEN_WORKING_COPY_FAILED));
    EXPECT_EQ(replaces, 0);
    EXPECT_EQ(ReadFileOrMissing(crp), before);
    EXPECT_FALSE(FileExists(folder_ + "\\" + name));
    EXPECT_TRUE(Records().empty());
}

TEST_F(SessionTest, EditorSavingEmptyShows54AndLeavesTheCopy) {
    g_settings.useTempDir = false;
    const std::string crp = MakeCrp(folder_, "blank.zedit.crp", "soon gone\r\n");
    const std::string copy = folder_ + "\\blank.zedit";
    test::SetEditorInstructions("empty", report_);
    test::MessageBoxWatcher boxes;
    auto session = NewSession(crp);
    ASSERT_TRUE(RunToEnd(*session));

    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{TextWithPath(IDS_REENCRYPT_FAILED, copy)});
    EXPECT_EQ(ReadFileOrMissing(copy), "");
    EXPECT_EQ(Decrypted(crp), "soon gone\r\n") << "kept as it was";
    // The copy stays on record for the next start to ask about.
    const std::vector<SessionRecord> records = Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(std::string(records[0].workingCopy), copy);
    EXPECT_EQ(records[0].stage, SessionStage::kEditing);
}

// What reached the disk around the replace of the .crp: "flush" for every
// flush, "replace" for the replace, and the bytes that took the .crp's name.
struct ReplaceWatch {
    std::vector<std::string> events;
    std::string replacement;
};

void ObserveFlush(void* watch, const uint8_t* bytes, size_t) {
    if (bytes == nullptr) {
        static_cast<ReplaceWatch*>(watch)->events.push_back("flush");
    }
}

void ObserveReplace(void* watch, const char* from, const char*) {
    auto* w = static_cast<ReplaceWatch*>(watch);
    w->events.push_back("replace");
    w->replacement = ReadFileOrMissing(from);
}

// The .crp stays in place while the copy is edited, and a new one takes its
// name only complete and on the disk, before the copy is wiped: a write, a
// flush or a replace that fails keeps the edited copy (and its record, for
// the next start) beside the old .crp, with no temporary file left. A
// write-protected medium makes the copy read-only and never writes. A
// session ended quietly (the Windows session ends) says nothing.
TEST_F(SessionTest, ANewCrpReplacesTheOldOnlyCompleteAndFlushed) {
    g_settings.useTempDir = false;
    // Decrypting the small .crp takes one write; the re-encryption's write is
    // the second, and its flush the session's first.
    FileFaultPlan writeFails;
    writeFails.failWriteAt = 2;
    FileFaultPlan flushFails;
    flushFails.failFlushAt = 1;
    ReplaceFaultPlan replaceFails;
    replaceFails.failReplaceAt = 1;
    ReplaceFaultPlan writeProtected;
    writeProtected.writeProtected = true;
    enum Outcome { kReencrypted, kCopyKept, kNeverWritten };
    struct Case {
        const char* what;
        FileFaultPlan fileFaults;
        ReplaceFaultPlan replaceFaults;
        bool quiet;
        Outcome outcome;
    };
    const Case cases[] = {
        {"clean", {}, {}, false, kReencrypted},
        {"write fails", writeFails, {}, false, kCopyKept},
        {"flush fails", flushFails, {}, false, kCopyKept},
        {"replace fails", {}, replaceFails, false, kCopyKept},
        {"write-protected medium", {}, writeProtected, false, kNeverWritten},
        {"ended quietly", {}, {}, true, kReencrypted},
        {"write fails, ended quietly", writeFails, {}, true, kCopyKept},
    };
    const std::string edited = "saved\r\nedited by the test editor\r\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string crp = MakeCrp(folder_, "saved.zedit.crp", "saved\r\n");
        const std::string copy = folder_ + "\\saved.zedit";
        const std::string before = ReadFileOrMissing(crp);
        test::SetEditorInstructions("append", report_);
        test::MessageBoxWatcher boxes;
        auto session = NewSession(crp);
        session->SetWaitForTray(true);
        ReplaceWatch watch;
        FileFaultPlan fileFaults = c.fileFaults;
        fileFaults.observe = ObserveFlush;
        fileFaults.observeContext = &watch;
        ReplaceFaultPlan replaceFaults = c.replaceFaults;
        replaceFaults.beforeReplace = ObserveReplace;
        replaceFaults.context = &watch;
        SetFileFaults(fileFaults);
        SetReplaceFaults(replaceFaults);
        ASSERT_TRUE(session->Start());
        const bool editorDone = test::WaitForEditorReport(report_, 30000);
        // Read past the seam, whose counts the plan relies on.
        const bool crpKept = ReadFileOrMissing(crp) == before;
        if (c.quiet) {
            session->EndQuietly();
        } else {
            session->Signal();
        }
        const bool ended = PumpUntilDone(kSessionTimeoutMs) && session->WaitForEnd(5000);
        ClearFileFaults();
        ClearReplaceFaults();
        ASSERT_TRUE(editorDone && ended);
        EXPECT_TRUE(crpKept) << "the .crp stays while the copy is edited";

        const std::vector<std::string> fails =
            c.outcome == kCopyKept && !c.quiet
                ? std::vector<std::string>{TextWithPath(IDS_REENCRYPT_FAILED, copy)}
                : std::vector<std::string>{};
        EXPECT_EQ(boxes.Texts(), fails);
        if (c.outcome == kReencrypted) {
            const auto replace = std::find(watch.events.begin(), watch.events.end(), "replace");
            ASSERT_NE(replace, watch.events.end());
            EXPECT_TRUE(replace != watch.events.begin() && *(replace - 1) == "flush");
            const std::string replacement = folder_ + "\\replacement.crp";
            ASSERT_TRUE(WriteWholeFile(replacement, watch.replacement));
            EXPECT_EQ(Decrypted(replacement), edited) << "complete when it took the name";
            DeleteFileA(replacement.c_str());
            EXPECT_EQ(Decrypted(crp), edited);
        } else {
            EXPECT_EQ(Decrypted(crp), "saved\r\n") << "the old .crp, whole";
        }
        if (c.outcome == kCopyKept) {
            EXPECT_EQ(ReadFileOrMissing(copy), edited);
            const std::vector<SessionRecord> records = Records();
            ASSERT_EQ(records.size(), 1u);
            EXPECT_EQ(records[0].stage, SessionStage::kEditing);
        } else {
            EXPECT_FALSE(FileExists(copy));
            EXPECT_TRUE(Records().empty());
        }
        if (c.outcome == kNeverWritten) {
            EXPECT_TRUE(test::ReadEditorReport(report_).readOnly);
            EXPECT_EQ(std::count(watch.events.begin(), watch.events.end(), "replace"), 0);
        }
        for (const std::string& name : FoundOrder(folder_)) {
            EXPECT_FALSE(MatchesTemporary(name)) << name;
        }
        SetFileAttributesA(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(copy.c_str());
        DeleteFileA(crp.c_str());
        DeleteFileA(report_.c_str());
        DeleteFileA(ini_.c_str());
    }
}

TEST_F(SessionTest, CopyThatCannotBeDestroyedShows56) {
    g_settings.useTempDir = false;
    const std::string crp = MakeCrp(folder_, "held.zedit.crp", "held\r\n");
    const std::string copy = folder_ + "\\held.zedit";
    test::SetEditorInstructions("hold", report_, stop_);
    test::MessageBoxWatcher boxes;
    auto session = NewSession(crp);
    ASSERT_TRUE(session->Start());
    ASSERT_TRUE(test::WaitForEditorReport(report_, 30000));
    session->Signal();  // re-encrypt while the editor holds the copy open
    ASSERT_TRUE(PumpUntilDone(kSessionTimeoutMs));
    ASSERT_TRUE(session->WaitForEnd(5000));

    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{TextWithPath(IDS_TEMP_DELETE_FAILED, copy)});
    EXPECT_EQ(Decrypted(crp), "held\r\nedited by the test editor\r\n");
    EXPECT_TRUE(FileExists(copy));
}

// A start after sessions that never ended, for the copies it needs not ask
// about: a copy that is gone drops its record, and one that holds nothing the
// .crp lacks (a part of it, or one already re-encrypted) is destroyed, all
// without a word; a copy that cannot be destroyed is named (64) and stays on
// record. The .crp files are never touched. (The question about an edited
// copy needs the program: tests/e2e.)
TEST_F(SessionTest, AStartFinishesLeftCopiesThatNeedNoQuestion) {
    const std::string crp = MakeCrp(folder_, "left.zedit.crp", "left\r\n");
    const std::string before = ReadFileOrMissing(crp);
    struct Case {
        const char* name;
        SessionStage stage;
        bool exists;
        bool held;  // open elsewhere without sharing its deletion
    };
    const Case cases[] = {
        {"partial.zedit", SessionStage::kDecrypting, true, false},
        {"wiping.zedit", SessionStage::kFinishing, true, false},
        {"gone-edited.zedit", SessionStage::kEditing, false, false},
        {"gone-partial.zedit", SessionStage::kDecrypting, false, false},
        {"held.zedit", SessionStage::kFinishing, true, true},
    };
    ScopedHandle held;
    for (const Case& c : cases) {
        const std::string copy = folder_ + "\\" + c.name;
        if (c.exists) {
            ASSERT_TRUE(WriteWholeFile(copy, "plain text"));
        }
        if (c.held) {
            held.Reset(CreateFileA(copy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(held.IsValid());
        }
        ASSERT_NE(AddSessionRecord(ini_.c_str(), copy.c_str(), crp.c_str(), c.stage), 0);
    }
    {
        test::MessageBoxWatcher boxes;
        RecoverOrphanedSessions(ini_.c_str());
        const std::string heldCopy = folder_ + "\\held.zedit";
        EXPECT_EQ(boxes.Texts(),
                  std::vector<std::string>{TextWithPath(IDS_ORPHAN_DELETE_FAILED, heldCopy)});
    }
    held.Reset();
    const std::vector<SessionRecord> records = Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(std::string(records[0].workingCopy), folder_ + "\\held.zedit");
    EXPECT_EQ(FoundOrder(folder_), (std::vector<std::string>{"held.zedit", "left.zedit.crp"}));
    EXPECT_EQ(ReadFileOrMissing(crp), before);
}

// A working-copy name that cannot be formed within 259 bytes ends the
// session with 53 before anything is decrypted; the .crp stays as it was.
TEST_F(SessionTest, NoNameThatFitsShows53AndDecryptsNothing) {
    // A short folder leaves room for long names; C: is the prefix's own disk.
    const std::string shortFolder = "C:\\zs" + tag_;
    test::RemoveTree(shortFolder);
    ASSERT_TRUE(CreateDirectoryA(shortFolder.c_str(), nullptr));
    const std::size_t tempLength = TemporaryFolderPath().size();
    struct Case {
        const char* what;
        bool useTempDir;
        std::string name;
    };
    const std::size_t room = 259 - shortFolder.size() - 1;
    const Case cases[] = {
        // Beside the .crp: a name without a dot is its own working copy
        // name, taken by the .crp itself, and "(1)" would pass 259 bytes.
        {"beside, no room for (1)", false, std::string(room - 1, 'n')},
        // In the temp folder the joined name alone passes 259 bytes.
        {"temp folder too deep", true, std::string(259 - tempLength + 4 - 3, 'm') + ".crp"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_LE(shortFolder.size() + 1 + c.name.size(), 259u);
        g_settings.useTempDir = c.useTempDir;
        const std::string crp = MakeCrp(shortFolder, c.name, "untouched\r\n");
        const std::string before = ReadFileOrMissing(crp);
        test::MessageBoxWatcher boxes;
        auto session = NewSession(crp);
        ASSERT_TRUE(RunToEnd(*session));
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{Text(IDS_OPEN_WORKING_COPY_FAILED)});
        EXPECT_EQ(ReadFileOrMissing(crp), before);
        EXPECT_EQ(FoundOrder(shortFolder), std::vector<std::string>{c.name});
        DeleteFileA(crp.c_str());
    }
    test::RemoveTree(shortFolder);
}

}  // namespace
}  // namespace zorv
