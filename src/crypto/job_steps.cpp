#include "crypto/job_steps.h"

#include "crypto/file_entries.h"
#include <algorithm>
#include <cstdint>
#include <vector>

#include "crypto/secure_delete.h"
#include "crypto/secure_zero.h"

namespace zorv {
namespace {

void (*sourceCheckHook)(const std::string&) = nullptr;

// Destroys the source, provided the wipe opens the file that was read.
ResultCode DestroySource(const std::string& path, const FileIdentity& read, bool wipe) {
    if (!wipe) {
        // Removing one name of a hard-linked file loses nothing.
        return RemoveFile(path) ? kResultOk : kResultDeleteFailed;
    }
    switch (SecureDestroy(path.c_str(), &read)) {
        case DeleteOutcome::kDeleted:
            return kResultOk;
        case DeleteOutcome::kHardLinked:
            return kResultHardLinked;
        case DeleteOutcome::kReplaced:
            return kResultReplaced;
        case DeleteOutcome::kNotAFile:
        case DeleteOutcome::kFailed:
            break;
    }
    return kResultDeleteFailed;
}

// Whether the regular file at path, opened without following a link, holds
// exactly the bytes of held: the sizes first, then the contents piece by
// piece. Any failure to open or read counts as a difference.
bool HoldsSameBytes(FileHandle& held, const std::string& path) {
    FileHandle there;
    if (!there.OpenRegularNoFollow(path.c_str())) {
        return false;
    }
    const int64_t size = held.Size();
    if (size < 0 || there.Size() != size) {
        return false;
    }
    constexpr std::size_t kPiece = 64 * 1024;
    std::vector<uint8_t> mine(kPiece);
    std::vector<uint8_t> theirs(kPiece);
    bool same = true;
    for (uint64_t at = 0; same && at < static_cast<uint64_t>(size); at += kPiece) {
        const std::size_t n =
            static_cast<std::size_t>(std::min<uint64_t>(kPiece, static_cast<uint64_t>(size) - at));
        same =
            held.ReadAt(at, mine.data(), n) && there.ReadAt(at, theirs.data(), n) &&
            std::equal(mine.begin(), mine.begin() + static_cast<std::ptrdiff_t>(n), theirs.begin());
    }
    // A decryption's output is plain text.
    SecureZero(mine.data(), mine.size());
    SecureZero(theirs.data(), theirs.size());
    return same;
}

}  // namespace

ResultCode PlaceOutput(VanishingFile& output, const VanishingFile::Placing& placing,
                       FileIdentity* placed) {
    if (!output.File().Identify(placed)) {
        return kResultWriteFailed;
    }
    const ResultCode result = output.Place(placing);
    if (result == kResultFileExists && HoldsSameBytes(output.File(), output.FinalPath())) {
        *placed = FileIdentity();
        return kResultOk;
    }
    return result;
}

bool DropOutput(VanishingFile& output, bool plainText, bool quick) {
    bool wiped = true;
    if (plainText && output.File().IsOpen()) {
        wiped = quick ? WipeOpenFileOnce(output.File()) : WipeOpenFile(output.File());
    }
    return output.Discard() && wiped;
}

ResultCode FinishSource(const std::string& sourcePath, const FileIdentity& read,
                        const std::string& outputPath, const FileIdentity& placed,
                        const SourceFate& fate) {
    if (sourceCheckHook != nullptr) {
        sourceCheckHook(sourcePath);
    }
    if (!fate.destroy && !fate.encrypting) {
        return kResultOk;
    }
    FileIdentity now;
    if (!QueryIdentity(sourcePath, &now) || !now.SameState(read)) {
        if (!fate.encrypting) {
            return kResultDeleteFailed;
        }
        // Made from contents that are no longer the file's: it must not pass
        // for a complete copy. It holds only cipher text. Only while the name
        // still holds it: another file may have taken it.
        FileIdentity output;
        if (QueryIdentity(outputPath, &output) && output.SameFile(placed)) {
            RemoveFile(outputPath);
        }
        return kResultSourceChanged;
    }
    return fate.destroy ? DestroySource(sourcePath, read, fate.wipe) : kResultOk;
}

void SetSourceCheckHook(void (*hook)(const std::string& path)) {
    sourceCheckHook = hook;
}

}  // namespace zorv
