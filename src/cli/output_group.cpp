#include "cli/output_group.h"

#include <cstdio>

#include "cli/batch_plan.h"
#include "cli/interrupt.h"
#include "crypto/file_entries.h"
#include "crypto/secure_delete.h"

namespace zorv {
namespace {

void AddUnique(std::vector<std::string>* list, const std::string& item) {
    for (const std::string& known : *list) {
        if (known == item) {
            return;
        }
    }
    list->push_back(item);
}

}  // namespace

void OutputGroup::Add(PendingOutput output) {
    std::lock_guard<std::mutex> lock(mutex_);
    pending_.push_back(std::move(output));
}

std::size_t OutputGroup::Size() {
    std::lock_guard<std::mutex> lock(mutex_);
    return pending_.size();
}

std::vector<SlotLines> OutputGroup::Commit(const JobSettings& settings) {
    std::vector<PendingOutput> group;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        group.swap(pending_);
    }
    std::vector<SlotLines> result;
    std::vector<FileHandle*> files;
    for (PendingOutput& output : group) {
        files.push_back(&output.output->File());
    }
    bool interrupted = Interrupted();
    bool durable = !interrupted && SyncFiles(files);
    std::vector<std::string> folders;
    std::vector<bool> placed(group.size(), false);
    std::vector<FileIdentity> outputs(group.size());
    for (std::size_t i = 0; i < group.size(); ++i) {
        PendingOutput& output = group[i];
        result.emplace_back(output.slot, std::vector<Outcome>());
        std::vector<Outcome>& lines = result.back().second;
        ResultCode code = durable ? PlaceOutput(*output.output, settings, output.mode, &outputs[i])
                                  : kResultWriteFailed;
        if (code != kResultOk) {
            if (!interrupted) {
                lines.push_back(Outcome{durable ? output.names.target : output.names.source, code});
            }
            DestroyTemporary(*output.output, output.names.target, output.plainText, &lines);
            output.registration.reset();
            continue;
        }
        output.registration.reset();  // under its final name now
        placed[i] = true;
        AddUnique(&folders, FolderOf(output.names.targetAt));
    }
    if (!settings.keep) {
        // The new names must survive a power cut before the sources go.
        for (const std::string& folder : folders) {
            SyncFolder(folder);
        }
    }
    for (std::size_t i = 0; i < group.size(); ++i) {
        if (placed[i]) {
            const PendingOutput& output = group[i];
            FinishSource(output.encrypting, output.names, output.read, outputs[i], settings,
                         &result[i].second);
        }
    }
    return result;
}

void DestroyTemporary(VanishingFile& output, const std::string& shownTarget, bool plainText,
                      std::vector<Outcome>* lines) {
    const std::string shown =
        output.TemporaryPath().empty()
            ? shownTarget
            : JoinFolderAndName(FolderOf(shownTarget), NameOf(output.TemporaryPath()));
    bool wiped = true;
    if (plainText && output.File().IsOpen()) {
        wiped = Interrupted() ? WipeOpenFileOnce(output.File()) : WipeOpenFile(output.File());
    }
    if (!output.Discard() || !wiped) {
        lines->push_back(Outcome{shown, kResultDeleteFailed});
    }
}

bool PlacedOutputs::Contains(const FileIdentity& file) const {
    return files_.count({file.device, file.file}) != 0;
}

void PlacedOutputs::Add(const FileIdentity& file) {
    files_.insert({file.device, file.file});
}

namespace {

std::unique_lock<std::mutex> LockPlaced(const JobSettings& settings) {
    return settings.placed != nullptr ? settings.placed->Lock() : std::unique_lock<std::mutex>();
}

// TargetRefusal with the run's outputs locked.
ResultCode TargetRefusalLocked(const std::string& target, const JobSettings& settings) {
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

}  // namespace

ResultCode TargetRefusal(const std::string& target, const JobSettings& settings) {
    std::unique_lock<std::mutex> lock = LockPlaced(settings);
    return TargetRefusalLocked(target, settings);
}

ResultCode PlaceOutput(VanishingFile& output, const JobSettings& settings, int mode,
                       FileIdentity* placed) {
    // The name may have changed hands since the job began: looked at again,
    // and taken, under the lock.
    std::unique_lock<std::mutex> lock = LockPlaced(settings);
    if (!output.File().Identify(placed)) {
        return kResultWriteFailed;
    }
    VanishingFile::Placing placing;
    placing.flushed = true;
    placing.replace = settings.replace;
    placing.mode = mode;
    ResultCode code = kResultOk;
    if (settings.replace) {
        code = TargetRefusalLocked(output.FinalPath(), settings);
    }
    if (code == kResultOk) {
        code = output.Place(placing);
    }
    if (code == kResultOk && settings.placed != nullptr) {
        settings.placed->Add(*placed);
    }
    return code;
}

namespace {

void (*jobCheckHook)(const std::string&) = nullptr;

// Destroys the source, provided the wipe opens the file that was read.
ResultCode DestroySource(const std::string& path, const FileIdentity& read,
                         const JobSettings& settings) {
    if (settings.noWipe) {
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

void SetJobCheckHook(void (*hook)(const std::string& path)) {
    jobCheckHook = hook;
}

void FinishSource(bool encrypting, const JobNames& names, const FileIdentity& read,
                  const FileIdentity& placed, const JobSettings& settings,
                  std::vector<Outcome>* lines) {
    const std::string& path = names.source;
    if (jobCheckHook != nullptr) {
        jobCheckHook(path);
    }
    if (Interrupted() || (settings.keep && !encrypting)) {
        // Interrupted after the move: the output is in place and the source
        // stays as it was.
        lines->push_back(Outcome{path, kResultOk});
        return;
    }
    FileIdentity now;
    if (!QueryIdentity(names.sourceAt, &now) || !now.SameState(read)) {
        if (encrypting) {
            // Made from contents that are no longer the file's: it must not
            // pass for a complete copy. It holds only cipher text. Only
            // while the name still holds it: another file may have taken it.
            FileIdentity output;
            if (QueryIdentity(names.targetAt, &output) && output.SameFile(placed)) {
                RemoveFile(names.targetAt);
            }
            lines->push_back(Outcome{path, kResultSourceChanged});
        } else {
            lines->push_back(Outcome{path, kResultDeleteFailed});
        }
        return;
    }
    lines->push_back(
        Outcome{path, settings.keep ? kResultOk : DestroySource(names.sourceAt, read, settings)});
}

}  // namespace zorv
