// The .crp format and the file transforms: sizes and shapes, round trips with
// times, every result code, and failed reads and writes.
#ifdef _WIN32
// First: file_cipher.h undoes its EncryptFile and DecryptFile macros.
#include <windows.h>
#endif

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "crypto/cfb_cipher.h"
#include "crypto/crc32.h"
#include "crypto/file_cipher.h"
#include "crypto/file_handle.h"
#include "crypto/file_transform.h"
#include "crypto/leftover_names.h"
#include "crypto_test_util.h"

namespace zorv {
namespace {

using test::Bytes;
using test::Exists;
using test::Pattern;
using test::ReadBytes;
using test::ScratchDir;
using test::WriteBytes;

const char kPassword[] = "correct horse";
const char kOtherPassword[] = "correct house";

FileCipher MakeCipher(const char* password) {
    return FileCipher(password, static_cast<int32_t>(std::strlen(password)));
}

std::string CrcText(const Bytes& plain, bool upperCase) {
    Crc32 crc;
    crc.Update(plain.data(), plain.size());
    char text[9];
    std::snprintf(text, sizeof text, upperCase ? "%08X" : "%08x", crc.Value());
    return text;
}

// The .crp file built from its definition: the message encrypted in one piece
// by the plain CFB mode, independent of the transforms.
Bytes BuildCrp(const char* password, const Bytes& message) {
    CfbCipher cipher(password, static_cast<int32_t>(std::strlen(password)), FileIv);
    Bytes crp = message;
    uint32_t n = 0;
    cipher.EncryptBuffer(crp.data(), static_cast<uint32_t>(crp.size()), crp.data(), &n, false);
    return crp;
}

// A time that no test run produces by itself, in the platform's units.
int64_t FixedTime(int64_t unixSeconds) {
#ifdef _WIN32
    return (unixSeconds + 11644473600) * 10000000;
#else
    return unixSeconds * 1000000000 + 123456789;
#endif
}

void SetTimes(const std::string& path, const FileTimes& times) {
    FileHandle file;
    ASSERT_TRUE(file.OpenForOverwrite(path.c_str()));
    ASSERT_TRUE(file.SetTimes(times));
}

FileTimes GetTimes(const std::string& path) {
    FileHandle file;
    FileTimes times;
    EXPECT_TRUE(file.OpenForRead(path.c_str()));
    EXPECT_TRUE(file.GetTimes(&times));
    return times;
}

// The desktop program's transform into a target it holds open, as its
// batch writes a VanishingFile: with threads above 1, on the parallel
// transform from 16 bytes on, the decryption in ranges of 8 bytes and more.
ResultCode HeldTransform(FileCipher& cipher, bool encrypt, unsigned threads,
                         const std::string& source, const std::string& target) {
    cipher.SetThreads(threads, 16);
    FileHandle out;
    if (!out.CreateForWrite(target.c_str(), false)) {
        return kResultOpenFailed;
    }
    return encrypt ? cipher.EncryptFile(source.c_str(), out)
                   : cipher.DecryptFile(source.c_str(), out);
}

TEST(FileFormat, SizesShapesAndRoundTrips) {
    ScratchDir dir;
    FileCipher cipher = MakeCipher(kPassword);
    const std::string plainPath = dir.File("plain.doc");
    const std::string crpPath = dir.File("plain.doc.crp");
    const std::string backPath = dir.File("back.doc");
    constexpr size_t kPiece = kTransformChunkBytes;
    const size_t kSizes[] = {1,
                             2,
                             7,
                             8,
                             9,
                             15,
                             16,
                             17,
                             4087,
                             4088,
                             4089,
                             4095,
                             4096,
                             4097,
                             4103,
                             4104,
                             4105,
                             8191,
                             8192,
                             8200,
                             8201,
                             12296,
                             kPiece - 1,
                             kPiece,
                             kPiece + 8,
                             kPiece + 9,
                             2 * kPiece + 8,
                             2 * kPiece + 4103};
    for (size_t size : kSizes) {
        SCOPED_TRACE(size);
        const Bytes plain = Pattern(size, static_cast<uint32_t>(size));
        WriteBytes(plainPath, plain);
        ASSERT_EQ(cipher.EncryptFile(plainPath.c_str(), crpPath.c_str()), kResultOk);
        const Bytes crp = ReadBytes(crpPath);
        EXPECT_EQ(crp.size(), size / 8 * 8 + 16);
        EXPECT_EQ(crp, BuildCrp(kPassword, test::FormatMessage(plain, CrcText(plain, true))));
        ASSERT_EQ(cipher.DecryptFile(crpPath.c_str(), backPath.c_str()), kResultOk);
        EXPECT_EQ(ReadBytes(backPath), plain);
        // The same bytes when the desktop program runs a file on threads.
        FileCipher threaded = MakeCipher(kPassword);
        ASSERT_EQ(HeldTransform(threaded, true, 3, plainPath, dir.File("held.crp")), kResultOk);
        EXPECT_EQ(ReadBytes(dir.File("held.crp")), crp);
        ASSERT_EQ(HeldTransform(threaded, false, 3, crpPath, backPath), kResultOk);
        EXPECT_EQ(ReadBytes(backPath), plain);
    }
}

TEST(FileFormat, TargetsCarryTheSourceTimes) {
    ScratchDir dir;
    FileCipher cipher = MakeCipher(kPassword);
    const std::string plainPath = dir.File("a.txt");
    WriteBytes(plainPath, Pattern(5000, 1));
    FileTimes times;
    times.lastAccess = FixedTime(981158400);  // 2001-02-03
    times.lastWrite = FixedTime(981244800);
    SetTimes(plainPath, times);
    const std::string crpPath = dir.File("a.txt.crp");
    ASSERT_EQ(cipher.EncryptFile(plainPath.c_str(), crpPath.c_str()), kResultOk);
    EXPECT_EQ(GetTimes(crpPath).lastWrite, times.lastWrite);
    EXPECT_EQ(GetTimes(crpPath).lastAccess, times.lastAccess);
    const std::string backPath = dir.File("b.txt");
    ASSERT_EQ(cipher.DecryptFile(crpPath.c_str(), backPath.c_str()), kResultOk);
    EXPECT_EQ(GetTimes(backPath).lastWrite, times.lastWrite);
}

TEST(FileFormat, OneCipherServesABatchInAnyOrder) {
    ScratchDir dir;
    FileCipher cipher = MakeCipher(kPassword);
    const Bytes first = Pattern(3000, 1);
    Bytes second = first;  // begins alike, ends differently
    second.resize(5000, 0x42);
    WriteBytes(dir.File("1"), first);
    WriteBytes(dir.File("2"), second);
    ASSERT_EQ(cipher.EncryptFile(dir.File("1").c_str(), dir.File("1.crp").c_str()), kResultOk);
    ASSERT_EQ(cipher.EncryptFile(dir.File("2").c_str(), dir.File("2.crp").c_str()), kResultOk);
    ASSERT_EQ(cipher.EncryptFile(dir.File("1").c_str(), dir.File("1b.crp").c_str()), kResultOk);
    EXPECT_EQ(ReadBytes(dir.File("1.crp")), ReadBytes(dir.File("1b.crp")));
    const Bytes crp1 = ReadBytes(dir.File("1.crp"));
    const Bytes crp2 = ReadBytes(dir.File("2.crp"));
    EXPECT_TRUE(std::equal(crp1.begin(), crp1.begin() + 2992, crp2.begin()));
    ASSERT_EQ(cipher.DecryptFile(dir.File("2.crp").c_str(), dir.File("2.out").c_str()), kResultOk);
    ASSERT_EQ(cipher.DecryptFile(dir.File("1.crp").c_str(), dir.File("1.out").c_str()), kResultOk);
    EXPECT_EQ(ReadBytes(dir.File("1.out")), first);
    EXPECT_EQ(ReadBytes(dir.File("2.out")), second);
}

TEST(FileFormat, WrongPasswordAndForeignFilesGive75) {
    ScratchDir dir;
    const std::string crpPath = dir.File("x.crp");
    const std::string outPath = dir.File("x");
    for (size_t size : {1u, 8u, 4096u, 70000u}) {
        SCOPED_TRACE(size);
        const Bytes plain = Pattern(size, 9);
        WriteBytes(crpPath, BuildCrp(kPassword, test::FormatMessage(plain, CrcText(plain, true))));
        FileCipher wrong = MakeCipher(kOtherPassword);
        EXPECT_EQ(wrong.DecryptFile(crpPath.c_str(), outPath.c_str()), kResultWrongPassword);
        // The whole file was decrypted (wrongly) before the check failed.
        EXPECT_GE(ReadBytes(outPath).size() + 16, size);
        EXPECT_EQ(HeldTransform(wrong, false, 3, crpPath, outPath), kResultWrongPassword);
        EXPECT_GE(ReadBytes(outPath).size() + 16, size);

        // A lower-case checksum text from another producer fails the check,
        // and so does a text wrong in its first or its last character only.
        std::string first = CrcText(plain, true), last = first;
        first.front() = first.front() == '0' ? '1' : '0';
        last.back() = last.back() == '0' ? '1' : '0';
        for (const std::string& text : {CrcText(plain, false), first, last}) {
            if (text == CrcText(plain, true)) {
                continue;  // no letter among the digits
            }
            WriteBytes(crpPath, BuildCrp(kPassword, test::FormatMessage(plain, text)));
            FileCipher right = MakeCipher(kPassword);
            EXPECT_EQ(right.DecryptFile(crpPath.c_str(), outPath.c_str()), kResultWrongPassword)
                << text;
        }
    }
}

TEST(FileFormat, SourcesWithNoRoomForTheChecksumGive75) {
    ScratchDir dir;
    FileCipher cipher = MakeCipher(kPassword);
    const std::string crpPath = dir.File("short.crp");
    const std::string outPath = dir.File("short");
    // 1 to 15 bytes: never a checksum text; 8 bytes has no last chunk at all.
    for (size_t size = 1; size <= 15; ++size) {
        WriteBytes(crpPath, Pattern(size, static_cast<uint32_t>(size)));
        EXPECT_EQ(cipher.DecryptFile(crpPath.c_str(), outPath.c_str()), kResultWrongPassword)
            << size;
        EXPECT_TRUE(Exists(outPath));
    }
    WriteBytes(crpPath, Bytes(8, 0x11));
    cipher.DecryptFile(crpPath.c_str(), outPath.c_str());
    EXPECT_TRUE(ReadBytes(outPath).empty());
    // A last chunk of 16 bytes whose pad digit reads '9' leaves 7 bytes.
    for (size_t body : {0u, 4096u}) {
        Bytes message = Pattern(body + 16, 3);
        message.back() = '9';
        WriteBytes(crpPath, BuildCrp(kPassword, message));
        EXPECT_EQ(cipher.DecryptFile(crpPath.c_str(), outPath.c_str()), kResultWrongPassword);
        EXPECT_EQ(ReadBytes(outPath).size(), body);
    }
}

TEST(FileFormat, EmptyAndMissingSourcesAndRefusedBuffersLeaveNoTarget) {
    ScratchDir dir;
    FileCipher cipher = MakeCipher(kPassword);
    WriteBytes(dir.File("empty"), Bytes());
    const std::string target = dir.File("target");
    EXPECT_EQ(cipher.EncryptFile(dir.File("empty").c_str(), target.c_str()), kResultEmptyFile);
    EXPECT_EQ(cipher.DecryptFile(dir.File("empty").c_str(), target.c_str()), kResultEmptyFile);
    EXPECT_EQ(cipher.EncryptFile(dir.File("missing").c_str(), target.c_str()), kResultOpenFailed);
    EXPECT_EQ(cipher.DecryptFile(dir.File("missing").c_str(), target.c_str()), kResultOpenFailed);
    EXPECT_FALSE(Exists(target));
    // No memory for the chunk buffer: refused before the target is made.
    WriteBytes(dir.File("some"), Pattern(20, 2));
    FileFaultPlan noMemory;
    noMemory.refuseBuffers = true;
    SetFileFaults(noMemory);
    const ResultCode encrypted = cipher.EncryptFile(dir.File("some").c_str(), target.c_str());
    const ResultCode decrypted = cipher.DecryptFile(dir.File("some").c_str(), target.c_str());
    FileCipher threaded = MakeCipher(kPassword);
    const ResultCode heldEncrypted = HeldTransform(threaded, true, 3, dir.File("some"), target);
    const ResultCode heldDecrypted = HeldTransform(threaded, false, 3, dir.File("some"), target);
    ClearFileFaults();
    EXPECT_EQ(encrypted, kResultOutOfMemory);
    EXPECT_EQ(decrypted, kResultOutOfMemory);
    EXPECT_EQ(heldEncrypted, kResultOutOfMemory);
    EXPECT_EQ(heldDecrypted, kResultOutOfMemory);
    EXPECT_TRUE(ReadBytes(target).empty());  // the held target, left empty
    std::remove(target.c_str());
    // A folder is not a source; a target in a missing folder cannot be made.
    EXPECT_EQ(cipher.EncryptFile(dir.File("").c_str(), target.c_str()), kResultOpenFailed);
    WriteBytes(dir.File("plain"), Pattern(10, 1));
    EXPECT_EQ(cipher.EncryptFile(dir.File("plain").c_str(), dir.File("no/such/dir").c_str()),
              kResultOpenFailed);
    EXPECT_EQ(ReadBytes(dir.File("plain")), Pattern(10, 1));
}

TEST(FileFormat, ATargetThatIsTheSourceIsRefused) {
    ScratchDir dir;
    FileCipher cipher = MakeCipher(kPassword);
    const std::string path = dir.File("same");
    const Bytes plain = Pattern(5000, 6);
    WriteBytes(path, plain);
    EXPECT_EQ(cipher.EncryptFile(path.c_str(), path.c_str()), kResultOpenFailed);
    std::error_code error;
    std::filesystem::create_hard_link(path, dir.File("link"), error);
    if (!error) {
        EXPECT_EQ(cipher.DecryptFile(path.c_str(), dir.File("link").c_str()), kResultOpenFailed);
    }
    EXPECT_EQ(ReadBytes(path), plain);
}

// Between two files: the desktop program's transform (FileCipher, reading
// and writing in order; held: on threads into a held target), or with
// threads the parallel one over FileHandles at offsets, the decryption split
// into ranges.
ResultCode TransformFiles(bool encrypt, unsigned threads, const std::string& source,
                          const std::string& target, bool held = false) {
    FileCipher cipher = MakeCipher(kPassword);
    if (held) {
        return HeldTransform(cipher, encrypt, threads, source, target);
    }
    if (threads == 0) {
        return encrypt ? cipher.EncryptFile(source.c_str(), target.c_str())
                       : cipher.DecryptFile(source.c_str(), target.c_str());
    }
    std::remove(target.c_str());
    FileHandle in, out;
    if (!in.OpenRegularForRead(source.c_str()) || !out.CreateNewPrivate(target.c_str())) {
        return kResultOpenFailed;
    }
    TransformOptions options;
    options.threads = threads;
    options.minRangeBytes = 40000;
    const auto size = static_cast<uint64_t>(in.Size());
    return encrypt ? EncryptToFile(cipher, in, size, out, options)
                   : DecryptToFile(cipher, in, size, &out, options);
}

// A read or write that fails or (Read and Write) comes up short, injected
// through the file-handle seam at the first, a middle and the last call of a
// transform of five pieces, on any thread: the run ends with that failure's
// code.
TEST(FileFormat, FailedReadsAndWritesAreReported) {
    ScratchDir dir;
    const Bytes plain = Pattern(4 * kTransformChunkBytes + 51424, 5);
    WriteBytes(dir.File("plain"), plain);
    ASSERT_EQ(TransformFiles(true, 0, dir.File("plain"), dir.File("good.crp")), kResultOk);
    enum Fault { kFailRead, kShortRead, kFailWrite, kShortWrite };
    struct Row {
        bool encrypt;
        unsigned threads;  // 0: the desktop program's transform
        Fault fault;
        bool held = false;  // the desktop program's, on threads
    };
    const Row kRows[] = {
        {true, 0, kFailRead},        {true, 0, kShortRead},        {true, 0, kFailWrite},
        {true, 0, kShortWrite},      {false, 0, kFailRead},        {false, 0, kShortRead},
        {false, 0, kFailWrite},      {false, 0, kShortWrite},      {true, 1, kFailRead},
        {true, 2, kFailRead},        {true, 1, kFailWrite},        {true, 2, kFailWrite},
        {false, 1, kFailRead},       {false, 3, kFailRead},        {false, 1, kFailWrite},
        {false, 3, kFailWrite},      {true, 2, kFailRead, true},   {true, 2, kFailWrite, true},
        {false, 3, kFailRead, true}, {false, 3, kFailWrite, true},
    };
    for (const Row& row : kRows) {
        const std::string source = dir.File(row.encrypt ? "plain" : "good.crp");
        ClearFileFaults();
        ASSERT_EQ(TransformFiles(row.encrypt, row.threads, source, dir.File("out"), row.held),
                  kResultOk);
        const FileCallCounts counts = GetFileCallCounts();
        const bool reading = row.fault == kFailRead || row.fault == kShortRead;
        const int64_t calls = reading ? counts.reads : counts.writes;
        ASSERT_GT(calls, 0);
        for (int64_t at : {int64_t{1}, calls / 2 + 1, calls}) {
            FileFaultPlan plan;
            (row.fault == kFailRead    ? plan.failReadAt
             : row.fault == kShortRead ? plan.shortReadAt
             : row.fault == kFailWrite ? plan.failWriteAt
                                       : plan.shortWriteAt) = at;
            SetFileFaults(plan);
            const ResultCode rc =
                TransformFiles(row.encrypt, row.threads, source, dir.File("out"), row.held);
            ClearFileFaults();
            EXPECT_EQ(rc, reading ? kResultReadFailed : kResultWriteFailed)
                << (row.encrypt ? "encryption" : "decryption") << " on " << row.threads
                << (row.held ? " held" : "") << " threads, fault " << row.fault << " at call " << at
                << " of " << calls;
        }
    }
    EXPECT_EQ(ReadBytes(dir.File("good.crp")).size(), plain.size() + 16);
}

// Someone writes to the source while it is encrypted: here, between the
// reads and the final check, from inside the first write to the target. The
// size was read once, so the target misses or mixes the change: 85.
struct SourceWriter {
    std::string path;
    bool append = false;
    bool done = false;

