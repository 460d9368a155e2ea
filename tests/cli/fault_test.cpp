// zorv-cli's jobs when a call of the file seam fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <utility>

#include "cli/file_jobs.h"
#include "crypto/file_entries.h"
#include "support/cli_test_util.h"

namespace zorv {
namespace {

using test::RandomBytes;
using test::ReadBytes;
using test::ScratchFolder;
using test::WriteBytes;

constexpr char kKey[] = "transform key";

FileCipher KeyedCipher() {
    return FileCipher(kKey, sizeof kKey - 1);
}

// The process's open descriptors on Linux (0 elsewhere, where a temporary
// has a name that the folder's listing shows).
std::size_t OpenDescriptorCount() {
#ifdef __linux__
    std::error_code error;
    std::filesystem::directory_iterator fds("/proc/self/fd", error);
    return error ? 0 : static_cast<std::size_t>(std::distance(fds, {}));
#else
    return 0;
#endif
}

// What each flush saw of a job's names, in order.
struct FlushWitness {
    std::string source, target;
    std::vector<std::pair<bool, bool>> seen;  // target there, source there

    static void OnFlush(void* self, const std::uint8_t* bytes, std::size_t) {
        auto* witness = static_cast<FlushWitness*>(self);
        if (bytes == nullptr) {
            witness->seen.emplace_back(test::Exists(witness->target),
                                       test::Exists(witness->source));
        }
    }
    bool Saw(bool targetThere, bool sourceThere) const {
        return std::find(seen.begin(), seen.end(), std::make_pair(targetThere, sourceThere)) !=
               seen.end();
    }
};

// A job's flushes, alone or (a small output) in a group's one request: the
// data reaches the disk before the output has its name, and (POSIX, where
// the move does not write through) the name before the source goes. A flush
// that fails, on any thread, ends the job with 83, and so does a failed
// write or rename (1009 a failed creation): no output and no temporary are
// left, the temporary's handle is closed, and the source stays. (tests/crypto/file_format_test
// fails the transforms' reads and writes.)
TEST(FileJobs, FlushesComeBeforeTheNameAndTheSourceAndAFailedOneLeavesNothing) {
    ScratchFolder folder;
    const std::string output = folder / "job output";
    for (const char* name : {"plain", "small"}) {  // five pieces; grouped
        ASSERT_TRUE(WriteBytes(folder / name, RandomBytes(*name == 'p' ? 1100000 : 300000, 5)));
        const std::string crp = folder / name + ".crp";
        ASSERT_EQ(KeyedCipher().EncryptFile((folder / name).c_str(), crp.c_str()), 0);
    }
    struct Row {
        bool encrypt;
        unsigned threads;
        bool grouped;
    };
    const Row rows[] = {{true, 2, false}, {false, 3, false}, {true, 1, true}, {false, 2, true}};
    auto job = [&](const Row& row, const std::string& source, bool keep) {
        std::unique_ptr<PendingOutput> pending;
        JobSettings settings;
        settings.keep = keep;
        settings.noWipe = true;
        settings.threads = row.threads;
        settings.output = output;
        settings.pending = row.grouped ? &pending : nullptr;
        PlanItem item;
        item.path = source;
        std::vector<Outcome> lines = row.encrypt ? EncryptJob(KeyedCipher(), item, settings)
                                                 : DecryptJob(KeyedCipher(), item, settings);
        if (pending != nullptr) {
            std::vector<std::unique_ptr<PendingOutput>> group;
            group.push_back(std::move(pending));
            lines = CommitOutputs(group, settings)[0];
        }
        return lines.size() == 1 ? lines[0].code : kResultInterrupted;
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.encrypt ? "encryption" : "decryption") +
                     (row.grouped ? ", grouped" : ""));
        const std::string source =
            folder / (row.grouped ? "small" : "plain") + (row.encrypt ? "" : ".crp");
        const std::string copy = folder / "copy";
        ASSERT_TRUE(WriteBytes(copy, ReadBytes(source)));
        FlushWitness witness{copy, output, {}};
        FileFaultPlan watch;
        watch.observe = FlushWitness::OnFlush;
        watch.observeContext = &witness;
        SetFileFaults(watch);
        ASSERT_EQ(job(row, copy, false), kResultOk);
        EXPECT_TRUE(witness.Saw(false, true));
#ifndef _WIN32
        EXPECT_TRUE(witness.Saw(true, true));
#endif
        EXPECT_FALSE(test::Exists(copy));
        RemoveFile(output);
        ClearFileFaults();
        ASSERT_EQ(job(row, source, true), kResultOk);
        const std::int64_t calls = GetFileCallCounts().flushes;
        ASSERT_GT(calls, 0);
        RemoveFile(output);
        struct Fault {
            const char* step;
            FileFaultPlan plan;
            ResultCode expected;
        };
        std::vector<Fault> faults;
        for (std::int64_t at : {std::int64_t{1}, calls / 2 + 1, calls}) {
            faults.push_back(Fault{"flush", {}, kResultWriteFailed});
            faults.back().plan.failFlushAt = at;
        }
        faults.push_back(Fault{"create", {}, kResultNoTemporary});
        faults.back().plan.failCreateAt = 1;
        faults.push_back(Fault{"write", {}, kResultWriteFailed});
        faults.back().plan.failWriteAt = 2;
        faults.push_back(Fault{"rename", {}, kResultWriteFailed});
        faults.back().plan.failRenameAt = 1;
        const std::size_t descriptors = OpenDescriptorCount();
        for (const Fault& fault : faults) {
            SetFileFaults(fault.plan);
            EXPECT_EQ(job(row, source, true), fault.expected) << fault.step;
            for (const std::string& name : folder.Names()) {
                EXPECT_EQ(name.find(".tmp"), std::string::npos) << "a temporary is left";
            }
            // A temporary without a name is gone once its handle is closed.
            EXPECT_EQ(OpenDescriptorCount(), descriptors) << fault.step;
            EXPECT_FALSE(test::Exists(output));
        }
    }
    ClearFileFaults();
    EXPECT_EQ(ReadBytes(folder / "plain.crp").size(), 1100016u);
}

