// The batch rules and walk order, and the in-order report of parallel jobs.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "cli/batch_plan.h"
#include "cli/file_jobs.h"
#include "cli/job_runner.h"
#include "cli/progress_bar.h"
#include "cli/report_lines.h"
#include "crypto/file_entries.h"
#include "crypto/file_handle.h"
#include "crypto/job_steps.h"
#include "support/cli_test_util.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zorv {
namespace {

using test::ScratchFolder;

void MakeReadOnly(const std::string& path) {
#ifdef _WIN32
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
#else
    chmod(path.c_str(), 0555);
#endif
}

void MakeFolder(const std::string& path) {
#ifdef _WIN32
    CreateDirectoryA(path.c_str(), nullptr);
#else
    mkdir(path.c_str(), 0700);
#endif
}

// root: a.txt b.txt c.txt d.crp ro.txt (read-only) sub/{x.txt y.crp}
// zsub/q.txt (zsub read-only)
class PlanTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"a.txt", "b.txt", "c.txt", "d.crp", "ro.txt"}) {
            ASSERT_TRUE(test::WriteText(root_ / name, name));
        }
        MakeReadOnly(root_ / "ro.txt");
        MakeFolder(root_ / "sub");
        MakeFolder(root_ / "zsub");
        ASSERT_TRUE(test::WriteText(root_ / "sub" + Separator() + "x.txt", "x"));
        ASSERT_TRUE(test::WriteText(root_ / "sub" + Separator() + "y.crp", "y"));
        ASSERT_TRUE(test::WriteText(root_ / "zsub" + Separator() + "q.txt", "q"));
        MakeReadOnly(root_ / "zsub");
    }

    static std::string Separator() { return std::string(1, kPathSeparator); }

    // Each item as "name:refusal", names relative to root.
    std::vector<std::string> Describe(const Plan& plan) const {
        std::vector<std::string> out;
        for (const PlanItem& item : plan.items) {
            std::string name = item.path.substr(root_.path().size() + 1);
            out.push_back(name + ":" + std::to_string(item.refusal));
        }
        return out;
    }

    ScratchFolder root_;
};

TEST_F(PlanTest, WalksFoldersDepthFirstWithTheFolderOwnFilesLastFoundFirst) {
    const std::string s = Separator();
    // Left by a killed run: never items (below, after a walk and beside a
    // file named as an input, see LeftoversOfAKilledRunAreFinishedOnce).
    ASSERT_TRUE(test::WriteText(root_ / ".zorv-0123abcd.tmp", "plain"));
    ASSERT_TRUE(test::WriteText(root_ / "sub" + s + ".zorv-89abcdef.wipe", "half"));
    // Wine keeps no read-only attribute on folders; there zsub is walked.
    const bool readOnlyFolder = QueryEntry(root_ / "zsub").readOnly;
    const std::vector<std::string> zsub = readOnlyFolder
                                              ? std::vector<std::string>{"zsub:74"}
                                              : std::vector<std::string>{"zsub" + s + "q.txt:0"};
    std::vector<std::string> expected = {"d.crp:73", "ro.txt:74", "sub" + s + "y.crp:73",
                                         "sub" + s + "x.txt:0"};
    expected.insert(expected.end(), zsub.begin(), zsub.end());
    expected.insert(expected.end(), {"c.txt:0", "b.txt:0", "a.txt:0"});
    Plan encrypt = BuildPlan(Command::kEncrypt, {root_.path()}, true);
    EXPECT_EQ(Describe(encrypt), expected);
    EXPECT_EQ(encrypt.leftovers.size(), 2u);
    EXPECT_EQ(encrypt.workCount, readOnlyFolder ? 4u : 5u);
    EXPECT_EQ(encrypt.workBytes, (5u + 5u + 5u + 1u) + (readOnlyFolder ? 0u : 1u));

    expected = {"ro.txt:74", "sub" + s + "y.crp:0"};
    if (readOnlyFolder) {
        expected.push_back("zsub:74");
    }
    expected.push_back("d.crp:0");
    EXPECT_EQ(Describe(BuildPlan(Command::kDecrypt, {root_.path()}, true)), expected);
    // Checking writes nothing, so read-only entries are no obstacle.
    Plan verify = BuildPlan(Command::kVerify, {root_.path()}, true);
    EXPECT_EQ(Describe(verify), (std::vector<std::string>{"sub" + s + "y.crp:0", "d.crp:0"}));
}

