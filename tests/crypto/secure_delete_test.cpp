#include <gtest/gtest.h>

#include <filesystem>

#include "crypto/file_entries.h"
#include "crypto/file_handle.h"
#include "crypto/job_steps.h"
#include "crypto/leftover_names.h"
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

// The names in dir left by a killed or failed wipe.
std::vector<std::string> WipeNames(const ScratchDir& dir) {
    std::vector<std::string> names;
    for (const std::string& name : dir.Entries()) {
        if (LeftoverKindOf(name.c_str()) == LeftoverKind::kWipe) {
            names.push_back(name);
        }
    }
    return names;
}

// Each step of destroying a file fails in turn: the rename to a wipe name
// (the file untouched under its own name), a write or flush anywhere in the
// wipe (partly overwritten, under the wipe name only), the removal (wholly
// overwritten, under the wipe name). The file never keeps its own name once
// an overwrite began, and a later run finishes what is left. A temporary
// file is deleted all the same, and the failure still reported.
TEST(SecureDelete, EachFailingStepLeavesTheFileWholeOrUnderAWipeName) {
    ScratchDir dir;
    const std::string path = dir.File("half");
    const Bytes contents = Pattern(5000, 3);
    FileFaultPlan renamed;
    renamed.failRenameAt = 1;
    FileFaultPlan removed;
    removed.failRemoveAt = 1;
    const struct {
        const char* step;
        FileFaultPlan plan;
        bool keepsItsName;
    } kCases[] = {
        {"renamed", renamed, true},
        {"first write", {0, 0, 1, 0, 0}, false},
        {"a later write", {0, 0, 5, 0, 0}, false},
        {"a short write", {0, 0, 0, 1, 0}, false},
        // The first flush is the folder's, after the rename; unreported.
        {"first flush of the wipe", {0, 0, 0, 0, 2}, false},
        {"a middle flush", {0, 0, 0, 0, 13}, false},
        {"last flush", {0, 0, 0, 0, 25}, false},
        {"removed", removed, false},
    };
    // The folder's flush after the rename, failing, fails nothing.
    WriteBytes(path, contents);
    SetFileFaults({0, 0, 0, 0, 1});
    EXPECT_EQ(SecureDestroy(path.c_str()), DeleteOutcome::kDeleted);
    EXPECT_EQ(GetFileCallCounts().flushes, 25);
    ClearFileFaults();
    for (const auto& c : kCases) {
        WriteBytes(path, contents);
        SetFileFaults(c.plan);
        EXPECT_EQ(SecureDestroy(path.c_str()), DeleteOutcome::kFailed) << c.step;
        ClearFileFaults();
        const std::vector<std::string> left = WipeNames(dir);
        if (c.keepsItsName) {
            EXPECT_TRUE(ReadBytes(path) == contents) << c.step;
            EXPECT_TRUE(left.empty()) << c.step;
        } else {
            EXPECT_FALSE(Exists(path)) << c.step;
            ASSERT_EQ(left.size(), 1u) << c.step;
            const std::string leftover = dir.File(left[0]);
            EXPECT_EQ(ReadBytes(leftover).size(), contents.size()) << c.step;
            EXPECT_TRUE(FinishLeftover(leftover.c_str())) << c.step;
            EXPECT_FALSE(Exists(leftover)) << c.step;
        }
        std::filesystem::remove(path);

        WriteBytes(path, contents);
        SetFileFaults(c.plan);
        EXPECT_FALSE(SecureDeleteTemporary(path.c_str())) << c.step;
        ClearFileFaults();
        EXPECT_FALSE(Exists(path)) << c.step;
        for (const std::string& name : WipeNames(dir)) {
            std::filesystem::remove(dir.File(name));
        }
    }
}

// An output that was not placed (job_steps.h): one that may hold plain text
// is overwritten through its handle before it goes, 24 times or, when the
// user is waiting for the program to end, once; an encryption's, which holds
// only cipher text, is only discarded. Nothing stays in the folder.
TEST(SecureDelete, AnUnplacedOutputIsWipedOnlyWhenItMayHoldPlainText) {
    ScratchDir dir;
    const Bytes contents = Pattern(5000, 4);
    const struct {
        bool plainText;
        bool quick;
        uint64_t overwrites;
    } kCases[] = {{true, false, 24}, {true, true, 1}, {false, false, 0}};
    for (const auto& c : kCases) {
        VanishingFile output;
        ASSERT_EQ(output.Create(dir.File("out").c_str()), kResultOk);
        ASSERT_EQ(output.File().Write(contents.data(), contents.size()), contents.size());
        SetFileFaults(FileFaultPlan());
        EXPECT_TRUE(DropOutput(output, c.plainText, c.quick)) << c.overwrites;
        EXPECT_EQ(GetFileCallCounts().bytesWritten, c.overwrites * contents.size());
        ClearFileFaults();
        EXPECT_TRUE(dir.Entries().empty()) << c.overwrites;
    }
}

