#include <gtest/gtest.h>

#include <filesystem>

#include "crypto/file_handle.h"
#include "crypto/secure_delete.h"
#include "crypto_test_util.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace zorv {
namespace {

using test::Bytes;
using test::Exists;
using test::Pattern;
using test::ReadBytes;
using test::ScratchDir;
using test::WriteBytes;

// What reached the file through the seam, one entry per flush: the bytes
// written since the previous flush.
struct WipeRecord {
    std::vector<Bytes> overwrites{1};

    static void Observe(void* self, const uint8_t* bytes, size_t n) {
        auto* record = static_cast<WipeRecord*>(self);
        if (bytes == nullptr) {
            record->overwrites.emplace_back();
        } else {
            record->overwrites.back().insert(record->overwrites.back().end(), bytes, bytes + n);
        }
    }
};

bool RepeatsEvery4096(const Bytes& bytes) {
    return bytes.size() < 4096 || std::equal(bytes.begin() + 4096, bytes.end(), bytes.begin());
}

// Every overwrite covers the whole file and is flushed before the next; the
// patterns come in the order 0xAA, 0x55, random, 8 times; the file is left
// holding the last random pattern, repeating every 4096 bytes across the
// 1 MiB pieces.
TEST(SecureDelete, OverwritesInPatternOrderFlushingEachThenLeavesTheLastRandom) {
    ScratchDir dir;
    const std::string path = dir.File("secret.txt");
    const size_t size = (1u << 20) + 5000;
    WriteBytes(path, Pattern(size, 1));
    WipeRecord record;
    FileFaultPlan plan;
    plan.observe = WipeRecord::Observe;
    plan.observeContext = &record;
    SetFileFaults(plan);
    ASSERT_TRUE(WipeFile(path.c_str()));
    const FileCallCounts counts = GetFileCallCounts();
    ClearFileFaults();
    EXPECT_EQ(counts.writes, 48);  // 1 MiB, then 5000 bytes
    EXPECT_EQ(counts.flushes, 24);
    ASSERT_EQ(record.overwrites.size(), 25u);
    EXPECT_TRUE(record.overwrites[24].empty());
    for (size_t i = 0; i < 24; ++i) {
        const Bytes& written = record.overwrites[i];
        ASSERT_EQ(written.size(), size) << "overwrite " << i;
        const long aa = std::count(written.begin(), written.end(), 0xAA);
        const long x55 = std::count(written.begin(), written.end(), 0x55);
        switch (i % 3) {
            case 0:
                EXPECT_EQ(aa, static_cast<long>(size)) << "overwrite " << i;
                break;
            case 1:
                EXPECT_EQ(x55, static_cast<long>(size)) << "overwrite " << i;
                break;
            default:
                EXPECT_TRUE(RepeatsEvery4096(written)) << "overwrite " << i;
                EXPECT_LT(aa + x55, static_cast<long>(size / 16)) << "overwrite " << i;
        }
    }
    const Bytes after = ReadBytes(path);
    EXPECT_EQ(after, record.overwrites[23]);  // never truncated, last random in place

    EXPECT_TRUE(SecureDelete(path.c_str()));
    EXPECT_FALSE(Exists(path));
}

TEST(SecureDelete, ReadOnlyEmptyAndMissingFiles) {
    ScratchDir dir;
    const std::string readOnly = dir.File("read-only");
    WriteBytes(readOnly, Pattern(100, 2));
    std::filesystem::permissions(readOnly,
                                 std::filesystem::perms::owner_write |
                                     std::filesystem::perms::group_write |
                                     std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);
    EXPECT_TRUE(SecureDelete(readOnly.c_str()));
    EXPECT_FALSE(Exists(readOnly));

    const std::string empty = dir.File("empty");
    WriteBytes(empty, Bytes());
    EXPECT_TRUE(SecureDelete(empty.c_str()));
    EXPECT_FALSE(Exists(empty));

    // A missing name in an existing folder is created empty and deleted.
    const std::string missing = dir.File("missing");
    EXPECT_TRUE(SecureDelete(missing.c_str()));
    EXPECT_FALSE(Exists(missing));
    // In a missing folder nothing can be opened.
    EXPECT_FALSE(SecureDelete(dir.File("no-folder/file").c_str()));
}

// A failed or short write, or a failed flush, anywhere in the wipe stops it:
// the file is kept with its length. A temporary file is deleted all the
// same, and the failure still reported.
TEST(SecureDelete, AFailedWriteOrFlushKeepsTheFile) {
    ScratchDir dir;
    const std::string path = dir.File("half");
    const FileFaultPlan kPlans[] = {
        {0, 0, 5, 0, 0}, {0, 0, 0, 1, 0}, {0, 0, 0, 0, 1}, {0, 0, 0, 0, 13}, {0, 0, 0, 0, 24},
    };
    for (const FileFaultPlan& plan : kPlans) {
        WriteBytes(path, Pattern(5000, 3));
        SetFileFaults(plan);
        EXPECT_FALSE(SecureDelete(path.c_str()));
        ClearFileFaults();
        ASSERT_TRUE(Exists(path));
        EXPECT_EQ(ReadBytes(path).size(), 5000u);

        SetFileFaults(plan);
        EXPECT_FALSE(SecureDeleteTemporary(path.c_str()));
        ClearFileFaults();
        EXPECT_FALSE(Exists(path)) << "write " << plan.failWriteAt << "/" << plan.shortWriteAt
                                   << " flush " << plan.failFlushAt;
    }
}

// Overwriting a file with other names would destroy their contents: it is
// kept untouched, read-only bit included, and reported as such.
TEST(SecureDelete, AHardLinkedFileIsKept) {
    ScratchDir dir;
    const std::string path = dir.File("linked");
    const std::string other = dir.File("other-name");
    const Bytes contents = Pattern(9000, 6);
    WriteBytes(path, contents);
    std::filesystem::create_hard_link(path, other);
    EXPECT_EQ(SecureDestroy(path.c_str()), DeleteOutcome::kHardLinked);
    EXPECT_FALSE(WipeFile(path.c_str()));
    EXPECT_EQ(ReadBytes(path), contents);
    EXPECT_EQ(ReadBytes(other), contents);
    // With one name again it is destroyed like any file.
    std::filesystem::remove(other);
    EXPECT_EQ(SecureDestroy(path.c_str()), DeleteOutcome::kDeleted);
}

// A caller that names the file it means is never given another one that has
// taken the name since.
TEST(SecureDelete, OnlyTheExpectedFileIsDestroyed) {
    ScratchDir dir;
    const std::string path = dir.File("meant");
    const Bytes contents = Pattern(5000, 7);
    WriteBytes(path, contents);
    FileIdentity meant;
    {
        FileHandle file;
        ASSERT_TRUE(file.OpenForRead(path.c_str()));
        ASSERT_TRUE(file.Identify(&meant));
    }
    FileIdentity other = meant;
    other.file += 1;
    EXPECT_EQ(SecureDestroy(path.c_str(), &other), DeleteOutcome::kReplaced);
    EXPECT_EQ(ReadBytes(path), contents);
    EXPECT_EQ(SecureDestroy(path.c_str(), &meant), DeleteOutcome::kDeleted);
    EXPECT_FALSE(Exists(path));
    // Gone meanwhile: not created empty as a name without a file would be.
    EXPECT_EQ(SecureDestroy(path.c_str(), &meant), DeleteOutcome::kReplaced);
    EXPECT_FALSE(Exists(path));
}

#ifdef _WIN32
TEST(SecureDelete, AFileHeldOpenWithoutWriteSharingIsKept) {
    ScratchDir dir;
    const std::string path = dir.File("busy");
    const Bytes contents = Pattern(3000, 4);
    WriteBytes(path, contents);
    HANDLE other = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(SecureDelete(path.c_str()));
    CloseHandle(other);
    EXPECT_EQ(ReadBytes(path), contents);
}
#endif

// A symbolic link (a name-surrogate reparse point on Windows) is refused and
// the file it leads to kept.
TEST(SecureDelete, ASymbolicLinkIsRefusedAndItsTargetKept) {
    ScratchDir dir;
    const std::string target = dir.File("target");
    const std::string link = dir.File("link");
    const Bytes contents = Pattern(3000, 5);
    WriteBytes(target, contents);
#ifdef _WIN32
    // Wine answers success without making the link.
    if (!CreateSymbolicLinkA(link.c_str(), target.c_str(), 0) ||
        GetFileAttributesA(link.c_str()) == INVALID_FILE_ATTRIBUTES) {
        GTEST_SKIP() << "no symbolic links here";
    }
#else
    std::filesystem::create_symlink(target, link);
#endif
    EXPECT_EQ(SecureDestroy(link.c_str()), DeleteOutcome::kNotAFile);
    EXPECT_EQ(ReadBytes(target), contents);
}

}  // namespace
}  // namespace zorv