// Leftovers of a killed run, in a walk or beside an input named on the
// command line (where a source destroyed by that run now is), are noted
// once, never taken as input even by name, and finished before any job: one
// notice for those wiped, a failure for each that stays.
TEST_F(PlanTest, LeftoversOfAKilledRunAreFinishedOnce) {
    const std::string tmp = root_ / ".zorv-0123abcd.tmp";
    const std::string wipe = root_ / ".zorv-89abcdef.wipe";
    const std::string lookAlike = root_ / ".zorv-89abcdef.wipe.crp";
    for (const std::string& path : {tmp, wipe, lookAlike}) {
        ASSERT_TRUE(test::WriteText(path, "left"));
    }
    Plan plan = BuildPlan(Command::kEncrypt,
                          {root_ / "a.txt", root_ / "missing", wipe, root_.path()}, true);
    ASSERT_EQ(plan.leftovers.size(), 2u);
    const std::size_t items = plan.items.size();
    FinishLeftovers(&plan);
    EXPECT_FALSE(std::filesystem::exists(tmp));
    EXPECT_FALSE(std::filesystem::exists(wipe));
    EXPECT_TRUE(std::filesystem::exists(lookAlike));
    ASSERT_EQ(plan.items.size(), items + 1);
    EXPECT_EQ(plan.items[0].path, root_.path());
    EXPECT_EQ(plan.items[0].refusal, kResultLeftoversWiped);
    EXPECT_FALSE(IsFailure(kResultLeftoversWiped));
    EXPECT_EQ(plan.items[1].path, root_ / "a.txt");
    EXPECT_EQ(plan.items[2].refusal, kResultFileMissing);
    // Nothing left: no line.
    FinishLeftovers(&plan);
    EXPECT_EQ(plan.items.size(), items + 1);
    // One that another live run holds is not a leftover: no line at all.
    ASSERT_TRUE(test::WriteText(wipe, "in flight"));
    {
        FileHandle live;
        ASSERT_EQ(live.OpenForWipe(wipe.c_str()), FileHandle::Hold::kHeld);
        Plan held = BuildPlan(Command::kEncrypt, {root_ / "a.txt"}, false);
        ASSERT_EQ(held.leftovers.size(), 1u);
        FinishLeftovers(&held);
        EXPECT_EQ(held.items.size(), 1u);
    }
    EXPECT_TRUE(std::filesystem::exists(wipe));
#ifndef _WIN32
    if (geteuid() == 0) {
        return;  // the super-user removes files from a read-only folder
    }
    // One that cannot be removed (its folder is read-only) is a failure.
    ASSERT_TRUE(test::WriteText(root_ / "sub" + Separator() + ".zorv-00000000.tmp", "left"));
    chmod((root_ / "sub").c_str(), 0555);
    Plan stuck = BuildPlan(Command::kDecrypt, {root_ / "sub" + Separator() + "y.crp"}, false);
    FinishLeftovers(&stuck);
    chmod((root_ / "sub").c_str(), 0755);
    ASSERT_EQ(stuck.items.size(), 2u);
    EXPECT_EQ(stuck.items[0].refusal, kResultLeftoverRemains);
    EXPECT_TRUE(IsFailure(kResultLeftoverRemains));
#endif
}

