#include "cli/file_jobs.h"

#include <cstdio>
#include <memory>

#include "cli/batch_plan.h"
#include "cli/interrupt.h"
#include "cli/key_protection.h"
#include "cli/output_group.h"
#include "cli/std_streams.h"
#include "crypto/file_entries.h"
#include "crypto/file_transform.h"
#include "crypto/secure_delete.h"

namespace zorv {
namespace {

void (*jobOpenedHook)(const std::string&) = nullptr;

using Transform = ResultCode (*)(const FileCipher&, const FileHandle&, std::uint64_t,
                                 const FileHandle&, const TransformOptions&);

ResultCode EncryptTransform(const FileCipher& cipher, const FileHandle& source, std::uint64_t size,
                            const FileHandle& target, const TransformOptions& options) {
    return EncryptToFile(cipher, source, size, target, options);
}

ResultCode DecryptTransform(const FileCipher& cipher, const FileHandle& source, std::uint64_t size,
                            const FileHandle& target, const TransformOptions& options) {
    return DecryptToFile(cipher, source, size, &target, options);
}

// Writes one file from its start, in the order the bytes come.
class SequentialFileSink : public ByteSink {
public:
    explicit SequentialFileSink(const FileHandle& file) : file_(file) {}

    bool Write(const std::uint8_t* data, std::size_t n) override {
        if (!file_.WriteAt(offset_, data, n)) {
            return false;
        }
        offset_ += n;
        return true;
    }

private:
    const FileHandle& file_;
    std::uint64_t offset_ = 0;
};

// Standard input's transforms, in the shape of the file transforms (they
// have no source file and no size).
ResultCode EncryptStandardInput(const FileCipher& cipher, const FileHandle&, std::uint64_t,
                                const FileHandle& target, const TransformOptions& options) {
    FileCipher own(cipher);
    LockInMemory(&own, sizeof own);
    StandardInputSource source;
    SequentialFileSink sink(target);
    ResultCode result = EncryptUnsized(own, source, sink, options.threads > 1);
    return Interrupted() && result != kResultOk ? kResultInterrupted : result;
}

ResultCode DecryptStandardInput(const FileCipher& cipher, const FileHandle&, std::uint64_t,
                                const FileHandle& target, const TransformOptions&) {
    FileCipher own(cipher);
    LockInMemory(&own, sizeof own);
    StandardInputSource source;
    SequentialFileSink sink(target);
    ResultCode result = DecryptUnsized(own, source, sink);
    return Interrupted() && result != kResultOk ? kResultInterrupted : result;
}

bool HoldsPlainText(Transform transform) {
    return transform == DecryptTransform || transform == DecryptStandardInput;
}

TransformOptions OptionsOf(const JobSettings& settings) {
    TransformOptions options;
    options.threads = settings.threads;
    options.progress = settings.progress;
    options.interrupted = Interrupted;
    return options;
}

// The permission bits an output gets once it is placed: its source's, or a
// new file's for standard input. Until then it keeps 0600.
int ModeOfOutput(const FileHandle& source) {
    return static_cast<int>(source.IsOpen() ? source.ModeOfCopy() : FileHandle::NewFileMode());
}

// Transforms into a temporary beside target (as the job reaches it; shown
// as lines name it) that vanishes with the process, and gives it the
// source's times; flushes it to the disk unless its group will. True with
// the file in output, and a named one registered in registration;
// otherwise the failure's lines (none when interrupted) are in lines and
// nothing is left.
bool WriteTemporary(Transform transform, const FileCipher& cipher, const std::string& path,
                    const FileHandle& source, std::uint64_t size, const std::string& target,
                    const std::string& shownTarget, const JobSettings& settings, bool flush,
                    VanishingFile* output, std::unique_ptr<TemporaryRegistration>* registration,
                    std::vector<Outcome>* lines) {
    ResultCode created = output->Create(target.c_str());
    if (created != kResultOk) {
        lines->push_back(
            Outcome{path, created == kResultPathTooLong ? created : kResultNoTemporary});
        return false;
    }
    if (!output->TemporaryPath().empty()) {
        // A name that a kill leaves behind: a second signal removes it.
        *registration = std::make_unique<TemporaryRegistration>(output->TemporaryPath());
    }
    ResultCode result = transform(cipher, source, size, output->File(), OptionsOf(settings));
    if (result == kResultOk) {
        if (source.IsOpen()) {
            output->File().CopyTimesFrom(source);
        }
        // On the disk before the name is: a crash must never leave a short
        // file under the final name, and the source may be wiped next.
        result = !flush || output->File().Flush() ? kResultOk : kResultWriteFailed;
    }
    if (result != kResultOk) {
        if (result != kResultInterrupted) {
            lines->push_back(Outcome{path, result});
        }
        DestroyTemporary(*output, shownTarget, HoldsPlainText(transform), lines);
        registration->reset();
        return false;
    }
    return true;
}

// Gives a flushed temporary its final name (target, shown as shownTarget)
// and the permission bits mode. True when it is in place, with its
// identity in placed.
bool PlaceFlushed(VanishingFile& output, const std::string& target, const std::string& shownTarget,
                  bool plainText, int mode, const JobSettings& settings, FileIdentity* placed,
                  std::vector<Outcome>* lines) {
    ResultCode moved = PlaceOutput(output, settings, mode, placed);
    if (moved != kResultOk) {
        lines->push_back(Outcome{shownTarget, moved});
        DestroyTemporary(output, shownTarget, plainText, lines);
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

// The whole job: the temporary file, then its placement and the source's
// destruction, here or (a small output in a group) when the group commits.
// Closes source.
std::vector<Outcome> WriteTarget(Transform transform, const FileCipher& cipher,
                                 const JobNames& names, FileHandle& source,
                                 const FileIdentity& read, const JobSettings& settings) {
    bool grouped = settings.group != nullptr && read.size <= OutputGroup::kMaxGroupedBytes;
    bool plainText = HoldsPlainText(transform);
    bool encrypting = transform == EncryptTransform;
    int mode = ModeOfOutput(source);
    auto output = std::make_unique<VanishingFile>();
    std::unique_ptr<TemporaryRegistration> registration;
    std::vector<Outcome> lines;
    bool written =
        WriteTemporary(transform, cipher, names.source, source, read.size, names.targetAt,
                       names.target, settings, !grouped, output.get(), &registration, &lines);
    source.Close();  // Windows deletes no open file
    if (!written) {
        return lines;
    }
    if (grouped) {
        settings.group->Add(PendingOutput{settings.slot, names, std::move(output), mode, plainText,
                                          encrypting, read, std::move(registration)});
        return {Outcome{names.source, kResultPlacementPending}};
    }
    FileIdentity placed;
    bool inPlace = PlaceFlushed(*output, names.targetAt, names.target, plainText, mode, settings,
                                &placed, &lines);
    registration.reset();
    if (inPlace) {
        FinishSource(encrypting, names, read, placed, settings, &lines);
    }
    return lines;
}

// Opens and checks the source, then WriteTarget. A walked file is reached
// through its folder, pinned from the folder given on the command line down.
std::vector<Outcome> TransformJob(Transform transform, const FileCipher& cipher,
                                  const PlanItem& item, const std::string& target,
                                  const JobSettings& settings) {
    const std::string& path = item.path;
    if (PathLength(target) > kMaxPathBytes || PathLength(NameOf(target)) > kMaxNameBytes) {
        return {Outcome{path, kResultPathTooLong}};
    }
    JobNames names{path, target, path, target, nullptr};
    if (!item.folders.empty()) {
        names.folder = std::make_shared<PinnedFolder>();
        if (!names.folder->Pin(path, item.rootLength, item.folders)) {
            return {Outcome{path, kResultReplaced}};
        }
        names.sourceAt = names.folder->Reach(NameOf(path));
        if (settings.output.empty()) {
            names.targetAt = names.folder->Reach(NameOf(target));
        }
    }
    ResultCode taken = TargetRefusal(names.targetAt, settings);
    if (taken != kResultOk) {
        return {Outcome{target, taken}};
    }
    FileHandle source;
    if (!source.OpenRegularForRead(names.sourceAt.c_str())) {
        return {Outcome{path, WhyNotOpened(names.sourceAt)}};
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
    if (jobOpenedHook != nullptr) {
        jobOpenedHook(path);
    }
    return WriteTarget(transform, cipher, names, source, read, settings);
}

}  // namespace

std::vector<Outcome> EncryptJob(const FileCipher& cipher, const PlanItem& item,
                                const JobSettings& settings) {
    std::string target = OutputOf(Command::kEncrypt, item.path, settings.output);
    return TransformJob(EncryptTransform, cipher, item, target, settings);
}

std::vector<Outcome> DecryptJob(const FileCipher& cipher, const PlanItem& item,
                                const JobSettings& settings) {
    std::string target = OutputOf(Command::kDecrypt, item.path, settings.output);
    return TransformJob(DecryptTransform, cipher, item, target, settings);
}

std::vector<Outcome> VerifyJob(const FileCipher& cipher, const PlanItem& item,
                               const JobSettings& settings) {
    const std::string& path = item.path;
    FileHandle source;
    if (!source.OpenRegularForRead(path.c_str())) {
        return {Outcome{path, WhyNotOpened(path)}};
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

std::vector<Outcome> StandardInputJob(const FileCipher& cipher, bool decrypting,
                                      const JobSettings& settings) {
    if (PathLength(settings.output) > kMaxPathBytes) {
        return {Outcome{settings.output, kResultPathTooLong}};
    }
    FileHandle none;
    std::vector<Outcome> lines;
    Transform transform = decrypting ? DecryptStandardInput : EncryptStandardInput;
    VanishingFile output;
    std::unique_ptr<TemporaryRegistration> registration;
    FileIdentity placed;
    if (WriteTemporary(transform, cipher, "-", none, 0, settings.output, settings.output, settings,
                       true, &output, &registration, &lines) &&
        PlaceFlushed(output, settings.output, settings.output, decrypting, ModeOfOutput(none),
                     settings, &placed, &lines)) {
        lines.push_back(Outcome{"-", kResultOk});
    }
    return lines;
}

void SetJobOpenedHook(void (*hook)(const std::string& path)) {
    jobOpenedHook = hook;
}

}  // namespace zorv
