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

TEST(SecureDelete, OverwritesEveryByteTwentyFourTimesThenDeletes) {
    ScratchDir dir;
    const std::string path = dir.File("secret.txt");
    WriteBytes(path, Pattern(5000, 1));
    SetFileFaults(FileFaultPlan{});  // counts only
    EXPECT_TRUE(SecureDelete(path.c_str()));
    const FileCallCounts counts = GetFileCallCounts();
    ClearFileFaults();
    EXPECT_FALSE(Exists(path));
    // Each overwrite: 4096 bytes, then 904, from offset 0.
    EXPECT_EQ(counts.writes, 48);
    EXPECT_EQ(counts.bytesWritten, 24u * 5000u);
}

TEST(SecureDelete, LeavesTheLastRandomPatternInPlace) {
    ScratchDir dir;
    const std::string path = dir.File("wiped");
    WriteBytes(path, Bytes(5000, 0x00));
    ASSERT_TRUE(WipeFile(path.c_str()));
    const Bytes after = ReadBytes(path);
    ASSERT_EQ(after.size(), 5000u);  // never truncated
    // The random buffer repeats with a period of 4096 bytes and is neither
    // the old contents nor one of the fixed patterns.
    EXPECT_TRUE(std::equal(after.begin() + 4096, after.end(), after.begin()));
    EXPECT_NE(std::count(after.begin(), after.end(), 0x00), 5000);
    EXPECT_NE(std::count(after.begin(), after.end(), 0x55), 5000);
    EXPECT_NE(std::count(after.begin(), after.end(), 0xAA), 5000);
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

TEST(SecureDelete, AFailedWriteKeepsTheFile) {
    ScratchDir dir;
    const std::string path = dir.File("half");
    WriteBytes(path, Pattern(5000, 3));
    FileFaultPlan plan;
    plan.failWriteAt = 5;
    SetFileFaults(plan);
    EXPECT_FALSE(SecureDelete(path.c_str()));
    ClearFileFaults();
    ASSERT_TRUE(Exists(path));
    EXPECT_EQ(ReadBytes(path).size(), 5000u);
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
#else
TEST(SecureDelete, ASymbolicLinkIsRefusedAndItsTargetKept) {
    ScratchDir dir;
    const std::string target = dir.File("target");
    const std::string link = dir.File("link");
    const Bytes contents = Pattern(3000, 5);
    WriteBytes(target, contents);
    std::filesystem::create_symlink(target, link);
    EXPECT_FALSE(SecureDelete(link.c_str()));
    EXPECT_EQ(ReadBytes(target), contents);
}
#endif

}  // namespace
}  // namespace zorv