// What the plan sees of each input reaches the rules (their rows:
// tests/batch/input_rules_test.cpp).
TEST_F(PlanTest, AppliesTheInputRulesToWhatItSees) {
    struct Case {
        Command command;
        std::string input;
        bool recursive;
        ResultCode expected;
    };
    const Case cases[] = {
        {Command::kEncrypt, root_.path(), false, kResultFolderWithoutRecursion},
        {Command::kEncrypt, root_ / "d.crp", false, kResultAlreadyEncrypted},
        {Command::kEncrypt, root_ / "ro.txt", false, kResultReadOnlyOrSystem},
        {Command::kDecrypt, root_ / "a.txt", false, kResultNotEncrypted},
        {Command::kCat, root_ / "d.crp", false, kResultOk},
    };
    for (const Case& c : cases) {
        Plan plan = BuildPlan(c.command, {c.input}, c.recursive);
        ASSERT_EQ(plan.items.size(), 1u) << c.input;
        EXPECT_EQ(plan.items[0].refusal, c.expected) << c.input;
        EXPECT_EQ(plan.workCount, c.expected == kResultOk ? 1u : 0u);
    }
}

// A job that takes longer for earlier items, so with several threads the
// later ones finish first.
std::vector<Outcome> SlowFirstJob(const FileCipher&, const PlanItem& item, const JobSettings&) {
    int index = std::stoi(item.path);
    std::this_thread::sleep_for(std::chrono::milliseconds(5 * (12 - index)));
    return {Outcome{item.path, index % 3 == 0 ? kResultWrongPassword : kResultOk}};
}

class Collector : public Reporter {
public:
    void Report(const Outcome& outcome) override {
        lines.push_back(outcome.path + ":" + std::to_string(outcome.code));
    }
    std::vector<std::string> lines;
};

// Writes to a job's source between its transform and the checks before it
// is destroyed; an encryption source is changed and kept, its .crp file
// removed; a decryption's .crp file is kept beside its plain file.
PlanItem WorkOn(const std::string& path) {
    PlanItem item;
    item.path = path;
    return item;
}

std::string appendTo;
void AppendTail(const std::string& path) {
    if (path == appendTo) {
        std::FILE* file = std::fopen(path.c_str(), "ab");
        std::fputs("tail", file);
        std::fclose(file);
    }
}

// Changes the first byte in place and puts the last-write time back, as an
// editor that keeps times would: only the change time tells.
void RewriteKeepingTimes(const std::string& path) {
    if (path != appendTo) {
        return;
    }
#ifdef _WIN32
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              0, nullptr);
    FILETIME written = {};
    DWORD put = 0;
    ASSERT_TRUE(GetFileTime(file, nullptr, nullptr, &written));
    ASSERT_TRUE(WriteFile(file, "C", 1, &put, nullptr));
    ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &written));
    CloseHandle(file);
#else
    struct stat st = {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    std::FILE* file = std::fopen(path.c_str(), "r+b");
    std::fputc('C', file);
    std::fclose(file);
    const timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
#endif
}

// Appends to the source and puts another file under its output's name.
void AppendAndTakeOutput(const std::string& path) {
    if (path == appendTo) {
        AppendTail(path);
        ASSERT_TRUE(test::WriteText(path + ".other", "other"));
        std::filesystem::rename(path + ".other", path + ".crp");  // replaces it in one step
    }
}

// Appends to the source and puts a symbolic link to its output under the
// output's name: the link is not the output, and stays. (POSIX: Windows
// gives links to administrators only.)
void AppendAndLinkOutput(const std::string& path) {
    if (path == appendTo) {
        AppendTail(path);
        std::filesystem::rename(path + ".crp", path + ".moved");
        std::filesystem::create_symlink(path + ".moved", path + ".crp");
    }
}