    static void OnWrite(void* self, const uint8_t* bytes, size_t) {
        auto* writer = static_cast<SourceWriter*>(self);
        if (bytes == nullptr || writer->done) {
            return;
        }
        writer->done = true;
        if (writer->append) {
            std::ofstream(writer->path, std::ios::binary | std::ios::app) << "tail";
            return;
        }
#ifdef _WIN32
        // Attribute access passes the transform's read-only sharing.
        HANDLE file = CreateFileA(writer->path.c_str(), FILE_WRITE_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        FILETIME written = {0x12345000u, 0x01C0A1B2u};
        SetFileTime(file, nullptr, nullptr, &written);
        CloseHandle(file);
#else
        std::filesystem::last_write_time(writer->path, std::filesystem::file_time_type{});
#endif
    }
};

// Adds up what a transform reports, from any of its threads; with a
// writer, touches the source at the first report.
class CountingProgress : public TransformProgress {
public:
    void OnFileStart(const char*, uint64_t size) override {
        ++starts;
        announced = size;
    }
    void OnBytesRead(uint64_t bytes) override {
        read += bytes;
        std::lock_guard<std::mutex> lock(mutex_);
        if (writer != nullptr) {
            const uint8_t any = 0;
            SourceWriter::OnWrite(writer, &any, 0);
        }
    }

