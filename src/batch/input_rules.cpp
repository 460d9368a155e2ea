#include "batch/input_rules.h"

#include "app/path_utils.h"
#include "crypto/leftover_names.h"

namespace zorv {
namespace {

bool IsCrpName(const char* name) {
    return MatchPattern(name, "*.crp");
}

bool IsLeftover(const char* name) {
    return LeftoverKindOf(name) != LeftoverKind::kNone;
}

bool Writes(Command command) {
    return command == Command::kEncrypt || command == Command::kDecrypt;
}

// Special entries are never sources; a read-only one only where nothing is
// written to it.
bool Refused(const InputRules& rules, const EntryFacts& facts) {
    const bool readOnlyMatters = !rules.readOnlyAllowed && Writes(rules.command);
    return facts.special || (readOnlyMatters && facts.readOnly);
}

Decision Refuse(ResultCode code) {
    return Decision{Verdict::kRefuse, code};
}

// The rules on a file's name, the same for an input and a walked file;
// other: what decryption does with a name without ".crp".
Decision ByName(const InputRules& rules, const char* name, Decision other) {
    if (rules.command == Command::kEncrypt) {
        return IsCrpName(name) ? Refuse(kResultAlreadyEncrypted) : Decision{Verdict::kWork};
    }
    // Decrypting ".crp" would make a file without a name.
    if (rules.refuseBareExtension && MatchPattern(name, ".crp")) {
        return Refuse(kResultNoName);
    }
    return IsCrpName(name) ? Decision{Verdict::kWork} : other;
}

}  // namespace

InputRules CliRules(Command command, bool recursive, bool readOnlyAllowed) {
    InputRules rules;
    rules.command = command;
    rules.walkFolders = recursive && command != Command::kCat;
    rules.readOnlyAllowed = readOnlyAllowed;
    rules.passOverLeftoverInput = true;
    rules.refuseBareExtension = true;
    return rules;
}

InputRules DesktopRules(Command command) {
    InputRules rules;
    rules.command = command;
    rules.nameFirst = command == Command::kDecrypt;
    rules.unnamableCode = kResultUnhandledName;
    return rules;
}

ResultCode RefusalOf(const InputRules& rules, const EntryFacts& facts) {
    if (facts.unnamable) {
        return rules.unnamableCode;
    }
    if (facts.isLink) {
        return kResultSymbolicLink;
    }
    if (facts.notRegular) {
        return kResultNotRegular;
    }
    if (facts.unreadable) {
        return kResultFolderUnreadable;
    }
    return kResultReadOnlyOrSystem;
}

Decision DecideInput(const InputRules& rules, const char* name, const EntryFacts& facts) {
    if (rules.nameFirst && (facts.tooLong || !facts.exists)) {
        return Refuse(facts.tooLong ? kResultPathTooLong : kResultFileMissing);
    }
    if (facts.isFolder) {
        return rules.walkFolders ? Decision{Verdict::kWalk} : Refuse(kResultFolderWithoutRecursion);
    }
    if (rules.passOverLeftoverInput && IsLeftover(name)) {
        return Decision{Verdict::kSilent};  // never an input, even by name
    }
    if (!facts.exists) {
        return Refuse(kResultFileMissing);
    }
    if (facts.noAttributes) {
        // Found by a search (a name with wildcards) but no single file:
        // encryption calls it missing, the others refuse it as they would
        // a system file.
        return Refuse(rules.command == Command::kEncrypt ? kResultFileMissing
                                                         : kResultReadOnlyOrSystem);
    }
    if (Refused(rules, facts)) {
        return Refuse(RefusalOf(rules, facts));
    }
    return ByName(rules, name, Refuse(kResultNotEncrypted));
}

Decision DecideWalkedEntry(const InputRules& rules, const char* name, const EntryFacts& facts) {
    if (facts.tooLong) {
        return Refuse(kResultPathTooLong);
    }
    if (facts.unnamable) {
        return Refuse(rules.unnamableCode);
    }
    if (facts.isLink) {
        return Refuse(kResultLinkPassedOver);
    }
    if (Refused(rules, facts)) {
        return Refuse(RefusalOf(rules, facts));
    }
    if (facts.isFolder) {
        return Decision{Verdict::kWalk};
    }
    if (IsLeftover(name)) {
        return Decision{Verdict::kLeftover};
    }
    return ByName(rules, name, Decision{Verdict::kSilent});
}

}  // namespace zorv