TEST_F(PlanTest, ASourceChangedBeforeItIsDestroyedIsKept) {
    const FileCipher cipher("password", 8);
    ASSERT_TRUE(test::WriteText(root_ / "grow.txt", "contents"));
    ASSERT_EQ(EncryptJob(cipher, WorkOn(root_ / "e.txt"), JobSettings{}).size(), 1u);  // missing
    struct Case {
        bool encrypt;
        bool keep;
        void (*edit)(const std::string&);
        ResultCode expected;
    };
    const Case kCases[] = {
        {true, false, AppendTail, kResultSourceChanged},
        {true, true, AppendTail, kResultSourceChanged},
        {false, false, AppendTail, kResultDeleteFailed},
        {true, false, RewriteKeepingTimes, kResultSourceChanged},
        {true, false, AppendAndTakeOutput, kResultSourceChanged},
#ifndef _WIN32
        {true, false, AppendAndLinkOutput, kResultSourceChanged},
#endif
    };
    for (const Case& c : kCases) {
        SetSourceCheckHook(c.edit);
        ASSERT_TRUE(test::WriteText(root_ / "grow.txt", "contents"));
        std::remove((root_ / "grow.txt.crp").c_str());
        appendTo.clear();
        if (!c.encrypt) {  // destroys grow.txt, the decryption's target
            ASSERT_EQ(EncryptJob(cipher, WorkOn(root_ / "grow.txt"), JobSettings{}).size(), 1u);
        }
        appendTo = root_ / (c.encrypt ? "grow.txt" : "grow.txt.crp");
        JobSettings settings;
        settings.keep = c.keep;
        const PlanItem item = WorkOn(appendTo);
        const std::vector<Outcome> lines =
            c.encrypt ? EncryptJob(cipher, item, settings) : DecryptJob(cipher, item, settings);
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].code, c.expected) << c.encrypt << c.keep;
        EXPECT_TRUE(test::Exists(appendTo));
        // The .crp file made from a changed source is removed; a file or
        // link that took its name is not.
        const bool linked = c.edit == AppendAndLinkOutput;
        const bool taken = c.edit == AppendAndTakeOutput || linked;
        EXPECT_EQ(test::Exists(root_ / "grow.txt.crp"), !c.encrypt || taken);
        if (taken && !linked) {
            EXPECT_EQ(test::ReadBytes(root_ / "grow.txt.crp"),
                      (test::Bytes{'o', 't', 'h', 'e', 'r'}));
        }
        EXPECT_EQ(QueryEntry(root_ / "grow.txt.crp").isLink, linked);
        std::remove((root_ / "grow.txt.moved").c_str());
        EXPECT_TRUE(test::Exists(root_ / "grow.txt"));
    }
    SetSourceCheckHook(nullptr);
}

// A target that exists fails the job: found before anything is decrypted
// (the wrong password of this .crp file would otherwise be found first, 75,
// after its plain text had been written), or made once the job has begun,
// when the move refuses to replace it. The file under the name is kept, and
// so is the source.
std::string takeName;  // made by TakeTarget once, when a job opens its source
void TakeTarget(const std::string&) {
    if (!takeName.empty()) {
        ASSERT_TRUE(test::WriteText(takeName, "mine"));
        takeName.clear();
    }
}

TEST_F(PlanTest, ATakenTargetFailsTheJobAndIsKept) {
    const FileCipher cipher("password", 8);
    struct Case {
        bool encrypt;
        bool duringJob;
    };
    const Case kCases[] = {{false, false}, {false, true}, {true, true}};
    for (const Case& c : kCases) {
        const std::string source = root_ / (c.encrypt ? "taken" : "taken.crp");
        const std::string target = root_ / (c.encrypt ? "taken.crp" : "taken");
        if (c.duringJob) {
            ASSERT_TRUE(test::WriteText(root_ / "taken", "plain"));
            JobSettings keep;
            keep.keep = true;
            std::remove((root_ / "taken.crp").c_str());
            ASSERT_EQ(EncryptJob(cipher, WorkOn(root_ / "taken"), keep)[0].code, kResultOk);
            std::remove(target.c_str());
            takeName = target;
        } else {
            ASSERT_TRUE(test::WriteBytes(source, test::RandomBytes(4096, 3)));
            ASSERT_TRUE(test::WriteText(target, "mine"));
        }
        SetJobOpenedHook(TakeTarget);
        const std::vector<Outcome> lines = c.encrypt
                                               ? EncryptJob(cipher, WorkOn(source), JobSettings{})
                                               : DecryptJob(cipher, WorkOn(source), JobSettings{});
        SetJobOpenedHook(nullptr);
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].path, target);
        EXPECT_EQ(lines[0].code, kResultFileExists) << c.encrypt << c.duringJob;
        EXPECT_EQ(test::ReadBytes(target), (test::Bytes{'m', 'i', 'n', 'e'}));
        EXPECT_TRUE(test::Exists(source));
        for (const std::string& name : root_.Names()) {
            EXPECT_EQ(name.find(".tmp"), std::string::npos) << "a temporary is left";
        }
    }
}