    std::atomic<int> starts{0};
    std::atomic<uint64_t> announced{0};
    std::atomic<uint64_t> read{0};
    SourceWriter* writer = nullptr;

private:
    std::mutex mutex_;
};

TEST(FileFormat, ProgressAddsUpToTheSourceOnEitherForm) {
    ScratchDir dir;
    for (size_t size : {size_t{5}, size_t{5000}, 3 * kTransformChunkBytes + 12}) {
        WriteBytes(dir.File("plain"), Pattern(size, 4));
        for (unsigned threads : {1u, 3u}) {
            for (bool encrypt : {true, false}) {
                FileCipher cipher = MakeCipher(kPassword);
                CountingProgress progress;
                cipher.SetProgress(&progress);
                const std::string source = dir.File(encrypt ? "plain" : "plain.crp");
                ASSERT_EQ(HeldTransform(cipher, encrypt, threads, source,
                                        dir.File(encrypt ? "plain.crp" : "back")),
                          kResultOk);
                SCOPED_TRACE(testing::Message() << size << " bytes, " << threads << " threads");
                EXPECT_EQ(progress.starts, 1);
                EXPECT_EQ(progress.announced, ReadBytes(source).size());
                EXPECT_EQ(progress.read, progress.announced);
            }
        }
    }
}

TEST(FileFormat, ASourceWrittenToWhileEncryptedGives85) {
    ScratchDir dir;
    FileCipher cipher = MakeCipher(kPassword);
    // Touched while read, on either of the desktop program's forms.
    for (unsigned threads : {1u, 3u}) {
        const std::string source = dir.File("touched");
        WriteBytes(source, Pattern(3 * kTransformChunkBytes, 9));
        SourceWriter writer{source, false};
        CountingProgress progress;
        progress.writer = &writer;
        FileCipher held = MakeCipher(kPassword);
        held.SetProgress(&progress);
        EXPECT_EQ(HeldTransform(held, true, threads, source, dir.File("out")), kResultSourceChanged)
            << threads;
        EXPECT_TRUE(writer.done);
    }
#ifdef _WIN32
    const bool kAppends[] = {false};  // nobody may write its bytes while it is read
#else
    const bool kAppends[] = {true, false};
#endif
    for (bool append : kAppends) {
        const std::string source = dir.File("growing");
        WriteBytes(source, Pattern(3 * kTransformChunkBytes, 9));
        SourceWriter writer{source, append};
        FileFaultPlan plan;
        plan.observe = SourceWriter::OnWrite;
        plan.observeContext = &writer;
        SetFileFaults(plan);
        const ResultCode rc = cipher.EncryptFile(source.c_str(), dir.File("out").c_str());
        ClearFileFaults();
        EXPECT_TRUE(writer.done);
        EXPECT_EQ(rc, kResultSourceChanged) << (append ? "appended" : "touched");
    }
}

// An output written beside its final name: each step of the sequence fails
// in turn (the temporary created, written, flushed, un-marked, renamed; the
// name taken meanwhile; the folder flushed after the rename, which is not
// reported). Nothing but the complete output ever stands under
// the final name, a name taken meanwhile is left to its owner unless the
// placing replaces it, the mode asked for is given only once the file has
// its name, and once discarded no temporary stays in the folder.
TEST(VanishingFile, EachFailingStepLeavesTheFinalNameAlone) {
    ScratchDir dir;
    FileCipher cipher = MakeCipher(kPassword);
    const std::string plain = dir.File("plain");
    WriteBytes(plain, Pattern(2 * kTransformChunkBytes + 10, 3));
    ASSERT_EQ(cipher.EncryptFile(plain.c_str(), dir.File("expected.crp").c_str()), kResultOk);
    const Bytes expected = ReadBytes(dir.File("expected.crp"));
    const Bytes theirs = Pattern(7, 1);
    FileFaultPlan created;
    created.failCreateAt = 1;
    FileFaultPlan written;
    written.failWriteAt = 2;
    FileFaultPlan flushed;
    flushed.failFlushAt = 1;
    FileFaultPlan unmarked;
    unmarked.failUnmarkAt = 1;
    FileFaultPlan renamed;
    renamed.failRenameAt = 1;
#ifdef __linux__
    FileFaultPlan renamedLater;  // a file without a name takes two names
    renamedLater.failRenameAt = 2;
#endif
    FileFaultPlan folderFlushed;  // the rename stands all the same
    folderFlushed.failFlushAt = 2;
    VanishingFile::Placing replacing;
    replacing.replace = true;
    VanishingFile::Placing flushedBefore;  // the flush of Place is not made
    flushedBefore.flushed = true;
    const struct {
        const char* step;
        FileFaultPlan plan;
        bool takeName;
        ResultCode expected;
        VanishingFile::Placing placing;
    } kCases[] = {
        {"created", created, false, kResultOpenFailed, {}},
        {"written", written, false, kResultWriteFailed, {}},
        {"flushed", flushed, false, kResultWriteFailed, {}},
        {"flushed before", flushed, false, kResultOk, flushedBefore},
        {"un-marked", unmarked, false, kResultWriteFailed, {}},
        {"renamed", renamed, false, kResultWriteFailed, {}},
        {"renamed, replacing", renamed, true, kResultWriteFailed, replacing},
#ifdef __linux__
        // Only a file without a name takes a temporary one first.
        {"renamed after a temporary name, replacing", renamedLater, true, kResultWriteFailed,
         replacing},
#endif
        {"folder flushed", folderFlushed, false, kResultOk, {}},
        {"name taken", {}, true, kResultFileExists, {}},
        {"name replaced", {}, true, kResultOk, replacing},
        {"placed", {}, false, kResultOk, {}},
    };
    for (const auto& c : kCases) {
        const std::string target = dir.File("out.crp");
        std::filesystem::remove(target);
        if (c.takeName) {
            WriteBytes(target, theirs);
        }
        SetFileFaults(c.plan);
        VanishingFile output;
        ResultCode rc = output.Create(target.c_str());
        if (rc == kResultOk) {
            rc = cipher.EncryptFile(plain.c_str(), output.File());
        }
        if (rc == kResultOk) {
#ifndef _WIN32
            // Only its owner may read what is being written (plain text, for
            // a decryption).
            struct stat st {};
            ASSERT_EQ(fstat(static_cast<int>(output.File().native()), &st), 0);
            EXPECT_EQ(st.st_mode & 0777, 0600u) << c.step;
#endif
            EXPECT_EQ(Exists(target), c.takeName) << c.step;
            VanishingFile::Placing placing = c.placing;
            placing.mode = 0640;
            const int64_t flushes = GetFileCallCounts().flushes;
            rc = output.Place(placing);
            // Placed, the contents and then the new name are flushed,
            // unless the caller flushed them (and flushes the folder).
            if (rc == kResultOk) {
                EXPECT_EQ(GetFileCallCounts().flushes - flushes, placing.flushed ? 0 : 2) << c.step;
            }
#ifndef _WIN32
            // The mode is given once the file has its name, never before.
            if (rc == kResultOk) {
                ASSERT_EQ(stat(target.c_str(), &st), 0);
                EXPECT_EQ(st.st_mode & 0777, 0640u) << c.step;
            } else {
                ASSERT_EQ(fstat(static_cast<int>(output.File().native()), &st), 0);
                EXPECT_EQ(st.st_mode & 0777, 0600u) << c.step;
            }
#endif
        }
        ClearFileFaults();
        output.Discard();
        EXPECT_EQ(rc, c.expected) << c.step;
        std::vector<std::string> names = {"expected.crp", "plain"};
        if (c.takeName || rc == kResultOk) {
            names.insert(names.begin() + 1, "out.crp");
            const bool theirsStay = c.takeName && rc != kResultOk;
            EXPECT_TRUE(ReadBytes(target) == (theirsStay ? theirs : expected)) << c.step;
        }
        EXPECT_EQ(dir.Entries(), names) << c.step;
    }
}

// Killed while it writes, a process leaves nothing of its temporary: the
// system removes it with the process (on Windows a named file that stood in
// the folder until then, on Linux one that never had a name).
TEST(VanishingFile, IsGoneWhenItsProcessIsKilled) {
    ScratchDir dir;
    const std::string target = dir.File("out.crp");
#ifdef _WIN32
    std::string command = std::string("\"Z:") + ZORV_VANISHING_CHILD + "\" \"" + target + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &child));
#else
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        execl(ZORV_VANISHING_CHILD, ZORV_VANISHING_CHILD, target.c_str(), nullptr);
        _exit(127);
    }
#endif
    for (int i = 0; i < 1000 && !Exists(target + ".ready"); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const std::vector<std::string> whileWriting = dir.Entries();
#ifdef _WIN32
    TerminateProcess(child.hProcess, 9);
    WaitForSingleObject(child.hProcess, INFINITE);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    ASSERT_EQ(whileWriting.size(), 2u);
    EXPECT_EQ(LeftoverKindOf(whileWriting[0].c_str()), LeftoverKind::kTemporary);
#else
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    // Where the file system has no unnamed files, the named one stays for a
    // later run to finish (leftover_names.h).
    EXPECT_LE(whileWriting.size(), 2u);
#endif
    EXPECT_EQ(whileWriting.back(), "out.crp.ready");
#if defined(_WIN32) || defined(__linux__)
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"out.crp.ready"});
#endif
}

#ifndef _WIN32
TEST(FileFormat, FullDeviceGives83) {
    ScratchDir dir;
    FileCipher cipher = MakeCipher(kPassword);
    WriteBytes(dir.File("plain"), Pattern(100000, 2));
    EXPECT_EQ(cipher.EncryptFile(dir.File("plain").c_str(), "/dev/full"), kResultWriteFailed);
}
#endif

}  // namespace
}  // namespace zorv
