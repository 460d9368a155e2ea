#include "cli/file_jobs.h"

#include "cli/key_protection.h"
#include "cli/std_streams.h"
#include "crypto/file_transform.h"
#include "crypto/job_steps.h"

namespace zorv {
namespace {

void (*jobOpenedHook)(const std::string&) = nullptr;

using Transform = ResultCode (*)(const FileCipher&, const FileHandle&, std::uint64_t, FileHandle&,
                                 const TransformOptions&);

ResultCode EncryptTransform(const FileCipher& cipher, const FileHandle& source, std::uint64_t size,
                            FileHandle& target, const TransformOptions& options) {
    return EncryptToFile(cipher, source, size, target, options);
}

ResultCode DecryptTransform(const FileCipher& cipher, const FileHandle& source, std::uint64_t size,
                            FileHandle& target, const TransformOptions& options) {
    return DecryptToFile(cipher, source, size, &target, options);
}

// Standard input's transforms, in the shape of the file transforms (they
// have no source file and no size).
template <bool kDecrypt>
ResultCode StandardInputTransform(const FileCipher& cipher, const FileHandle&, std::uint64_t,
                                  FileHandle& target, const TransformOptions& options) {
    FileCipher own(cipher);
    LockInMemory(&own, sizeof own);
    StandardInputSource source;
    FileSink sink(target);
    ResultCode result = kDecrypt ? DecryptUnsized(own, source, sink)
                                 : EncryptUnsized(own, source, sink, options.threads > 1);
    return Interrupted() && result != kResultOk ? kResultInterrupted : result;
}

TransformOptions OptionsOf(const JobSettings& settings) {
    TransformOptions options;
    options.threads = settings.threads;
    options.progress = settings.progress;
    options.interrupted = Interrupted;
    return options;
}

std::unique_lock<std::mutex> LockPlaced(const JobSettings& settings) {
    return settings.placed != nullptr ? settings.placed->Lock() : std::unique_lock<std::mutex>();
}

// Why target cannot take a job's output, or 0, with the run's outputs
// locked: 71 when the name is taken and -f was not given; with -f, when it
// holds anything but a regular file or a folder (1006, 1007; 74 for a
// system file on Windows) or an output of this run (1011). A folder is
// left to the move, which fails.
ResultCode TargetRefusal(const std::string& target, const JobSettings& settings) {
    EntryInfo info = QueryEntry(target);
    if (!info.exists) {
        return kResultOk;
    }
    if (!settings.replace) {
        return kResultFileExists;
    }
    if (info.special) {
        return RefusalOf(info);
    }
    FileIdentity there;
    bool ours = settings.placed != nullptr && QueryIdentity(target, &there) &&
                settings.placed->Contains(there);
    return ours ? ResultCode{kResultSharedOutput} : kResultOk;
}

// Destroys a temporary that was not placed (DropOutput); a line when it
// could not be wiped or stays behind, naming a named temporary in the
// folder of the target as the lines show it.
void DropPending(PendingOutput& job, std::vector<Outcome>* lines) {
    const std::string& temporary = job.output.TemporaryPath();
    const std::string shown =
        temporary.empty() ? job.names.target
                          : JoinFolderAndName(FolderOf(job.names.target), NameOf(temporary));
    if (!DropOutput(job.output, job.plainText, Interrupted())) {
        lines->push_back(Outcome{shown, kResultDeleteFailed});
    }
    job.registration.reset();
}

// Whether the target's folder, reached through the folder the job holds,
// still has the name that the lines give it. Renamed during the job, it
// gets no output: the report would name a file that is not there. (Reached
// by its name, a renamed folder fails the move by itself.)
bool TargetFolderKeepsItsName(const JobNames& names) {
    const std::string folder = FolderOf(names.target);
    FileIdentity now;
    return !names.targetFolder.Known() ||
           (QueryIdentity(folder.empty() ? "." : folder, &now, true) &&
            now.SameFile(names.targetFolder));
}

// Gives the flushed output its name under the lock of the run's outputs:
// the name may have changed hands since the job began, so -f looks at it
// again before replacing it.
ResultCode PlaceLocked(PendingOutput& job, const JobSettings& settings) {
    std::unique_lock<std::mutex> lock = LockPlaced(settings);
    VanishingFile::Placing placing;
    placing.flushed = true;
    placing.replace = settings.replace;
    placing.mode = job.mode;
    ResultCode code = settings.replace ? TargetRefusal(job.names.targetAt, settings) : kResultOk;
    if (code == kResultOk) {
        code = PlaceOutput(job.output, placing, &job.placed);
    }
    if (code == kResultOk && settings.placed != nullptr) {
        settings.placed->Add(job.placed);
    }
    return code;
}

// Transforms source into job's temporary beside its target, and gives it
// the source's times. True when it is complete; otherwise the failure's
// lines (none when interrupted) are in lines and nothing is left.
bool WriteTemporary(Transform transform, const FileCipher& cipher, const FileHandle& source,
                    std::uint64_t size, const JobSettings& settings, PendingOutput* job,
                    std::vector<Outcome>* lines) {
    ResultCode created = job->output.Create(job->names.targetAt.c_str());
    if (created != kResultOk) {
        lines->push_back(Outcome{job->names.source,
                                 created == kResultPathTooLong ? created : kResultNoTemporary});
        return false;
    }
    if (!job->output.TemporaryPath().empty()) {
        // A name that a kill leaves behind: a second signal removes it.
        job->registration = std::make_unique<TemporaryRegistration>(job->output.TemporaryPath());
    }
    ResultCode result = transform(cipher, source, size, job->output.File(), OptionsOf(settings));
    if (result != kResultOk) {
        if (result != kResultInterrupted) {
            lines->push_back(Outcome{job->names.source, result});
        }
        DropPending(*job, lines);
        return false;
    }
    if (source.IsOpen()) {
        job->output.File().CopyTimesFrom(source);
    }
    return true;
}

// The whole job once its source is open: the temporary file, then its
// placement and the source's destruction, here or (a small output) by the
// caller that asked for it in settings.pending. Closes source.
std::vector<Outcome> WriteTarget(Transform transform, const FileCipher& cipher, JobNames names,
                                 FileHandle& source, const FileIdentity& read,
                                 const JobSettings& settings) {
    auto job = std::make_unique<PendingOutput>();
    job->names = std::move(names);
    job->mode = static_cast<int>(source.ModeOfCopy());
    job->plainText = transform == DecryptTransform;
    job->encrypting = transform == EncryptTransform;
    job->read = read;
    std::vector<Outcome> lines;
    bool written =
        WriteTemporary(transform, cipher, source, read.size, settings, job.get(), &lines);
    source.Close();  // Windows deletes no open file
    if (!written) {
        return lines;
    }
    if (settings.pending != nullptr && read.size <= kMaxGroupedBytes) {
        *settings.pending = std::move(job);
        return lines;
    }
    // On the disk before the name is: a crash must never leave a short file
    // under the final name, and the source may be wiped next.
    if (PlacePending(*job, settings, job->output.File().Flush(), &lines)) {
        if (!settings.keep) {
            // The new name must survive a power cut before the source is
            // wiped; with --keep nothing depends on it, and each folder
            // flush costs a journal commit.
            SyncFolder(FolderOf(job->names.targetAt));
        }
        FinishPending(*job, settings, &lines);
    }
    return lines;
}

// Opens and checks the source, then WriteTarget. The file is reached
// through its folder, pinned from the folder given on the command line down.
std::vector<Outcome> TransformJob(Transform transform, const FileCipher& cipher,
                                  const PlanItem& item, const std::string& target,
                                  const JobSettings& settings) {
    const std::string& path = item.path;
    if (PathLength(target) > kMaxPathBytes || PathLength(NameOf(target)) > kMaxNameBytes) {
        return {Outcome{path, kResultPathTooLong}};
    }
    JobNames names{path, target, path, target, nullptr, FileIdentity{}};
    if (!item.folders.empty()) {
        names.folder = std::make_shared<PinnedFolder>();
        if (!names.folder->Pin(path, item.rootLength, item.folders)) {
            return {Outcome{path, kResultReplaced}};
        }
        names.sourceAt = names.folder->Reach(NameOf(path));
        if (settings.output.empty()) {
            names.targetAt = names.folder->Reach(NameOf(target));
            names.targetFolder = item.folders.back();
        }
    }
    {
        std::unique_lock<std::mutex> lock = LockPlaced(settings);
        ResultCode taken = TargetRefusal(names.targetAt, settings);
        if (taken != kResultOk) {
            return {Outcome{target, taken}};
        }
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
    return WriteTarget(transform, cipher, std::move(names), source, read, settings);
}

}  // namespace

bool PlacedOutputs::Contains(const FileIdentity& file) const {
    return files_.count({file.device, file.file}) != 0;
}

void PlacedOutputs::Add(const FileIdentity& file) {
    files_.insert({file.device, file.file});
}

bool PlacePending(PendingOutput& job, const JobSettings& settings, bool durable,
                  std::vector<Outcome>* lines) {
    if (!durable) {
        if (!Interrupted()) {
            lines->push_back(Outcome{job.names.source, kResultWriteFailed});
        }
        DropPending(job, lines);
        return false;
    }
    ResultCode code =
        TargetFolderKeepsItsName(job.names) ? PlaceLocked(job, settings) : kResultWriteFailed;
    if (code != kResultOk) {
        lines->push_back(Outcome{job.names.target, code});
        DropPending(job, lines);
        return false;
    }
    job.registration.reset();  // under its final name now
    return true;
}

void FinishPending(const PendingOutput& job, const JobSettings& settings,
                   std::vector<Outcome>* lines) {
    if (Interrupted()) {
        // Interrupted after the move: the output is in place and the source
        // stays as it was.
        lines->push_back(Outcome{job.names.source, kResultOk});
        return;
    }
    SourceFate fate;
    fate.encrypting = job.encrypting;
    fate.destroy = !settings.keep;
    fate.wipe = !settings.noWipe;
    lines->push_back(Outcome{job.names.source, FinishSource(job.names.sourceAt, job.read,
                                                            job.names.targetAt, job.placed, fate)});
}

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
    PendingOutput job;
    job.names = JobNames{"-", settings.output, "-", settings.output, nullptr, FileIdentity{}};
    job.mode = static_cast<int>(FileHandle::NewFileMode());
    job.plainText = decrypting;
    FileHandle none;
    std::vector<Outcome> lines;
    Transform transform = decrypting ? StandardInputTransform<true> : StandardInputTransform<false>;
    if (WriteTemporary(transform, cipher, none, 0, settings, &job, &lines) &&
        PlacePending(job, settings, job.output.File().Flush(), &lines)) {
        lines.push_back(Outcome{"-", kResultOk});
    }
    return lines;
}

void SetJobOpenedHook(void (*hook)(const std::string& path)) {
    jobOpenedHook = hook;
}

}  // namespace zorv
