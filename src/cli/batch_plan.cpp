#include "cli/batch_plan.h"

#include <map>
#include <set>
#include <utility>

#include "app/path_utils.h"
#include "crypto/file_entries.h"
#include "crypto/leftover_names.h"
#include "crypto/secure_delete.h"

namespace zorv {
namespace {

bool IsLeftover(const std::string& name) {
    return LeftoverKindOf(name.c_str()) != LeftoverKind::kNone;
}

bool IsCrpName(const std::string& path) {
    return MatchPattern(path.c_str(), "*.crp");
}

// Decrypting ".crp" would make a file without a name.
bool IsBareExtension(const std::string& path) {
    return MatchPattern(NameOf(path).c_str(), ".crp");
}

class PlanBuilder {
public:
    PlanBuilder(Command command, bool recursive, bool readOnlyAllowed)
        : command_(command), recursive_(recursive), readOnlyAllowed_(readOnlyAllowed) {}

    void AddInput(const std::string& path) {
        EntryInfo info = QueryEntry(path);
        if (info.isFolder) {
            if (!recursive_ || command_ == Command::kCat) {
                return Refuse(path, kResultFolderWithoutRecursion);
            }
            root_ = path;
            folders_.assign(1, info.identity);
            return WalkFolder(path, FileIdentity{});
        }
        // A source destroyed by a run that was killed may be under a wipe
        // name in this folder now.
        NoteLeftoversBeside(path);
        if (IsLeftover(NameOf(path))) {
            return;  // never an input, even by name
        }
        if (!info.exists) {
            return Refuse(path, kResultFileMissing);
        }
        if (Refused(info)) {
            return Refuse(path, RefusalOf(info));
        }
        if (command_ == Command::kEncrypt) {
            return IsCrpName(path) ? Refuse(path, kResultAlreadyEncrypted) : AddWork(path, info);
        }
        if (IsBareExtension(path)) {
            return Refuse(path, kResultNoName);
        }
        return IsCrpName(path) ? AddWork(path, info) : Refuse(path, kResultNotEncrypted);
    }

    Plan Take() { return std::move(plan_); }

private:
    // Checking reads only, so a read-only file may be checked.
    bool Refused(const EntryInfo& info) const {
        bool readOnlyMatters =
            !readOnlyAllowed_ && (command_ == Command::kEncrypt || command_ == Command::kDecrypt);
        return info.special || (readOnlyMatters && info.readOnly);
    }

    void WalkFolder(const std::string& folder, const FileIdentity& identity) {
        std::vector<FolderEntry> entries;
        if (!ListFolder(folder, identity, &entries)) {
            // An unreadable folder fails the run; one replaced by a symbolic
            // link since its parent was listed adds no line.
            if (!QueryEntry(folder).isLink) {
                Refuse(folder, kResultFolderUnreadable);
            }
            return;
        }
        std::vector<PlanItem> pending;
        for (const FolderEntry& entry : entries) {
            std::string path = JoinFolderAndName(folder, entry.name);
            if (PathLength(path) > kMaxPathBytes) {
                Refuse(path, kResultPathTooLong);
            } else if (entry.info.isLink) {
                Refuse(path, kResultLinkPassedOver);
            } else if (Refused(entry.info)) {
                Refuse(path, RefusalOf(entry.info));
            } else if (entry.info.isFolder) {
                folders_.push_back(entry.info.identity);
                WalkFolder(path, entry.info.identity);
                folders_.pop_back();
            } else if (IsLeftover(entry.name)) {
                NoteLeftover(path);
            } else if (command_ == Command::kEncrypt && IsCrpName(entry.name)) {
                Refuse(path, kResultAlreadyEncrypted);
            } else if (command_ != Command::kEncrypt && IsBareExtension(entry.name)) {
                Refuse(path, kResultNoName);
            } else if (command_ == Command::kEncrypt || IsCrpName(entry.name)) {
                pending.push_back(PlanItem{path, kResultOk, entry.info.size, entry.info.identity,
                                           root_.size(), folders_});
            }  // decrypting: other files are passed over without a line
        }
        for (auto it = pending.rbegin(); it != pending.rend(); ++it) {
            AddWork(*it);
        }
    }

    void NoteLeftover(const std::string& path) {
        if (noted_.insert(path).second) {
            plan_.leftovers.push_back(path);
        }
    }

    // The leftovers in the folder of an input given by name, listed once
    // per folder.
    void NoteLeftoversBeside(const std::string& path) {
        if (command_ != Command::kEncrypt && command_ != Command::kDecrypt) {
            return;  // nothing is written: nothing to finish
        }
        std::string folder = FolderOf(path);
        std::vector<FolderEntry> entries;
        if (!listed_.insert(folder).second ||
            !ListFolder(folder.empty() ? "." : folder, FileIdentity{}, &entries)) {
            return;
        }
        for (const FolderEntry& entry : entries) {
            if (IsLeftover(entry.name) && !entry.info.isFolder && !entry.info.special) {
                NoteLeftover(JoinFolderAndName(folder, entry.name));
            }
        }
    }

    void Refuse(const std::string& path, ResultCode code) {
        plan_.items.push_back(PlanItem{path, code, 0, FileIdentity{}, 0, {}});
    }

    // An input given by name is whatever the name leads to when its job
    // starts, in the folder that its name led to now: the job reaches it
    // through that folder, as a walked file through its own.
    void AddWork(const std::string& path, const EntryInfo& info) {
        PlanItem item{path, kResultOk, info.size, FileIdentity{}, 0, {}};
        std::string folder = FolderOf(path);
        FileIdentity pinned;
        if (QueryIdentity(folder.empty() ? "." : folder, &pinned, true)) {
            item.rootLength = path.size() - NameOf(path).size();
            item.folders.push_back(pinned);
        }
        AddWork(item);
    }

