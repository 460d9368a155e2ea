// zorv-cli's jobs when a call of the file seam fails.
#include <gtest/gtest.h>

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

// A flush of a job's output that fails, on any thread: the job ends with
// 83, leaves no output and no temporary behind, and its source in place.
// (tests/crypto/file_format_test.cpp fails the transforms' reads and
// writes.)
TEST(FileJobs, AFailedFlushLeavesNoOutputAndTheSource) {
    ScratchFolder folder;
    const std::string plain = folder / "plain";
    const std::string reference = folder / "reference.crp";
    ASSERT_TRUE(WriteBytes(plain, RandomBytes(1100000, 5)));  // five pieces
    ASSERT_EQ(KeyedCipher().EncryptFile(plain.c_str(), reference.c_str()), 0);
    struct Row {
        bool encrypt;
        unsigned threads;
    };
    const Row rows[] = {{true, 2}, {false, 3}};
    auto job = [&](const Row& row) {
        JobSettings settings;
        settings.keep = true;
        settings.threads = row.threads;
        settings.output = folder / "job output";
        PlanItem item;
        item.path = row.encrypt ? plain : reference;
        std::vector<Outcome> lines = row.encrypt ? EncryptJob(KeyedCipher(), item, settings)
                                                 : DecryptJob(KeyedCipher(), item, settings);
        return lines.size() == 1 ? lines[0].code : kResultInterrupted;
    };
    for (const Row& row : rows) {
        ClearFileFaults();
        ASSERT_EQ(job(row), kResultOk);
        const std::int64_t calls = GetFileCallCounts().flushes;
        ASSERT_GT(calls, 0);
        RemoveFile(folder / "job output");
        for (std::int64_t at : {std::int64_t{1}, calls / 2 + 1, calls}) {
            FileFaultPlan plan;
            plan.failFlushAt = at;
            SetFileFaults(plan);
            EXPECT_EQ(job(row), kResultWriteFailed) << (row.encrypt ? "encryption" : "decryption")
                                                    << ", flush " << at << " of " << calls;
            for (const std::string& name : folder.Names()) {
                EXPECT_EQ(name.find(".tmp"), std::string::npos) << "a temporary is left";
            }
            EXPECT_FALSE(test::Exists(folder / "job output"));
        }
    }
    ClearFileFaults();
    EXPECT_EQ(ReadBytes(reference).size(), 1100016u);
}

}  // namespace
}  // namespace zorv
