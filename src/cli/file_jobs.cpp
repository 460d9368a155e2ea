#include "cli/file_jobs.h"

#include <algorithm>

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
    return settings.placed != nullptr ? std::unique_lock<std::mutex>(settings.placed->mutex)
                                      : std::unique_lock<std::mutex>();
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
                settings.placed->files.count({there.device, there.file}) != 0;
    return ours ? ResultCode{kResultSharedOutput} : kResultOk;
}

// Whether a regular file (not a folder, a link or a special file) has the
// name target.
bool TakenByRegularFile(const std::string& target) {
    const EntryInfo info = QueryEntry(target);
    return info.exists && !info.isFolder && !info.special;
}

// Destroys a temporary that was not placed (DropOutput); a line when it
// could not be wiped or stays behind, naming a named temporary in the
// folder of the target as the lines show it.
void DropPending(PendingOutput& job, std::vector<Outcome>* lines) {
    const std::string& temporary = job.output.TemporaryPath();
    const std::string shown =
        temporary.empty() ? job.target : JoinFolderAndName(FolderOf(job.target), NameOf(temporary));
    if (!DropOutput(job.output, job.plainText, Interrupted())) {
        lines->push_back(Outcome{shown, kResultDeleteFailed});
    }
    job.registration.reset();
}

// Whether the target's folder, reached through the folder the job holds,
// still has the name that the lines give it. Renamed during the job, it
// gets no output: the report would name a file that is not there. (Reached
// by its name, a renamed folder fails the move by itself.)
bool TargetFolderKeepsItsName(const PendingOutput& job) {
    const std::string folder = FolderOf(job.target);
    FileIdentity now;
    return !job.targetFolder.Known() || (QueryIdentity(folder.empty() ? "." : folder, &now, true) &&
                                         now.SameFile(job.targetFolder));
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
    ResultCode code = settings.replace ? TargetRefusal(job.targetAt, settings) : kResultOk;
    if (code == kResultOk) {
        code = PlaceOutput(job.output, placing, &job.placed);
    }
    if (code == kResultOk && settings.placed != nullptr && job.placed.Known()) {
        settings.placed->files.insert({job.placed.device, job.placed.file});
    }
    return code;
}

// The end of a job whose output is complete. durable: its contents are on
// the disk; otherwise the flush meant to put them there failed (83) or the
// run was interrupted (no line). True once it is in place; otherwise its
// line is added and the temporary destroyed.
bool PlacePending(PendingOutput& job, const JobSettings& settings, bool durable,
                  std::vector<Outcome>* lines) {
    if (!durable) {
        if (!Interrupted()) {
            lines->push_back(Outcome{job.source, kResultWriteFailed});
        }
        DropPending(job, lines);
        return false;
    }
    ResultCode code =
        TargetFolderKeepsItsName(job) ? PlaceLocked(job, settings) : kResultWriteFailed;
    if (code != kResultOk) {
        lines->push_back(Outcome{job.target, job.targetTaken ? kResultFileExists : code});
        DropPending(job, lines);
        return false;
    }
    if (job.output.File().IsOpen()) {
        // Found in place already: the temporary goes as an unplaced one.
        DropPending(job, lines);
    }
    job.registration.reset();  // under its final name now
    return true;
}

// Once the output is placed, and the rename made durable unless the source
// is kept: the source's line, "OK" once the user has interrupted the run.
void FinishPending(const PendingOutput& job, const JobSettings& settings,
                   std::vector<Outcome>* lines) {
    if (Interrupted()) {
        // Interrupted after the move: the output is in place and the source
        // stays as it was.
        lines->push_back(Outcome{job.source, kResultOk});
        return;
    }
    SourceFate fate;
    fate.encrypting = job.encrypting;
    fate.destroy = !settings.keep;
    fate.wipe = !settings.noWipe;
    lines->push_back(
        Outcome{job.source, FinishSource(job.sourceAt, job.read, job.targetAt, job.placed, fate)});
}

// Transforms source (of job->read.size bytes) into job's temporary beside
// its target, and gives it the source's times. True when it is complete; otherwise the failure's
// lines (none when interrupted) are in lines and nothing is left.
bool WriteTemporary(Transform transform, const FileCipher& cipher, const FileHandle& source,
                    const JobSettings& settings, PendingOutput* job, std::vector<Outcome>* lines) {
    ResultCode created = job->output.Create(job->targetAt.c_str());
    if (created != kResultOk) {
        lines->push_back(job->targetTaken ? Outcome{job->target, kResultFileExists}
                                          : Outcome{job->source, created == kResultPathTooLong
                                                                     ? created
                                                                     : kResultNoTemporary});
        return false;
    }
    if (!job->output.TemporaryPath().empty()) {
        // A name that a kill leaves behind: a second signal removes it.
        job->registration = std::make_unique<TemporaryRegistration>(job->output.TemporaryPath());
    }
    ResultCode result =
        transform(cipher, source, job->read.size, job->output.File(), OptionsOf(settings));
    if (result != kResultOk) {
        if (result != kResultInterrupted) {
            lines->push_back(job->targetTaken ? Outcome{job->target, kResultFileExists}
                                              : Outcome{job->source, result});
        }
        DropPending(*job, lines);
        return false;
    }
    if (source.IsOpen()) {
        job->output.File().CopyTimesFrom(source);
    }
    return true;
}

