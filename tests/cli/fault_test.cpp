// The parallel transforms over zorv-cli's files, and its jobs, when a
// platform call fails (tests/crypto/transform_test.cpp checks their bytes
// and results in memory).
#include <gtest/gtest.h>

#include <atomic>

#include "cli/file_jobs.h"
#include "crypto/file_transform.h"
#include "support/cli_test_util.h"

namespace zorv {
namespace {

using test::Bytes;
using test::RandomBytes;
using test::ReadBytes;
using test::ScratchFolder;
using test::WriteBytes;

constexpr char kKey[] = "transform key";
// Ranges this small split the test files among the threads.
constexpr std::uint64_t kSmallRange = 40000;

FileCipher KeyedCipher() {
    return FileCipher(kKey, sizeof kKey - 1);
}

struct Files {
    std::string plain, reference;
};

Files FileNames(const ScratchFolder& folder) {
    return Files{folder / "plain", folder / "reference.crp"};
}

ResultCode EncryptWithCli(const std::string& source, const std::string& target, unsigned threads,
                          std::uint64_t* progress) {
    FileHandle in, out;
    if (!in.OpenRegularForRead(source.c_str()) || !out.CreateNewPrivate(target.c_str())) {
        return kResultOpenFailed;
    }
    std::atomic<std::uint64_t> done{0};
    TransformOptions options;
    options.threads = threads;
    options.progress = &done;
    ResultCode result =
        EncryptToFile(KeyedCipher(), in, static_cast<std::uint64_t>(in.Size()), out, options);
    *progress = done.load();
    return result;
}

ResultCode DecryptWithCli(const std::string& source, const std::string* target, unsigned threads) {
    FileHandle in, out;
    if (!in.OpenRegularForRead(source.c_str()) ||
        (target != nullptr && !out.CreateNewPrivate(target->c_str()))) {
        return kResultOpenFailed;
    }
    TransformOptions options;
    options.threads = threads;
    options.minRangeBytes = kSmallRange;
    return DecryptToFile(KeyedCipher(), in, static_cast<std::uint64_t>(in.Size()),
                         target != nullptr ? &out : nullptr, options);
}

// A read, write or flush that fails in any piece, on any thread: the run
// ends with that failure's code and every thread stops; a job then leaves
// no output behind and its source in place.
TEST(ParallelTransform, AFailedCallInAnyPieceEndsTheRunWithItsCode) {
    ScratchFolder folder;
    Files files = FileNames(folder);
    ASSERT_TRUE(WriteBytes(files.plain, RandomBytes(1100000, 5)));  // five pieces
    ASSERT_EQ(KeyedCipher().EncryptFile(files.plain.c_str(), files.reference.c_str()), 0);
    enum Call { kRead, kWrite, kFlush };
    struct Row {
        bool encrypt;
        unsigned threads;
        Call call;
        ResultCode expected;
    };
    const Row rows[] = {
        {true, 1, kRead, kResultReadFailed},    {true, 2, kRead, kResultReadFailed},
        {true, 1, kWrite, kResultWriteFailed},  {true, 2, kWrite, kResultWriteFailed},
        {false, 1, kRead, kResultReadFailed},   {false, 3, kRead, kResultReadFailed},
        {false, 1, kWrite, kResultWriteFailed}, {false, 3, kWrite, kResultWriteFailed},
        {true, 2, kFlush, kResultWriteFailed},  {false, 3, kFlush, kResultWriteFailed},
    };
    int run = 0;
    auto transform = [&](const Row& row) {
        const std::string target = folder / ("out" + std::to_string(run++));
        std::uint64_t progress = 0;
        return row.encrypt ? EncryptWithCli(files.plain, target, row.threads, &progress)
                           : DecryptWithCli(files.reference, &target, row.threads);
    };
    auto job = [&](const Row& row) {
        JobSettings settings;
        settings.keep = true;
        settings.threads = row.threads;
        settings.output = folder / "job output";
        PlanItem item;
        item.path = row.encrypt ? files.plain : files.reference;
        std::vector<Outcome> lines = row.encrypt ? EncryptJob(KeyedCipher(), item, settings)
                                                 : DecryptJob(KeyedCipher(), item, settings);
        return lines.size() == 1 ? lines[0].code : kResultInterrupted;
    };
    for (const Row& row : rows) {
        auto attempt = [&] { return row.call == kFlush ? job(row) : transform(row); };
        ClearFileFaults();
        ASSERT_EQ(attempt(), kResultOk);
        const FileCallCounts counts = GetFileCallCounts();
        const std::int64_t calls = row.call == kRead    ? counts.reads
                                   : row.call == kWrite ? counts.writes
                                                        : counts.flushes;
        ASSERT_GT(calls, 0);
        RemoveFile(folder / "job output");
        for (std::int64_t at : {std::int64_t{1}, calls / 2 + 1, calls}) {
            FileFaultPlan plan;
            (row.call == kRead    ? plan.failReadAt
             : row.call == kWrite ? plan.failWriteAt
                                  : plan.failFlushAt) = at;
            SetFileFaults(plan);
            EXPECT_EQ(attempt(), row.expected)
                << (row.encrypt ? "encryption" : "decryption") << " on " << row.threads
                << " threads, call " << row.call << " number " << at << " of " << calls;
            for (const std::string& name : folder.Names()) {
                EXPECT_EQ(name.find(".tmp"), std::string::npos) << "a temporary is left";
            }
            EXPECT_FALSE(test::Exists(folder / "job output"));
        }
    }
    ClearFileFaults();
    EXPECT_EQ(ReadBytes(files.reference).size(), 1100016u);
}

}  // namespace
}  // namespace zorv