// With -f, a job never replaces the output of another job of the run (two
// names that meet on a file system blind to letter case, found by no plan).
TEST_F(PlanTest, ForceNeverReplacesAnOutputOfTheRun) {
    const FileCipher cipher("password", 8);
    PlacedOutputs placed;
    JobSettings settings;
    settings.keep = true;
    settings.replace = true;
    settings.output = root_ / "out.crp";
    settings.placed = &placed;
    ASSERT_TRUE(test::WriteText(settings.output, "older"));  // -f may replace this one
    const std::vector<Outcome> first = EncryptJob(cipher, WorkOn(root_ / "a.txt"), settings);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].code, kResultOk);
    const test::Bytes made = test::ReadBytes(settings.output);
    const std::vector<Outcome> second = EncryptJob(cipher, WorkOn(root_ / "b.txt"), settings);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(second[0].path, settings.output);
    EXPECT_EQ(second[0].code, kResultSharedOutput);
    EXPECT_EQ(test::ReadBytes(settings.output), made);
}

#ifndef _WIN32
// What SwapOnce does to swapFrom: it moves it to swapFrom + "-old", and puts
// swapTo in its place, moved there or (swapByLink) as a symbolic link to it.
std::string swapFrom;
std::string swapTo;
bool swapByLink = true;
const ScratchFolder* outsideFolder = nullptr;
std::vector<std::string> seenOutside;  // by WatchOutside, once the output is placed

void WatchOutside(const std::string&) {
    seenOutside = outsideFolder->Names();
}

void SwapOnce(const std::string&) {
    if (!swapFrom.empty()) {
        ASSERT_EQ(rename(swapFrom.c_str(), (swapFrom + "-old").c_str()), 0);
        ASSERT_EQ(swapByLink ? symlink(swapTo.c_str(), swapFrom.c_str())
                             : rename(swapTo.c_str(), swapFrom.c_str()),
                  0);
        swapFrom.clear();
    }
}

void SwapThenWatch(const std::string& path) {
    SwapOnce(path);
    WatchOutside(path);
}