// Ends a job whose output is complete, flushed here unless the caller asked
// for a small one in settings.pending.
std::vector<Outcome> EndJob(std::unique_ptr<PendingOutput> job, const JobSettings& settings,
                            std::vector<Outcome> lines) {
    if (settings.pending != nullptr && job->read.size <= kMaxGroupedBytes) {
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
            SyncFolder(FolderOf(job->targetAt));
        }
        FinishPending(*job, settings, &lines);
    }
    return lines;
}

// Opens and checks the source, writes the temporary, then EndJob. The file
// is reached through its folder, pinned from the folder given on the
// command line down.
std::vector<Outcome> TransformJob(Transform transform, const FileCipher& cipher,
                                  const PlanItem& item, const std::string& target,
                                  const JobSettings& settings) {
    const std::string& path = item.path;
    if (PathLength(target) > kMaxPathBytes || PathLength(NameOf(target)) > kMaxNameBytes) {
        return {Outcome{path, kResultPathTooLong}};
    }
    auto job = std::make_unique<PendingOutput>();
    job->source = job->sourceAt = path;
    job->target = job->targetAt = target;
    if (!item.folders.empty()) {
        job->folder = std::make_shared<PinnedFolder>();
        if (!job->folder->Pin(path, item.rootLength, item.folders)) {
            return {Outcome{path, kResultReplaced}};
        }
        job->sourceAt = job->folder->Reach(NameOf(path));
        if (settings.output.empty()) {
            job->targetAt = job->folder->Reach(NameOf(target));
            job->targetFolder = item.folders.back();
        }
    }
    {
        std::unique_lock<std::mutex> lock = LockPlaced(settings);
        ResultCode taken = TargetRefusal(job->targetAt, settings);
        job->targetTaken = taken == kResultFileExists && TakenByRegularFile(job->targetAt);
        if (taken != kResultOk && !job->targetTaken) {
            return {Outcome{target, taken}};
        }
    }
    // Once the target's name is taken, the job can only end with the output
    // found in place; anything that stops it first is the 71 of a name
    // refused at the start.
    auto refuse = [&](ResultCode code) {
        return std::vector<Outcome>{job->targetTaken ? Outcome{target, kResultFileExists}
                                                     : Outcome{path, code}};
    };
    FileHandle source;
    if (!source.OpenRegularForRead(job->sourceAt.c_str())) {
        return refuse(WhyNotOpened(job->sourceAt));
    }
    if (!source.Identify(&job->read)) {
        return refuse(kResultReadFailed);
    }
    if (item.identity.Known() && !job->read.SameFile(item.identity)) {
        return refuse(kResultReplaced);
    }
    if (job->read.size == 0) {
        return refuse(kResultEmptyFile);
    }
    if (jobOpenedHook != nullptr) {
        jobOpenedHook(path);
    }
    job->mode = static_cast<int>(source.ModeOfCopy());
    job->plainText = transform == DecryptTransform;
    job->encrypting = transform == EncryptTransform;
    std::vector<Outcome> lines;
    bool written = WriteTemporary(transform, cipher, source, settings, job.get(), &lines);
    source.Close();  // Windows deletes no open file
    return written ? EndJob(std::move(job), settings, std::move(lines)) : lines;
}

}  // namespace

std::vector<std::vector<Outcome>> CommitOutputs(
    std::vector<std::unique_ptr<PendingOutput>>& outputs, const JobSettings& settings) {
    std::vector<FileHandle*> files;
    for (const std::unique_ptr<PendingOutput>& job : outputs) {
        files.push_back(&job->output.File());
    }
    bool durable = !Interrupted() && SyncFiles(files);
    std::vector<std::vector<Outcome>> lines(outputs.size());
    std::vector<std::string> folders;
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        if (!PlacePending(*outputs[i], settings, durable, &lines[i])) {
            outputs[i].reset();
            continue;
        }
        std::string folder = FolderOf(outputs[i]->targetAt);
        if (std::find(folders.begin(), folders.end(), folder) == folders.end()) {
            folders.push_back(std::move(folder));
        }
    }
    if (!settings.keep) {
        // The new names must survive a power cut before the sources go.
        for (const std::string& folder : folders) {
            SyncFolder(folder);
        }
    }
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        if (outputs[i] != nullptr) {
            FinishPending(*outputs[i], settings, &lines[i]);
        }
    }
    return lines;
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
    job.source = job.sourceAt = "-";
    job.target = job.targetAt = settings.output;
    job.mode = static_cast<int>(FileHandle::NewFileMode());
    job.plainText = decrypting;
    FileHandle none;
    std::vector<Outcome> lines;
    Transform transform = decrypting ? StandardInputTransform<true> : StandardInputTransform<false>;
    if (WriteTemporary(transform, cipher, none, settings, &job, &lines) &&
        PlacePending(job, settings, job.output.File().Flush(), &lines)) {
        lines.push_back(Outcome{"-", kResultOk});
    }
    return lines;
}

void SetJobOpenedHook(void (*hook)(const std::string& path)) {
    jobOpenedHook = hook;
}

}  // namespace zorv
