#include "cli/batch_plan.h"

#include "app/path_utils.h"
#include "cli/platform_file.h"

namespace zorv {
namespace {

bool IsCrpName(const std::string& path) {
    return MatchPattern(path.c_str(), "*.crp");
}

class PlanBuilder {
public:
    PlanBuilder(Command command, bool recursive) : command_(command), recursive_(recursive) {}

    void AddInput(const std::string& path) {
        EntryInfo info = QueryEntry(path);
        if (info.isFolder) {
            if (!recursive_ || command_ == Command::kCat) {
                return Refuse(path, kResultFolderWithoutRecursion);
            }
            return WalkFolder(path, FileIdentity{});
        }
        if (!info.exists) {
            return Refuse(path, kResultFileMissing);
        }
        if (Refused(info)) {
            return Refuse(path, kResultReadOnlyOrSystem);
        }
        if (command_ == Command::kEncrypt) {
            return IsCrpName(path) ? Refuse(path, kResultAlreadyEncrypted) : AddWork(path, info);
        }
        return IsCrpName(path) ? AddWork(path, info) : Refuse(path, kResultNotEncrypted);
    }

    Plan Take() { return std::move(plan_); }

private:
    // Checking reads only, so a read-only file may be checked.
    bool Refused(const EntryInfo& info) const {
        bool readOnlyMatters = command_ == Command::kEncrypt || command_ == Command::kDecrypt;
        return info.special || (readOnlyMatters && info.readOnly);
    }

    void WalkFolder(const std::string& folder, const FileIdentity& identity) {
        std::vector<FolderEntry> entries;
        ListFolder(folder, identity, &entries);  // an unreadable folder adds no line
        std::vector<PlanItem> pending;
        for (const FolderEntry& entry : entries) {
            std::string path = JoinFolderAndName(folder, entry.name);
            if (path.size() > kMaxPathBytes) {
                Refuse(path, kResultPathTooLong);
            } else if (Refused(entry.info)) {
                Refuse(path, kResultReadOnlyOrSystem);
            } else if (entry.info.isFolder) {
                WalkFolder(path, entry.info.identity);
            } else if (command_ == Command::kEncrypt && IsCrpName(entry.name)) {
                Refuse(path, kResultAlreadyEncrypted);
            } else if (command_ == Command::kEncrypt || IsCrpName(entry.name)) {
                pending.push_back(PlanItem{path, kResultOk, entry.info.size, entry.info.identity});
            }  // decrypting: other files are passed over without a line
        }
        for (auto it = pending.rbegin(); it != pending.rend(); ++it) {
            AddWork(*it);
        }
    }

    void Refuse(const std::string& path, ResultCode code) {
        plan_.items.push_back(PlanItem{path, code, 0, FileIdentity{}});
    }

    // An input given by name is whatever the name leads to when its job
    // starts.
    void AddWork(const std::string& path, const EntryInfo& info) {
        AddWork(PlanItem{path, kResultOk, info.size, FileIdentity{}});
    }

    void AddWork(const PlanItem& item) {
        plan_.items.push_back(item);
        plan_.workCount += 1;
        plan_.workBytes += item.size;
    }

    Command command_;
    bool recursive_;
    Plan plan_;
};

}  // namespace

Plan BuildPlan(Command command, const std::vector<std::string>& inputs, bool recursive) {
    PlanBuilder builder(command, recursive);
    for (const std::string& input : inputs) {
        builder.AddInput(input);
    }
    return builder.Take();
}

}  // namespace zorv
