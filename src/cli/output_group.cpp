#include "cli/output_group.h"

#include <cstdio>

#include "cli/interrupt.h"
#include "cli/platform_file.h"
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
    std::vector<std::string> temporaries;
    for (const PendingOutput& output : group) {
        temporaries.push_back(output.temporary);
    }
    bool interrupted = Interrupted();
    bool durable = !interrupted && SyncFiles(temporaries);
    std::vector<std::string> folders;
    std::vector<bool> placed(group.size(), false);
    for (std::size_t i = 0; i < group.size(); ++i) {
        const PendingOutput& output = group[i];
        result.emplace_back(output.slot, std::vector<Outcome>());
        std::vector<Outcome>& lines = result.back().second;
        ResultCode code =
            durable ? PlaceOutput(output.temporary, output.target, settings) : kResultWriteFailed;
        if (code != kResultOk) {
            if (!interrupted) {
                lines.push_back(Outcome{durable ? output.target : output.path, code});
            }
            DestroyTemporary(output.temporary, output.plainText, &lines);
            continue;
        }
        placed[i] = true;
        AddUnique(&folders, FolderOf(output.target));
    }
    if (!settings.keep) {
        // The new names must survive a power cut before the sources go.
        for (const std::string& folder : folders) {
            SyncFolder(folder);
        }
    }
    for (std::size_t i = 0; i < group.size(); ++i) {
        if (placed[i]) {
            result[i].second.push_back(FinishSource(group[i].path, settings));
        }
    }
    return result;
}

void DestroyTemporary(const std::string& temporary, bool plainText, std::vector<Outcome>* lines) {
    // A decryption's temporary may hold plain text and is wiped. An
    // encryption's only ever receives cipher text (the same bytes a finished
    // run leaves on the disk), so it is simply removed: wiping costs 24
    // synchronous passes, and an interrupted run over a large file should
    // end promptly.
    bool removed = plainText ? SecureDelete(temporary.c_str()) : RemoveFile(temporary);
    if (!removed) {
        lines->push_back(Outcome{temporary, kResultDeleteFailed});
    }
}

ResultCode PlaceOutput(const std::string& temporary, const std::string& target,
                       const JobSettings& settings) {
    return settings.replace ? RenameReplace(temporary, target) : RenameNoReplace(temporary, target);
}

Outcome FinishSource(const std::string& path, const JobSettings& settings) {
    // Interrupted after the move: the output is in place and the source
    // stays as it was.
    if (settings.keep || Interrupted()) {
        return Outcome{path, kResultOk};
    }
    bool destroyed = settings.noWipe ? RemoveFile(path) : SecureDelete(path.c_str());
    return Outcome{path, destroyed ? kResultOk : kResultDeleteFailed};
}

}  // namespace zorv
