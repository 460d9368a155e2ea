// The command-line program's own transforms must give the desktop
// program's bytes and results: each is checked against FileCipher's
// EncryptFile and DecryptFile, over the sizes around every boundary of the
// chunking, pieces and ranges, with one and several threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>

#include "cli/file_jobs.h"
#include "cli/parallel_transform.h"
#include "cli/pipe_transform.h"
#include "support/cli_test_util.h"
#include "crypto/crc32.h"

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

std::uint32_t CrcOf(const std::uint8_t* data, std::size_t n) {
    Crc32 crc;
    crc.Update(data, n);
    return crc.Value();
}

struct Files {
    std::string plain, reference, ours, decrypted;
};

Files FileNames(const ScratchFolder& folder) {
    return Files{folder / "plain", folder / "reference.crp", folder / "ours.crp",
                 folder / "decrypted"};
}

ResultCode EncryptWithCli(const std::string& source, const std::string& target, unsigned threads,
                          std::uint64_t* progress) {
    PlatformFile in, out;
    if (!in.OpenForRead(source) || !out.CreateNew(target)) {
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
    PlatformFile in, out;
    if (!in.OpenForRead(source) || (target != nullptr && !out.CreateNew(*target))) {
        return kResultOpenFailed;
    }
    TransformOptions options;
    options.threads = threads;
    options.minRangeBytes = kSmallRange;
    return DecryptToFile(KeyedCipher(), in, static_cast<std::uint64_t>(in.Size()),
                         target != nullptr ? &out : nullptr, options);
}

// A stream of unknown length, as a pipe delivers it.
class MemorySource : public ByteSource {
public:
    explicit MemorySource(const Bytes& bytes) : bytes_(bytes) {}
    std::size_t Read(std::uint8_t* buffer, std::size_t n) override {
        std::size_t take = std::min(n, bytes_.size() - offset_);
        std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset_), take, buffer);
        offset_ += take;
        return take;
    }

private:
    const Bytes& bytes_;
    std::size_t offset_ = 0;
};

class MemorySink : public ByteSink {
public:
    bool Write(const std::uint8_t* data, std::size_t n) override {
        bytes.insert(bytes.end(), data, data + n);
        return true;
    }
    Bytes bytes;
};

template <typename Transform>
ResultCode ThroughPipe(Transform transform, const Bytes& input, Bytes* output) {
    FileCipher cipher = KeyedCipher();
    MemorySource source(input);
    MemorySink sink;
    ResultCode result = transform(cipher, source, sink);
    *output = sink.bytes;
    return result;
}

// Sizes around 8, the 4096-byte format chunk, the 256 KiB pieces of the
// encryption ring (one piece is encrypted without threads), the ranges, and
// the piece and held-back last chunk of a pipe's decryption (266232 and
// 266240 give .crp files that just fill and just overflow it).
const std::size_t kSizes[] = {1,      7,      8,      9,      4088,   4095,   4096,   4097,
                              4104,   4105,   39999,  40000,  80008,  262136, 262143, 262144,
                              262145, 262152, 266232, 266240, 524297, 1100000};

TEST(ParallelTransform, EncryptionGivesTheDesktopBytesAndDecryptionRestoresThem) {
    for (std::size_t size : kSizes) {
        ScratchFolder folder;
        Files files = FileNames(folder);
        Bytes plain = RandomBytes(size, static_cast<std::uint32_t>(size));
        ASSERT_TRUE(WriteBytes(files.plain, plain));
        ASSERT_EQ(KeyedCipher().EncryptFile(files.plain.c_str(), files.reference.c_str()), 0);
        for (unsigned threads : {1u, 2u}) {
            std::uint64_t progress = 0;
            std::string ours = files.ours + std::to_string(threads);
            ASSERT_EQ(EncryptWithCli(files.plain, ours, threads, &progress), kResultOk) << size;
            EXPECT_EQ(progress, size);
            EXPECT_EQ(ReadBytes(ours), ReadBytes(files.reference))
                << "size " << size << ", threads " << threads;
        }
        for (unsigned threads : {1u, 2u, 3u}) {
            std::string target = files.decrypted + std::to_string(threads);
            ASSERT_EQ(DecryptWithCli(files.reference, &target, threads), kResultOk) << size;
            EXPECT_EQ(ReadBytes(target), plain) << "size " << size << ", threads " << threads;
            EXPECT_EQ(DecryptWithCli(files.reference, nullptr, threads), kResultOk);
        }
        Bytes piped, back;
        for (bool threaded : {false, true}) {
            auto encrypt = [threaded](FileCipher& cipher, ByteSource& in, ByteSink& out) {
                return EncryptUnsized(cipher, in, out, threaded);
            };
            ASSERT_EQ(ThroughPipe(encrypt, plain, &piped), kResultOk) << size;
            EXPECT_EQ(piped, ReadBytes(files.reference)) << "through a pipe, size " << size;
        }
        if (size == 1) {  // an empty input is refused as an empty file is
            Bytes none;
            EXPECT_EQ(
                ThroughPipe([](FileCipher& cipher, ByteSource& in,
                               ByteSink& out) { return EncryptUnsized(cipher, in, out, true); },
                            Bytes(), &none),
                kResultEmptyFile);
            EXPECT_TRUE(none.empty());
        }
        EXPECT_EQ(ThroughPipe(DecryptUnsized, piped, &back), kResultOk) << size;
        EXPECT_EQ(back, plain) << "through a pipe, size " << size;
    }
}