#ifndef _WIN32
// The folder of a decryption renamed before its output is placed, for a
// file given by name and one found by a walk (both reached through the
// folder the job holds): it is never placed elsewhere, the job fails, and
// no temporary (plain text) is left in the folder under either name; the
// .crp file stays.
std::string renamedFrom, renamedTo;

TEST(FileJobs, AFolderRenamedDuringADecryptionFailsTheJobAndLeavesNothing) {
    for (bool walked : {false, true}) {
        SCOPED_TRACE(walked ? "walked" : "by name");
        ScratchFolder folder;
        const std::string sub = folder / "sub";
        ASSERT_TRUE(std::filesystem::create_directory(sub));
        ASSERT_TRUE(WriteBytes(sub + "/plain", RandomBytes(300000, 8)));
        ASSERT_EQ(KeyedCipher().EncryptFile((sub + "/plain").c_str(), (sub + "/p.crp").c_str()), 0);
        std::remove((sub + "/plain").c_str());
        const Plan plan =
            BuildPlan(Command::kDecrypt, {walked ? folder.path() : sub + "/p.crp"}, walked);
        ASSERT_EQ(plan.items.size(), 1u);
        ASSERT_FALSE(plan.items[0].folders.empty());
        renamedFrom = sub;
        renamedTo = folder / "moved";
        FileFaultPlan renaming;  // at the flush that precedes the placing
        renaming.observe = [](void*, const std::uint8_t* bytes, std::size_t) {
            if (bytes == nullptr && test::Exists(renamedFrom)) {
                EXPECT_EQ(std::rename(renamedFrom.c_str(), renamedTo.c_str()), 0);
            }
        };
        SetFileFaults(renaming);
        JobSettings settings;
        settings.keep = true;
        std::vector<Outcome> lines = DecryptJob(KeyedCipher(), plan.items[0], settings);
        ClearFileFaults();
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].code, kResultWriteFailed);
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"moved"});
        std::vector<std::string> left;
        for (const auto& entry : std::filesystem::directory_iterator(renamedTo)) {
            left.push_back(entry.path().filename().string());
        }
        EXPECT_EQ(left, std::vector<std::string>{"p.crp"});
    }
}
#endif

}  // namespace
}  // namespace zorv