    void AddWork(const PlanItem& item) {
        plan_.items.push_back(item);
        plan_.workCount += 1;
        plan_.workBytes += item.size;
    }

    Command command_;
    bool recursive_;
    bool readOnlyAllowed_;
    Plan plan_;
    std::string root_;                   // the folder being walked, as given
    std::vector<FileIdentity> folders_;  // from root_ down to the folder listed
    std::set<std::string> noted_;        // the leftovers met so far
    std::set<std::string> listed_;       // the folders of named inputs looked at
};

}  // namespace

ResultCode RefusalOf(const EntryInfo& info) {
    if (info.unnamable) {
        return kResultNameNotHandled;
    }
    if (info.isLink) {
        return kResultSymbolicLink;
    }
    if (info.notRegular) {
        return kResultNotRegular;
    }
    if (info.unreadable) {
        return kResultFolderUnreadable;
    }
    return kResultReadOnlyOrSystem;
}

ResultCode WhyNotOpened(const std::string& path) {
    EntryInfo info = QueryEntry(path);
    return info.isLink || info.notRegular ? RefusalOf(info) : kResultOpenFailed;
}

bool IsNotice(ResultCode code) {
    return code == kResultLinkPassedOver || code == kResultGivenAgain ||
           code == kResultLeftoversWiped;
}

bool IsFailure(ResultCode code) {
    return code != kResultOk && !IsNotice(code);
}

Plan BuildPlan(Command command, const std::vector<std::string>& inputs, bool recursive,
               bool readOnlyAllowed) {
    PlanBuilder builder(command, recursive, readOnlyAllowed);
    for (const std::string& input : inputs) {
        builder.AddInput(input);
    }
    return builder.Take();
}

void FinishLeftovers(Plan* plan) {
    if (plan->leftovers.empty()) {
        return;
    }
    std::vector<PlanItem> lines;
    bool anyFinished = false;
    for (const std::string& path : plan->leftovers) {
        if (FinishLeftover(path.c_str())) {
            anyFinished = true;
        } else {
            lines.push_back(PlanItem{path, kResultLeftoverRemains, 0, FileIdentity{}, 0, {}});
        }
    }
    if (anyFinished) {
        std::string folder = FolderOf(plan->leftovers.front());
        lines.insert(
            lines.begin(),
            PlanItem{
                folder.empty() ? "." : folder, kResultLeftoversWiped, 0, FileIdentity{}, 0, {}});
    }
    plan->items.insert(plan->items.begin(), lines.begin(), lines.end());
    plan->leftovers.clear();
}

std::string OutputOf(Command command, const std::string& path, const std::string& output) {
    if (!output.empty()) {
        return output;
    }
    // The plan passes to decryption only names matching *.crp: the last four
    // bytes are the extension (no double-byte character ends in '.').
    return command == Command::kEncrypt ? path + ".crp" : path.substr(0, path.size() - 4);
}

namespace {

using FileKey = std::pair<std::uint64_t, std::uint64_t>;

FileKey KeyOf(const FileIdentity& identity) {
    return FileKey(identity.device, identity.file);
}

using Place = std::pair<FileKey, std::string>;

// Where an output goes: its folder's identity and its name, or its path
// when the folder cannot be looked at. folders: the identities looked up so
// far (a walk has many outputs in each folder).
Place PlaceOf(const std::string& target, std::map<std::string, FileKey>* folders) {
    std::string folder = FolderOf(target);
    auto known = folders->find(folder);
    if (known == folders->end()) {
        FileIdentity identity;
        bool found = QueryIdentity(folder.empty() ? "." : folder, &identity, true);
        known = folders->emplace(folder, found ? KeyOf(identity) : FileKey()).first;
    }
    return known->second == FileKey() ? Place(FileKey(), target)
                                      : Place(known->second, NameOf(target));
}

void Withdraw(PlanItem* item, ResultCode code, Plan* plan) {
    item->refusal = code;
    plan->workCount -= 1;
    plan->workBytes -= item->size;
}

// Passes over each input that is the same file as an earlier one; the
// files of the inputs left.
std::set<FileKey> PassOverRepeats(Plan* plan) {
    std::set<FileKey> inputs;
    for (PlanItem& item : plan->items) {
        FileIdentity identity = item.identity;
        if (item.refusal != kResultOk ||
            (!identity.Known() && !QueryIdentity(item.path, &identity))) {
            continue;
        }
        if (!inputs.insert(KeyOf(identity)).second) {
            Withdraw(&item, kResultGivenAgain, plan);
        }
    }
    return inputs;
}

}  // namespace

void RefuseCollisions(Plan* plan, Command command, const std::string& output) {
    std::set<FileKey> inputs = PassOverRepeats(plan);
    std::map<Place, std::vector<PlanItem*>> places;
    std::map<std::string, FileKey> folders;
    for (PlanItem& item : plan->items) {
        if (item.refusal != kResultOk) {
            continue;
        }
        std::string target = OutputOf(command, item.path, output);
        FileIdentity there;
        if (QueryIdentity(target, &there) && inputs.count(KeyOf(there)) != 0) {
            Withdraw(&item, kResultOutputIsInput, plan);
        } else {
            places[PlaceOf(target, &folders)].push_back(&item);
        }
    }
    for (auto& place : places) {
        for (PlanItem* item : place.second) {
            if (place.second.size() > 1) {
                Withdraw(item, kResultSharedOutput, plan);
            }
        }
    }
}

}  // namespace zorv