// A .crp of plain whose checksum text is crc's with the character at `at`
// changed, encrypted in one piece.
Bytes WithCrcText(const Bytes& plain, std::uint32_t crc, std::size_t at) {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(crc));
    text[at] = text[at] == '0' ? '1' : '0';
    Bytes crp = plain;
    crp.insert(crp.end(), text, text + 8);
    crp.resize(crp.size() + 8);  // room for the pad
    FileCipher cipher = KeyedCipher();
    cipher.SetIV(FileIv);
    std::uint32_t n = 0;
    cipher.EncryptBuffer(crp.data(), static_cast<std::uint32_t>(plain.size() + 8), crp.data(), &n,
                         true);
    crp.resize(n);
    return crp;
}

// Damaged, truncated and foreign inputs: the same result as DecryptFile, and
// the same bytes whenever that result is success.
TEST(ParallelTransform, DecryptionOfAnyInputMatchesDecryptFile) {
    ScratchFolder folder;
    Files files = FileNames(folder);
    Bytes plain = RandomBytes(300000 + 3, 7);
    ASSERT_TRUE(WriteBytes(files.plain, plain));
    ASSERT_EQ(KeyedCipher().EncryptFile(files.plain.c_str(), files.reference.c_str()), 0);
    Bytes good = ReadBytes(files.reference);
    std::vector<Bytes> inputs;
    for (std::size_t size : {0, 1, 5, 8, 15, 16, 17, 24, 4104, 4112, 4113, 8200}) {
        inputs.push_back(RandomBytes(size, static_cast<std::uint32_t>(size) + 100));
    }
    inputs.push_back(Bytes(good.begin(), good.end() - 8));  // lost its pad block
    inputs.push_back(Bytes(good.begin(), good.end() - 3));  // not a multiple of 8
    Bytes flipped = good;
    flipped[150000] ^= 1;  // a changed byte in the middle of a range
    inputs.push_back(flipped);
    Bytes lastByte = good;
    lastByte.back() ^= 0x40;  // the pad digit
    inputs.push_back(lastByte);
    inputs.push_back(good);
    // Well formed, but with a checksum text wrong in its first or its last
    // character only: both must be refused, whatever DecryptFile says.
    const std::size_t firstRefused = inputs.size();
    for (std::size_t at : {0, 7}) {
        inputs.push_back(WithCrcText(plain, CrcOf(plain.data(), plain.size()), at));
    }
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        std::string input = folder / ("input" + std::to_string(i));
        std::string expected = folder / ("expected" + std::to_string(i));
        std::string ours = folder / ("ours" + std::to_string(i));
        ASSERT_TRUE(WriteBytes(input, inputs[i]));
        ResultCode reference = KeyedCipher().DecryptFile(input.c_str(), expected.c_str());
        if (i >= firstRefused) {
            EXPECT_EQ(reference, kResultWrongPassword) << "input " << i;
        }
        EXPECT_EQ(DecryptWithCli(input, &ours, 2), reference) << "input " << i;
        EXPECT_EQ(DecryptWithCli(input, nullptr, 3), reference) << "input " << i;
        Bytes piped;
        EXPECT_EQ(ThroughPipe(DecryptUnsized, inputs[i], &piped), reference) << "input " << i;
        if (reference == kResultOk) {
            EXPECT_EQ(ReadBytes(ours), ReadBytes(expected)) << "input " << i;
            EXPECT_EQ(piped, ReadBytes(expected)) << "input " << i;
        }
    }
}

TEST(ParallelTransform, WrongPasswordIsReportedAfterTheWholeFile) {
    ScratchFolder folder;
    Files files = FileNames(folder);
    ASSERT_TRUE(WriteBytes(files.plain, RandomBytes(600000, 3)));
    ASSERT_EQ(KeyedCipher().EncryptFile(files.plain.c_str(), files.reference.c_str()), 0);
    PlatformFile in;
    ASSERT_TRUE(in.OpenForRead(files.reference));
    std::atomic<std::uint64_t> done{0};
    TransformOptions options;
    options.threads = 2;
    options.progress = &done;
    FileCipher wrong("another key", 11);
    EXPECT_EQ(DecryptToFile(wrong, in, static_cast<std::uint64_t>(in.Size()), nullptr, options),
              kResultWrongPassword);
    EXPECT_EQ(done.load(), static_cast<std::uint64_t>(in.Size()));
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
        ClearPlatformFaults();
        ASSERT_EQ(attempt(), kResultOk);
        const PlatformCallCounts counts = GetPlatformCallCounts();
        const std::int64_t calls = row.call == kRead    ? counts.reads
                                   : row.call == kWrite ? counts.writes
                                                        : counts.syncs;
        ASSERT_GT(calls, 0);
        RemoveFile(folder / "job output");
        for (std::int64_t at : {std::int64_t{1}, calls / 2 + 1, calls}) {
            PlatformFaultPlan plan;
            (row.call == kRead    ? plan.failReadAt
             : row.call == kWrite ? plan.failWriteAt
                                  : plan.failSyncAt) = at;
            SetPlatformFaults(plan);
            EXPECT_EQ(attempt(), row.expected)
                << (row.encrypt ? "encryption" : "decryption") << " on " << row.threads
                << " threads, call " << row.call << " number " << at << " of " << calls;
            for (const std::string& name : folder.Names()) {
                EXPECT_EQ(name.find(".tmp"), std::string::npos) << "a temporary is left";
            }
            EXPECT_FALSE(test::Exists(folder / "job output"));
        }
    }
    ClearPlatformFaults();
    EXPECT_EQ(ReadBytes(files.reference).size(), 1100016u);
}

}  // namespace
}  // namespace zorv
