#include "crypto/job_steps.h"

#include "crypto/file_entries.h"
#include "crypto/secure_delete.h"

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

}  // namespace

ResultCode PlaceOutput(VanishingFile& output, const VanishingFile::Placing& placing,
                       FileIdentity* placed) {
    return output.File().Identify(placed) ? output.Place(placing) : kResultWriteFailed;
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
