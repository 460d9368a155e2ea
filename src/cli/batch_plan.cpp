#include "cli/batch_plan.h"

#include "app/path_utils.h"
#include "cli/platform_file.h"

namespace zorv {
namespace {

bool IsCrpName(const std::string& path) {
    return MatchPattern(path.c_str(), "*.crp");
}

// Decrypting ".crp" would make a file without a name.
bool IsBareExtension(const std::string& path) {
    return MatchPattern(NameOf(path).c_str(), ".crp");
}

// Why an entry that is not a plain file or folder, or a read-only one, is
// refused.
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
    return kResultReadOnlyOrSystem;
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

    void Refuse(const std::string& path, ResultCode code) {
        plan_.items.push_back(PlanItem{path, code, 0, FileIdentity{}, 0, {}});
    }

    // An input given by name is whatever the name leads to when its job
    // starts.
    void AddWork(const std::string& path, const EntryInfo& info) {
        AddWork(PlanItem{path, kResultOk, info.size, FileIdentity{}, 0, {}});
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
};

}  // namespace

ResultCode WhyNotOpened(const std::string& path) {
    EntryInfo info = QueryEntry(path);
    return info.isLink || info.notRegular ? RefusalOf(info) : kResultOpenFailed;
}

bool IsNotice(ResultCode code) {
    return code == kResultLinkPassedOver;
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

}  // namespace zorv