// A sub-folder or a source swapped after the walk, once a job has opened
// its source, or once its output is placed: nothing is read, written or
// removed outside the tree, nor in what took the name. A job that finds its
// folder swapped before it starts does nothing; one that had its source
// open fails (83), its source kept in the folder it had reached, now under
// the old name; one whose output is placed destroys its source there. Each
// defence has a row that it alone passes: the folder swapped for a link to
// itself (only the refusal of a link below the folder named on the command
// line tells), for another real folder (only the folder's identity, for a
// file named by itself), once the output is placed (only reaching the
// source through the folder the job holds), the source swapped for another
// file (only the source's identity) or for a link to itself (only the
// refusal to open a link).
TEST_F(PlanTest, AnEntrySwappedAfterTheWalkSendsNoJobOutside) {
    enum Swap {
        kFolderForLinkOutside,
        kFolderForLinkToItself,
        kFolderForOther,
        kSourceForOther,
        kSourceForLinkToItself
    };
    enum When { kBeforeJob, kAfterOpen, kPlaced };
    struct Case {
        bool encrypt;
        When when;
        bool byName;  // the file named on the command line, not found by a walk
        Swap swap;
        ResultCode expected;
    };
    const Case kCases[] = {
        {true, kBeforeJob, false, kFolderForLinkOutside, kResultReplaced},
        {true, kAfterOpen, false, kFolderForLinkOutside, kResultWriteFailed},
        {false, kBeforeJob, false, kFolderForLinkOutside, kResultReplaced},
        {false, kAfterOpen, false, kFolderForLinkOutside, kResultWriteFailed},
        {true, kBeforeJob, true, kFolderForLinkOutside, kResultReplaced},
        {true, kAfterOpen, true, kFolderForLinkOutside, kResultWriteFailed},
        {false, kBeforeJob, true, kFolderForLinkOutside, kResultReplaced},
        {false, kAfterOpen, true, kFolderForLinkOutside, kResultWriteFailed},
        {true, kPlaced, false, kFolderForLinkOutside, kResultOk},
        {false, kPlaced, false, kFolderForLinkOutside, kResultOk},
        {true, kBeforeJob, false, kFolderForLinkToItself, kResultReplaced},
        {true, kBeforeJob, true, kFolderForOther, kResultReplaced},
        {true, kBeforeJob, false, kSourceForOther, kResultReplaced},
        {true, kBeforeJob, false, kSourceForLinkToItself, kResultSymbolicLink},
    };
    const FileCipher cipher("password", 8);
    int row = 0;
    for (const Case& c : kCases) {
        SCOPED_TRACE(row);
        ScratchFolder outside;
        ASSERT_TRUE(test::WriteText(outside / "other.txt", "outside"));
        const std::vector<std::string> untouched{"other.txt"};
        outsideFolder = &outside;
        seenOutside = untouched;
        const std::string folder = root_ / ("w" + std::to_string(row));
        const std::string other = root_ / ("other" + std::to_string(row++));
        MakeFolder(folder);
        MakeFolder(other);
        const std::string source = folder + Separator() + "x.txt";
        ASSERT_TRUE(test::WriteText(source, "x"));
        ASSERT_TRUE(test::WriteText(other + Separator() + "x.txt", "other"));
        if (!c.encrypt) {
            ASSERT_EQ(EncryptJob(cipher, WorkOn(source), JobSettings{}).size(), 1u);
        }
        const std::string planned = c.encrypt ? source : source + ".crp";
        const Plan plan = BuildPlan(c.encrypt ? Command::kEncrypt : Command::kDecrypt,
                                    {c.byName ? planned : root_.path()}, !c.byName);
        const PlanItem* item = nullptr;
        for (const PlanItem& candidate : plan.items) {
            item = candidate.path == planned ? &candidate : item;
        }
        ASSERT_NE(item, nullptr);
        const bool ofFolder = c.swap <= kFolderForOther;
        swapFrom = ofFolder ? folder : planned;
        swapTo = c.swap == kFolderForLinkOutside ? outside.path()
                 : c.swap == kFolderForOther     ? other
                 : c.swap == kSourceForOther     ? other + Separator() + "x.txt"
                                                 : swapFrom + "-old";
        swapByLink = c.swap != kFolderForOther && c.swap != kSourceForOther;
        if (c.when == kBeforeJob) {
            SwapOnce(planned);
        }
        SetJobOpenedHook(c.when == kAfterOpen ? SwapOnce : nullptr);
        SetSourceCheckHook(SwapThenWatch);
        const std::vector<Outcome> lines =
            c.encrypt ? EncryptJob(cipher, *item, JobSettings{}) : DecryptJob(cipher, *item, {});
        SetJobOpenedHook(nullptr);
        SetSourceCheckHook(nullptr);
        ASSERT_TRUE(swapFrom.empty());
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].code, c.expected) << c.encrypt << c.when << c.byName;
        EXPECT_EQ(seenOutside, untouched) << c.encrypt << c.when << c.byName;
        EXPECT_EQ(outside.Names(), untouched) << c.encrypt << c.when << c.byName;
        EXPECT_EQ(test::ReadBytes(outside / "other.txt"),
                  (test::Bytes{'o', 'u', 't', 's', 'i', 'd', 'e'}));
        if (!swapByLink) {  // what took the name is as it was
            EXPECT_EQ(test::ReadBytes(source), (test::Bytes{'o', 't', 'h', 'e', 'r'}));
            EXPECT_FALSE(test::Exists(source + ".crp"));
        }
        if (c.when != kBeforeJob) {  // the source or the output alone, under the old name
            std::vector<std::string> left;
            for (const auto& entry : std::filesystem::directory_iterator(folder + "-old")) {
                left.push_back(entry.path().filename().string());
            }
            const std::string output = c.encrypt ? "x.txt.crp" : "x.txt";
            EXPECT_EQ(left, std::vector<std::string>{c.when == kPlaced ? output : NameOf(planned)});
        }
        if (c.swap == kFolderForLinkOutside) {
            // Planned now, the link is not followed: nothing outside the tree.
            for (const PlanItem& now : BuildPlan(Command::kEncrypt, {root_.path()}, true).items) {
                EXPECT_EQ(now.path.find(folder + Separator()), std::string::npos) << now.path;
            }
        }
        unlink((ofFolder ? folder : planned).c_str());
    }
}
#endif

