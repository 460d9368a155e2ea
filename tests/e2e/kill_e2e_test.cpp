// zorv.exe ended from outside (TerminateProcess, which is what Task Manager's
// "End task" does) at moments spread over each kind of batch, then given the
// same command again to the end, as a user would. Checked right after each
// kill: nothing is lost (every source intact, or its complete output in
// place), no partial file under a final name, no partial temporary outlives
// the process, a file being destroyed stays only under a wipe name, no plain
// text in the temporary folder; and after the retry: just the expected
// files, each complete. A temporary is marked for deletion just after it is
// made and unmarked just before its rename, so a kill at those instants
// leaves it empty or complete, for the next run to finish; counted here.
//
// Each kind of batch is killed as soon as an output's temporary holds
// something, as soon as a wipe name shows, and at ZORV_KILL_MOMENTS moments
// spread over its unkilled duration (3 under make test; make test-kill runs
// many more). A complete .crp file of given plain bytes is always the same
// bytes, so outputs are compared whole.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "app/resource_ids.h"
#include "e2e/decrypt_steps.h"
#include "e2e/encrypt_steps.h"
#include "support/harness.h"

namespace zorv::e2e {
namespace {

constexpr DWORD kJobTimeoutMs = 120000;

int Moments() {
    const char* text = std::getenv("ZORV_KILL_MOMENTS");
    const int moments = text != nullptr ? std::atoi(text) : 0;
    return moments > 0 ? moments : 3;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Names the programs give their own files beside a user's, judged here from
// the outside: ".zorv-" then anything, then ".tmp" or ".wipe".
bool IsLeftover(const std::string& path, const char* end) {
    const std::string name = path.substr(path.find_last_of('\\') + 1);
    return name.rfind(".zorv-", 0) == 0 && EndsWith(name, end);
}

// Every file below folder, as paths relative to it.
void ListFiles(const std::string& folder, const std::string& prefix,
               std::vector<std::string>* files) {
    for (const std::string& name : FoundOrder(folder + "\\" + prefix)) {
        const std::string relative = prefix.empty() ? name : prefix + "\\" + name;
        if ((Attributes(folder + "\\" + relative) & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            ListFiles(folder, relative, files);
        } else {
            files->push_back(relative);
        }
    }
}

std::string FolderOf(const std::string& relative) {
    const std::size_t slash = relative.find_last_of('\\');
    return slash == std::string::npos ? "" : relative.substr(0, slash);
}

// One plain file of a job, with the bytes of its complete .crp file.
struct Item {
    std::string name;  // relative to the scenario folder
    std::string plain;
    std::string crp;
};

struct Job {
    const char* title;
    bool encrypt;
    bool tree;
    std::vector<Item> items;

    std::string Source(const Item& item) const { return encrypt ? item.name : item.name + ".crp"; }
    std::string Output(const Item& item) const { return encrypt ? item.name + ".crp" : item.name; }
    const std::string& SourceBytes(const Item& item) const {
        return encrypt ? item.plain : item.crp;
    }
    const std::string& OutputBytes(const Item& item) const {
        return encrypt ? item.crp : item.plain;
    }
};

Item MakeItem(const std::string& name, std::size_t size, int seed) {
    Item item{name, PatternBytes(size, seed), ""};
    const std::string crp = TemporaryFolderPath() + "zorv-kill-ref.crp";
    EXPECT_TRUE(MakeCrp(crp, item.plain, kPassword));
    EXPECT_TRUE(ReadWholeFile(crp, &item.crp));
    DeleteFileA(crp.c_str());
    return item;
}

// One large file (on the parallel transform), and a tree of small files
// that the batch's jobs share.
std::vector<Job> Jobs() {
    std::vector<Item> big = {MakeItem("big", 16 * 1024 * 1024, 1)};
    std::vector<Item> tree;
    for (int i = 1; i <= 6; ++i) {
        tree.push_back(MakeItem("tree\\f" + std::to_string(i), i * 150 * 1024, 10 + i));
        tree.push_back(MakeItem("tree\\sub\\g" + std::to_string(i), i * 100 * 1024, 20 + i));
    }
    return {{"encrypt one large file", true, false, big},
            {"encrypt a tree", true, true, tree},
            {"decrypt one large file", false, false, big},
            {"decrypt a tree", false, true, tree}};
}

// The job's sources, alone in a fresh scenario folder.
std::string Prepare(const Job& job) {
    const std::string folder = MakeScenarioFolder("kill_harness");
    if (job.tree) {
        EXPECT_TRUE(MakeFolder(folder + "\\tree") && MakeFolder(folder + "\\tree\\sub"));
    }
    for (const Item& item : job.items) {
        EXPECT_TRUE(WriteWholeFile(folder + "\\" + job.Source(item), job.SourceBytes(item)));
    }
    return folder;
}

// One start of the job's command ("-e" or "-d", so that a name that is gone
// reaches the batch), its password given and OK clicked.
class JobRun {
public:
    bool Start(const Job& job, const std::string& folder) {
        const std::string input = folder + "\\" + (job.tree ? "tree" : job.Source(job.items[0]));
        encrypt_ = job.encrypt;
        if (encrypt_) {
            // The source is destroyed once its .crp file is complete: the
            // box is ticked whenever the dialog opens.
            return encryptRun_.Start("-e " + Quote(input)) &&
                   encryptRun_.Dialog().IsChecked(IDC_DELETE_SOURCE) && encryptRun_.Submit();
        }
        return decryptRun_.Start("-d " + Quote(input), !job.tree) &&
               decryptRun_.Submit(kPassword, job.tree ? 0 : IDC_REENCRYPT_NONE);
    }
    ZorvProcess& Process() { return encrypt_ ? encryptRun_.Process() : decryptRun_.Process(); }
    // Waits for the end: a clean batch ends the process, one with failures
    // is closed after its review. False when time ran out; *reviewed tells
    // which end it was.
    bool RunToTheEnd(bool* reviewed) {
        *reviewed = encrypt_ ? encryptRun_.WaitForReview(kJobTimeoutMs)
                             : decryptRun_.WaitForReview(kJobTimeoutMs);
        if (*reviewed) {
            const DialogView& dialog = encrypt_ ? encryptRun_.Dialog() : decryptRun_.Dialog();
            log_ = dialog.Text(IDC_LOG);
            dialog.Click(IDCANCEL);
        }
        return Process().WaitForExit(*reviewed ? kDefaultTimeoutMs : 1000);
    }
    const std::string& ReviewedLog() const { return log_; }

private:
    bool encrypt_ = true;
    EncryptRun encryptRun_;
    DecryptRun decryptRun_;
    std::string log_;
};

// Whether bytes, found in the temporary file, are the complete output of an
// item of its folder that is not in place.
bool IsUnplacedOutput(const Job& job, const std::string& folder, const std::string& file,
                      const std::string& bytes) {
    for (const Item& item : job.items) {
        if (FolderOf(item.name) == FolderOf(file) && bytes == job.OutputBytes(item) &&
            !FileExists(folder + "\\" + job.Output(item))) {
            return true;
        }
    }
    return false;
}

// What a folder holds, judged against the job.
struct Survey {
    std::vector<std::string> faults;
    int outputs = 0;      // complete outputs in place
    int sources = 0;      // intact sources under their own names
    int wipes = 0;        // files being destroyed, under a wipe name
    int temporaries = 0;  // unmarked temporaries, empty or complete
};

Survey Look(const Job& job, const std::string& folder) {
    Survey survey;
    std::map<std::string, const Item*> sources, outputs;
    for (const Item& item : job.items) {
        sources[job.Source(item)] = &item;
        outputs[job.Output(item)] = &item;
    }
    std::map<std::string, int> goneSources, wipes;  // per folder
    std::vector<std::string> files;
    ListFiles(folder, "", &files);
    for (const std::string& file : files) {
        std::string bytes;
        ReadWholeFile(folder + "\\" + file, &bytes);
        if (sources.count(file) != 0 && bytes != job.SourceBytes(*sources[file])) {
            survey.faults.push_back(file + ": a changed source under its own name");
        } else if (outputs.count(file) != 0 && bytes != job.OutputBytes(*outputs[file])) {
            survey.faults.push_back(file + ": a partial file under the final name");
        } else if (IsLeftover(file, ".tmp")) {
            if (bytes.empty() || IsUnplacedOutput(job, folder, file, bytes)) {
                ++survey.temporaries;
            } else {
                survey.faults.push_back(file + ": a partial temporary outlived its process");
            }
        } else if (IsLeftover(file, ".wipe")) {
            ++wipes[FolderOf(file)];
            ++survey.wipes;
        } else if (sources.count(file) == 0 && outputs.count(file) == 0) {
            survey.faults.push_back(file + ": a file that should not be there");
        }
    }
    for (const Item& item : job.items) {
        const bool source = FileExists(folder + "\\" + job.Source(item));
        const bool output = FileExists(folder + "\\" + job.Output(item));
        survey.sources += source;
        survey.outputs += output;
        if (!source && !output) {
            survey.faults.push_back(item.name + ": lost, neither the source nor its output");
        }
        // A source goes under a wipe name only once its output is in place.
        goneSources[FolderOf(item.name)] += !source && output;
    }
    for (const auto& [where, count] : wipes) {
        if (count > goneSources[where]) {
            survey.faults.push_back("more wipe names than sources destroyed in '" + where + "'");
        }
    }
    return survey;
}

void Report(const Job& job, int moment, const char* when, const std::vector<std::string>& faults) {
    for (const std::string& fault : faults) {
        ADD_FAILURE() << job.title << ", kill " << moment << ", " << when << ": " << fault;
    }
}

// The job run once without a kill: it must end clean with just the outputs.
// Returns its duration in milliseconds, from the click on OK.
DWORD TimeTheJob(const Job& job) {
    const std::string folder = Prepare(job);
    JobRun run;
    EXPECT_TRUE(run.Start(job, folder));
    const DWORD start = GetTickCount();
    bool reviewed = false;
    EXPECT_TRUE(run.RunToTheEnd(&reviewed));
    const DWORD duration = GetTickCount() - start;
    EXPECT_FALSE(reviewed) << run.ReviewedLog();
    const Survey survey = Look(job, folder);
    Report(job, 0, "unkilled", survey.faults);
    EXPECT_EQ(survey.sources + survey.wipes + survey.temporaries, 0);
    return duration;
}

// When a run is ended: a delay after the click on OK, or as soon as a file
// whose name ends so shows in the folder, not empty (the phases that a few
// timed moments rarely meet: an output being written, a source being wiped).
struct Moment {
    DWORD delayMs;
    const char* sighting;
};

bool SightAndKill(const std::string& folder, const char* end, ZorvProcess& process) {
    const DWORD start = GetTickCount();
    while (process.IsRunning() && GetTickCount() - start < kJobTimeoutMs) {
        std::vector<std::string> files;
        ListFiles(folder, "", &files);
        for (const std::string& file : files) {
            WIN32_FILE_ATTRIBUTE_DATA data{};
            if (IsLeftover(file, end) &&
                GetFileAttributesExA((folder + "\\" + file).c_str(), GetFileExInfoStandard,
                                     &data) &&
                (data.nFileSizeLow | data.nFileSizeHigh) != 0) {
                process.Kill();
                return true;
            }
        }
        Sleep(1);
    }
    process.Kill();
    return false;
}

void KillAndRetry(const Job& job, int number, const Moment& moment) {
    const int temporaries = TemporaryFileCount();
    const std::string folder = Prepare(job);
    std::string when = std::to_string(moment.delayMs) + " ms";
    bool seen = true;
    {
        JobRun run;
        ASSERT_TRUE(run.Start(job, folder));
        if (moment.sighting == nullptr) {
            Sleep(moment.delayMs);
            run.Process().Kill();
        } else {
            seen = SightAndKill(folder, moment.sighting, run.Process());
            when = std::string("the first ") + moment.sighting;
        }
    }
    Survey survey = Look(job, folder);
    // Every job writes each output under a temporary name and destroys each
    // source under a wipe name.
    if (!seen) {
        survey.faults.push_back(std::string("no ") + moment.sighting + " seen while it ran");
    }
    if (TemporaryFileCount() != temporaries) {
        survey.faults.push_back("a file left in the temporary folder");
    }
    Report(job, number, "after the kill", survey.faults);
    std::printf("  kill %d at %s: %d/%zu outputs, %d sources, %d wipe names, %d temporaries\n",
                number, when.c_str(), survey.outputs, job.items.size(), survey.sources,
                survey.wipes, survey.temporaries);

    JobRun retry;
    ASSERT_TRUE(retry.Start(job, folder));
    bool reviewed = false;
    ASSERT_TRUE(retry.RunToTheEnd(&reviewed)) << job.title << ", retry " << number;
    survey = Look(job, folder);
    if (survey.outputs != static_cast<int>(job.items.size())) {
        survey.faults.push_back("outputs missing");
    }
    if (survey.wipes + survey.temporaries != 0) {
        survey.faults.push_back("a leftover the retry did not finish");
    }
    // A kill between placing an output and destroying its source leaves
    // both, complete: the retry finds its own output in place and finishes
    // the source all the same.
    if (survey.sources != 0) {
        survey.faults.push_back("sources left beside their outputs: " +
                                std::to_string(survey.sources));
    }
    if (TemporaryFileCount() != temporaries) {
        survey.faults.push_back("a file left in the temporary folder");
    }
    Report(job, number, "after the retry", survey.faults);
}

TEST(KillHarness, EveryBatchKilledAtMomentsSpreadOverItAndRunAgain) {
    // The single-file decryption dialog may save its choice beside zorv.exe:
    // removed at the end.
    DecryptSettings settings(false, "none", true);
    const int moments = Moments();
    for (const Job& job : Jobs()) {
        const DWORD duration = TimeTheJob(job);
        std::printf("%s: %d kills, %lu ms a run\n", job.title, moments + 2,
                    static_cast<unsigned long>(duration));
        std::vector<Moment> plan = {{0, ".tmp"}, {0, ".wipe"}};
        for (int moment = 1; moment <= moments; ++moment) {
            plan.push_back({duration * moment / (moments + 1), nullptr});
        }
        for (std::size_t number = 0; number < plan.size(); ++number) {
            KillAndRetry(job, static_cast<int>(number + 1), plan[number]);
        }
    }
}

}  // namespace
}  // namespace zorv::e2e
