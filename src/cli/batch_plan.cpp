#include "cli/batch_plan.h"

#include <map>
#include <set>
#include <utility>

#include "app/path_utils.h"
#include "batch/folder_walk.h"
#include "crypto/file_entries.h"
#include "crypto/leftover_names.h"
#include "crypto/secure_delete.h"

namespace zorv {
namespace {

bool IsLeftover(const std::string& name) {
    return LeftoverKindOf(name.c_str()) != LeftoverKind::kNone;
}

EntryFacts FactsOf(const EntryInfo& info) {
    EntryFacts facts;
    facts.exists = info.exists;
    facts.isFolder = info.isFolder;
    facts.readOnly = info.readOnly;
    facts.special = info.special;
    facts.isLink = info.isLink;
    facts.notRegular = info.notRegular;
    facts.unreadable = info.unreadable;
    facts.unnamable = info.unnamable;
    return facts;
}

// The probe and the receiver of the rules: looks at each input and walks
// each folder (folder_walk.h) through the file seam, and makes the plan's
// items of the decisions.
class PlanBuilder {
public:
    // An entry met by the walk, or the folder given on the command line.
    struct Entry {
        std::string path;
        EntryInfo info;
        bool given = false;  // the folder named on the command line
    };

    PlanBuilder(Command command, bool recursive, bool readOnlyAllowed)
        : rules_(CliRules(command, recursive, readOnlyAllowed)) {}

    void AddInput(const std::string& path) {
        EntryInfo info = QueryEntry(path);
        if (!info.isFolder) {
            // A source destroyed by a run that was killed may be under a
            // wipe name in this folder now.
            NoteLeftoversBeside(path);
        }
        const Decision decision = DecideInput(rules_, NameOf(path).c_str(), FactsOf(info));
        switch (decision.verdict) {
            case Verdict::kWalk:
                root_ = path;
                folders_.clear();
                return WalkFolderTree(rules_, *this, Entry{path, info, true});
            case Verdict::kWork:
                return AddWork(path, info);
            case Verdict::kRefuse:
                return Refuse(path, decision.code);
            case Verdict::kSilent:
            case Verdict::kLeftover:
                return;
        }
    }

    Plan Take() { return std::move(plan_); }

    // The walk's side (folder_walk.h). A folder is listed only when it is
    // still the one its parent's listing found (the one given: whatever its
    // name leads to).
    template <class Each>
    ResultCode List(const Entry& folder, Each each) {
        std::vector<FolderEntry> entries;
        if (!ListFolder(folder.path, folder.given ? FileIdentity{} : folder.info.identity,
                        &entries)) {
            // An unreadable folder fails the run; one replaced by a symbolic
            // link since its parent was listed adds no line.
            return QueryEntry(folder.path).isLink ? kPassOver : kResultFolderUnreadable;
        }
        for (FolderEntry& found : entries) {
            Entry entry{JoinFolderAndName(folder.path, found.name), found.info, false};
            EntryFacts facts = FactsOf(found.info);
            facts.tooLong = PathLength(entry.path) > kMaxPathBytes;
            each(std::move(entry), found.name.c_str(), facts);
        }
        return kResultOk;
    }
    void Enter(const Entry& folder) { folders_.push_back(folder.info.identity); }
    void Leave() { folders_.pop_back(); }
    void Refuse(const Entry& entry, ResultCode code) { Refuse(entry.path, code); }
    void Leftover(const Entry& entry) { NoteLeftover(entry.path); }
    void Listed(const std::vector<Entry>&) {}  // finished before any job
    void Work(const Entry& entry) {
        AddWork(PlanItem{entry.path, kResultOk, entry.info.size, entry.info.identity, root_.size(),
                         folders_});
    }

private:
    void NoteLeftover(const std::string& path) {
        if (noted_.insert(path).second) {
            plan_.leftovers.push_back(path);
        }
    }

    // The leftovers in the folder of an input given by name, listed once
    // per folder.
    void NoteLeftoversBeside(const std::string& path) {
        if (rules_.command != Command::kEncrypt && rules_.command != Command::kDecrypt) {
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

    InputRules rules_;
    Plan plan_;
    std::string root_;                   // the folder being walked, as given
    std::vector<FileIdentity> folders_;  // from root_ down to the folder listed
    std::set<std::string> noted_;        // the leftovers met so far
    std::set<std::string> listed_;       // the folders of named inputs looked at
};

}  // namespace

ResultCode RefusalOf(const EntryInfo& info) {
    return RefusalOf(InputRules{}, FactsOf(info));
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
    const std::string* firstFinished = nullptr;
    for (const std::string& path : plan->leftovers) {
        // A file another live run holds is passed over without a line.
        switch (FinishLeftoverFile(path.c_str())) {
            case LeftoverFinish::kFinished:
                firstFinished = firstFinished != nullptr ? firstFinished : &path;
                break;
            case LeftoverFinish::kPassedOver:
                break;
            case LeftoverFinish::kFailed:
                lines.push_back(PlanItem{path, kResultLeftoverRemains, 0, FileIdentity{}, 0, {}});
                break;
        }
    }
    if (firstFinished != nullptr) {
        std::string folder = FolderOf(*firstFinished);
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