TEST(RunPlan, ReportsInPlanOrderWhateverTheNumberOfJobs) {
    Plan plan;
    for (int i = 0; i < 12; ++i) {
        ResultCode refusal = i % 5 == 4 ? kResultNotEncrypted : kResultOk;
        PlanItem item = WorkOn(std::to_string(i));
        item.refusal = refusal;
        plan.items.push_back(item);
        plan.workCount += refusal == kResultOk ? 1 : 0;
    }
    FileCipher cipher("key", 3);
    Collector single, parallel;
    RunSummary one = RunPlan(plan, cipher, 1, JobSettings{}, SlowFirstJob, single);
    RunSummary four = RunPlan(plan, cipher, 4, JobSettings{}, SlowFirstJob, parallel);
    EXPECT_EQ(parallel.lines, single.lines);
    ASSERT_EQ(single.lines.size(), 12u);
    EXPECT_EQ(single.lines[3], "3:75");
    EXPECT_EQ(single.lines[4], "4:76");
    EXPECT_EQ(one.failures, 5u);  // 0, 3 and 6 failed; 4 and 9 were refused
    EXPECT_EQ(four.failures, one.failures);
}

TEST(ProgressBar, FormatsDoneTotalRateAndTimeLeft) {
    std::string line = ProgressBar::Format(512 * 1024 * 1024ull, 1024 * 1024 * 1024ull, 2.0);
    EXPECT_NE(line.find(" 50%"), std::string::npos) << line;
    EXPECT_NE(line.find("512.0 MiB / 1.0 GiB"), std::string::npos) << line;
    EXPECT_NE(line.find("256.0 MiB/s"), std::string::npos) << line;
    EXPECT_NE(line.find("0:02 left"), std::string::npos) << line;
    EXPECT_LE(line.size(), 79u);
    EXPECT_NE(ProgressBar::Format(0, 0, 0).find("100%"), std::string::npos);
}

}  // namespace
}  // namespace zorv

namespace zorv {
namespace {

TEST(ShownName, OneFileGivesOneLineAndNoEscapeReachesATerminal) {
    struct Row {
        std::string name;
        std::string toFile;
        std::string toTerminal;
    };
    const Row rows[] = {
        {"plain/name.txt", "plain/name.txt", "plain/name.txt"},
        {"two\nlines\r", "two\\x0alines\\x0d", "two\\x0alines\\x0d"},
        {"red\x1b[31m\tx\x7f", "red\x1b[31m\tx\x7f", "red\\x1b[31m\\x09x\\x7f"},
        // UTF-8 stays; a stray byte, an overlong form and a surrogate do not.
        {"\xE3\x83\x91.txt", "\xE3\x83\x91.txt", "\xE3\x83\x91.txt"},
        {"a\xFF\xC0\xAF\xED\xA0\x80", "a\xFF\xC0\xAF\xED\xA0\x80",
         "a\\xff\\xc0\\xaf\\xed\\xa0\\x80"},
        {"cut\xE3\x83", "cut\xE3\x83", "cut\\xe3\\x83"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ShownName(row.name, false), row.toFile) << row.toTerminal;
        EXPECT_EQ(ShownName(row.name, true), row.toTerminal);
    }
}

}  // namespace
}  // namespace zorv