// The names a run gives its own files are recognised exactly; a user's file
// that merely looks like one is not.
TEST(SecureDelete, LeftoverNamesAreRecognisedExactly) {
    char made[kLeftoverNameBytes];
    MakeLeftoverName(LeftoverKind::kTemporary, made);
    EXPECT_EQ(LeftoverKindOf(made), LeftoverKind::kTemporary);
    char other[kLeftoverNameBytes];
    MakeLeftoverName(LeftoverKind::kTemporary, other);
    EXPECT_STRNE(made, other);
    MakeLeftoverName(LeftoverKind::kWipe, made);
    EXPECT_EQ(LeftoverKindOf(made), LeftoverKind::kWipe);
    const char* const kOthers[] = {
        ".zorv-0123abcd.tmp.crp", ".zorv-0123ABCD.tmp", ".zorv-0123abc.tmp", ".zorv-0123abcde.tmp",
        "zorv-0123abcd.tmp",      ".zorv-0123abcd.TMP", ".zorv-0123abcd",    "x.zorv-0123abcd.wipe",
    };
    for (const char* name : kOthers) {
        EXPECT_EQ(LeftoverKindOf(name), LeftoverKind::kNone) << name;
    }
    EXPECT_EQ(LeftoverKindOf(".zorv-0123abcd.wipe"), LeftoverKind::kWipe);
}

// A file that a live run holds (FileHandle::OpenForWipe, or a VanishingFile
// it writes) is no leftover of a killed one: another run finishing the
// folder passes it over untouched, without a failure, and finishes it once
// its owner has let it go. The holders: a second descriptor (Windows:
// handle) held on a wipe name; a temporary being placed under a temporary
// name (a file without one that replaces another) or its own; a wipe in
// flight, met by a finisher between two of its writes.

TEST(SecureDelete, AFileALiveRunHoldsIsPassedOverThenFinishedOnceLetGo) {
    ScratchDir dir;
    const Bytes contents = Pattern(5000, 8);
    enum Holder { kSecondHandle, kPlacing, kWipeInFlight };
    for (Holder holder : {kSecondHandle, kPlacing, kWipeInFlight}) {
        SCOPED_TRACE(holder);
        const std::string leftover = dir.File(".zorv-0123abcd.wipe");
        FileHandle held;
        VanishingFile output;
        std::string heldPath = leftover;
        if (holder == kSecondHandle) {
            WriteBytes(leftover, contents);
            ASSERT_EQ(held.OpenForWipe(leftover.c_str()), FileHandle::Hold::kHeld);
        } else if (holder == kPlacing) {
            const std::string target = dir.File("out.crp");
            WriteBytes(target, Pattern(10, 9));
            ASSERT_EQ(output.Create(target.c_str()), kResultOk);
            ASSERT_EQ(output.File().Write(contents.data(), contents.size()), contents.size());
            // The rename to the final name fails, after the temporary name
            // where the file had none.
            FileFaultPlan plan;
            plan.failRenameAt = output.TemporaryPath().empty() ? 2 : 1;
            SetFileFaults(plan);
            VanishingFile::Placing placing;
            placing.replace = true;
            EXPECT_EQ(output.Place(placing), kResultWriteFailed);
            ClearFileFaults();
            heldPath = output.TemporaryPath();
            ASSERT_EQ(LeftoverKindOf(NameOf(heldPath).c_str()), LeftoverKind::kTemporary);
        } else {
            // Another run meets the wipe name at each write of the wipe.
            const std::string source = dir.File("source");
            WriteBytes(source, contents);
            FileFaultPlan plan;
            plan.observeContext = &dir;
            plan.observe = [](void* folder, const uint8_t* bytes, size_t) {
                static bool finishing = false;  // not again for the finisher's own writes
                if (bytes == nullptr || finishing) {
                    return;
                }
                finishing = true;
                const auto& scratch = *static_cast<ScratchDir*>(folder);
                for (const std::string& name : WipeNames(scratch)) {
                    EXPECT_EQ(FinishLeftoverFile(scratch.File(name).c_str()),
                              LeftoverFinish::kPassedOver);
                }
                finishing = false;
            };
            SetFileFaults(plan);
            EXPECT_EQ(SecureDestroy(source.c_str()), DeleteOutcome::kDeleted);
            ClearFileFaults();
            EXPECT_TRUE(dir.Entries().empty());
            continue;
        }
        SetFileFaults(FileFaultPlan{});
        EXPECT_EQ(FinishLeftoverFile(heldPath.c_str()), LeftoverFinish::kPassedOver);
        EXPECT_TRUE(FinishLeftover(heldPath.c_str()));  // no failure to report
        EXPECT_EQ(GetFileCallCounts().writes, 0);       // untouched
        ClearFileFaults();
        ASSERT_TRUE(Exists(heldPath));
        if (holder == kSecondHandle) {
            held.Close();
            EXPECT_EQ(ReadBytes(leftover), contents);
            EXPECT_EQ(FinishLeftoverFile(leftover.c_str()), LeftoverFinish::kFinished);
        } else {
            output.Discard();
        }
        EXPECT_FALSE(Exists(heldPath));
        std::filesystem::remove(dir.File("out.crp"));
        EXPECT_TRUE(dir.Entries().empty());
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
    // A leftover with other names only loses its own.
    const std::string leftover = dir.File(".zorv-0123abcd.wipe");
    std::filesystem::create_hard_link(path, leftover);
    EXPECT_FALSE(FinishLeftover(leftover.c_str()));
    EXPECT_FALSE(Exists(leftover));
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
    EXPECT_EQ(ReadBytes(path), contents);  // under its own name again
    EXPECT_TRUE(WipeNames(dir).empty());
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
