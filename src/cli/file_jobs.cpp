#include "cli/file_jobs.h"

#include <cstdio>

#include "cli/batch_plan.h"
#include "cli/interrupt.h"
#include "cli/parallel_transform.h"
#include "cli/platform_file.h"
#include "crypto/secure_delete.h"

namespace zorv {
namespace {

using Transform = ResultCode (*)(const FileCipher&, const PlatformFile&, std::uint64_t,
                                 const PlatformFile&, const TransformOptions&);

ResultCode EncryptTransform(const FileCipher& cipher, const PlatformFile& source,
                            std::uint64_t size, const PlatformFile& target,
                            const TransformOptions& options) {
    return EncryptToFile(cipher, source, size, target, options);
}

ResultCode DecryptTransform(const FileCipher& cipher, const PlatformFile& source,
                            std::uint64_t size, const PlatformFile& target,
                            const TransformOptions& options) {
    return DecryptToFile(cipher, source, size, &target, options);
}

TransformOptions OptionsOf(const JobSettings& settings) {
    TransformOptions options;
    options.threads = settings.threads;
    options.progress = settings.progress;
    return options;
}

// Destroys a temporary file; a line when it could not be wiped or stays
// behind. A decryption's may hold plain text and is wiped, and removed even
// when the wipe fails; once the user has interrupted the run, with a single
// overwrite, so that the program ends promptly. An encryption's only ever
// receives cipher text (the same bytes a finished run leaves on the disk),
// so it is simply removed.
void DestroyTemporary(const std::string& temporary, bool plainText, std::vector<Outcome>* lines) {
    bool removed = false;
    if (!plainText) {
        removed = std::remove(temporary.c_str()) == 0;
    } else if (Interrupted()) {
        removed = WipeOnceAndDelete(temporary.c_str());
    } else {
        removed = SecureDeleteTemporary(temporary.c_str());
    }
    if (!removed) {
        lines->push_back(Outcome{temporary, kResultDeleteFailed});
    }
}

// Destroys the source, provided the wipe opens the file that was read.
ResultCode DestroySource(const std::string& path, const FileIdentity& read) {
    FileId expected;
    expected.device = read.device;
    expected.file = read.file;
    switch (SecureDestroy(path.c_str(), &expected)) {
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

// Transform into a temporary file beside target, flush it, give it the
// source's times, and move it to target. True when target is in place;
// otherwise the failure's lines (none when interrupted) are in lines.
bool WriteTarget(Transform transform, const FileCipher& cipher, const std::string& path,
                 const PlatformFile& source, std::uint64_t size, const std::string& target,
                 const JobSettings& settings, std::vector<Outcome>* lines) {
    PlatformFile output;
    std::string temporary;
    if (!CreateTemporaryFile(FolderOf(target), &output, &temporary)) {
        lines->push_back(Outcome{path, kResultOpenFailed});
        return false;
    }
    // Until it has its final name or is destroyed.
    TemporaryRegistration registration(temporary);
    ResultCode result = transform(cipher, source, size, output, OptionsOf(settings));
    if (result == kResultOk) {
        output.CopyMetadataFrom(source);
        // On the disk before the name is: a crash must never leave a short
        // file under the final name, and the source may be wiped next.
        result = output.Sync() ? kResultOk : kResultWriteFailed;
    }
    output.Close();
    if (result != kResultOk) {
        if (result != kResultInterrupted) {
            lines->push_back(Outcome{path, result});
        }
        DestroyTemporary(temporary, transform == DecryptTransform, lines);
        return false;
    }
    ResultCode moved = RenameNoReplace(temporary, target);
    if (moved != kResultOk) {
        lines->push_back(Outcome{target, moved});
        DestroyTemporary(temporary, transform == DecryptTransform, lines);
        return false;
    }
    if (!settings.keep) {
        // The new name must survive a power cut before the source is wiped;
        // with --keep nothing depends on it, and each folder flush costs a
        // journal commit.
        SyncFolder(FolderOf(target));
    }
    return true;
}

void (*jobCheckHook)(const std::string&) = nullptr;

// After the output is in place: the source is destroyed (or, with --keep,
// left) only when its name still leads to the file that was read, as it was
// when it was opened.
void FinishSource(bool encrypting, const std::string& path, const std::string& target,
                  const FileIdentity& read, const JobSettings& settings,
                  std::vector<Outcome>* lines) {
    if (Interrupted() || (settings.keep && !encrypting)) {
        // Interrupted after the move: the output is in place and the source
        // stays as it was.
        lines->push_back(Outcome{path, kResultOk});
        return;
    }
    FileIdentity now;
    if (!QueryIdentity(path, &now) || !now.SameState(read)) {
        if (encrypting) {
            // Made from contents that are no longer the file's: it must not
            // pass for a complete copy. It holds only cipher text.
            std::remove(target.c_str());
            lines->push_back(Outcome{path, kResultSourceChanged});
        } else {
            lines->push_back(Outcome{path, kResultDeleteFailed});
        }
        return;
    }
    lines->push_back(Outcome{path, settings.keep ? kResultOk : DestroySource(path, read)});
}

// The whole job around WriteTarget: open the source, and destroy it after
// success unless it is kept.
std::vector<Outcome> TransformJob(Transform transform, const FileCipher& cipher,
                                  const PlanItem& item, const std::string& target,
                                  const JobSettings& settings) {
    const std::string& path = item.path;
    if (target.size() > kMaxPathBytes) {
        return {Outcome{path, kResultPathTooLong}};
    }
    if (QueryEntry(target).exists) {
        return {Outcome{target, kResultFileExists}};
    }
    PlatformFile source;
    if (!source.OpenForRead(path)) {
        return {Outcome{path, kResultOpenFailed}};
    }
    FileIdentity read;
    if (!source.Identify(&read)) {
        return {Outcome{path, kResultReadFailed}};
    }
    if (item.identity.Known() && !read.SameFile(item.identity)) {
        return {Outcome{path, kResultReplaced}};
    }
    if (read.size == 0) {
        return {Outcome{path, kResultEmptyFile}};
    }
    std::vector<Outcome> lines;
    bool placed = WriteTarget(transform, cipher, path, source, read.size, target, settings, &lines);
    source.Close();  // Windows deletes no open file
    if (!placed) {
        return lines;
    }
    if (jobCheckHook != nullptr) {
        jobCheckHook(path);
    }
    FinishSource(transform == EncryptTransform, path, target, read, settings, &lines);
    return lines;
}

}  // namespace

void SetJobCheckHook(void (*hook)(const std::string& path)) {
    jobCheckHook = hook;
}

std::vector<Outcome> EncryptJob(const FileCipher& cipher, const PlanItem& item,
                                const JobSettings& settings) {
    return TransformJob(EncryptTransform, cipher, item, item.path + ".crp", settings);
}

std::vector<Outcome> DecryptJob(const FileCipher& cipher, const PlanItem& item,
                                const JobSettings& settings) {
    // The plan passes only names matching *.crp: the last four bytes are the
    // extension (no double-byte character ends in '.').
    return TransformJob(DecryptTransform, cipher, item, item.path.substr(0, item.path.size() - 4),
                        settings);
}

std::vector<Outcome> VerifyJob(const FileCipher& cipher, const PlanItem& item,
                               const JobSettings& settings) {
    const std::string& path = item.path;
    PlatformFile source;
    if (!source.OpenForRead(path)) {
        return {Outcome{path, kResultOpenFailed}};
    }
    std::int64_t size = source.Size();
    if (size < 0) {
        return {Outcome{path, kResultReadFailed}};
    }
    ResultCode result = DecryptToFile(cipher, source, static_cast<std::uint64_t>(size), nullptr,
                                      OptionsOf(settings));
    if (result == kResultInterrupted) {
        return {};
    }
    return {Outcome{path, result}};
}

}  // namespace zorv
