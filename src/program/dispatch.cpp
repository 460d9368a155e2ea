#include "program/dispatch.h"

#include "app/path_utils.h"
#include "app/resource_ids.h"

#include <utility>

namespace zorv {
namespace {

constexpr char kEncryptOption[] = "-e";
constexpr char kDecryptOption[] = "-d";
constexpr char kClipboardOption[] = "-c";

bool IsOption(const char* item, const char* option) {
    return EqualTextIgnoringCase(item, option);
}

DispatchDecision Range(DispatchAction action, DispatchList list, int first, int count) {
    DispatchDecision decision;
    decision.action = action;
    decision.list = list;
    decision.first = first;
    decision.count = count;
    return decision;
}

DispatchDecision Message(int id) {
    DispatchDecision decision;
    decision.action = DispatchAction::kMessage;
    decision.messageId = id;
    return decision;
}

DispatchDecision WholeClipboard(const DispatchInput& input, DispatchAction action) {
    if (input.clipboard == nullptr) {
        return Message(IDS_NO_CLIPBOARD_FILES);
    }
    return Range(action, DispatchList::kClipboard, 0, input.clipboardCount);
}

// "-c": the clipboard list's vote decides. encryptOnTie says whether a vote
// of 0 encrypts ("-c" followed by more items) or decrypts ("-c" alone).
DispatchDecision ByClipboardVote(const DispatchInput& input, const PathProbe& probe,
                                 bool encryptOnTie) {
    if (input.clipboard == nullptr) {
        return Message(IDS_NO_CLIPBOARD_FILES);
    }
    int vote = ExtensionVote(input.clipboard, input.clipboardCount, probe.isFolder);
    bool encrypt = vote > 0 || (vote == 0 && encryptOnTie);
    return WholeClipboard(input, encrypt ? DispatchAction::kEncrypt : DispatchAction::kDecrypt);
}

DispatchDecision SingleArgument(const DispatchInput& input, const PathProbe& probe) {
    const char* item = input.arguments[1];
    if (IsOption(item, kClipboardOption)) {
        return ByClipboardVote(input, probe, false);
    }
    if (input.argumentsRefused != nullptr && input.argumentsRefused[1]) {
        DispatchDecision refused = Range(DispatchAction::kMessage, DispatchList::kArguments, 1, 1);
        refused.messageId = IDS_UNHANDLED_NAME;
        return refused;
    }
    if (!probe.exists(item)) {
        DispatchDecision missing = Message(IDS_FILE_NOT_FOUND);
        missing.leftoversBeside = 1;
        return missing;
    }
    if (probe.isFolder(item)) {
        return Range(DispatchAction::kAskMode, DispatchList::kArguments, 1, 1);
    }
    DispatchAction action =
        MatchPattern(item, "*.crp") ? DispatchAction::kDecrypt : DispatchAction::kEncrypt;
    return Range(action, DispatchList::kArguments, 1, 1);
}

DispatchDecision SeveralArguments(const DispatchInput& input, const PathProbe& probe) {
    const char* item1 = input.arguments[1];
    const char* item2 = input.arguments[2];
    int n = input.argumentCount - 1;
    for (auto [option, action] : {std::pair{kDecryptOption, DispatchAction::kDecrypt},
                                  std::pair{kEncryptOption, DispatchAction::kEncrypt}}) {
        if (IsOption(item1, option)) {
            return IsOption(item2, kClipboardOption)
                       ? WholeClipboard(input, action)
                       : Range(action, DispatchList::kArguments, 2, n - 1);
        }
    }
    if (IsOption(item1, kClipboardOption)) {
        return ByClipboardVote(input, probe, true);
    }
    int vote = ExtensionVote(input.arguments + 1, n, probe.isFolder);
    DispatchAction action = vote > 0   ? DispatchAction::kEncrypt
                            : vote < 0 ? DispatchAction::kDecrypt
                                       : DispatchAction::kAskMode;
    return Range(action, DispatchList::kArguments, 1, n);
}

}  // namespace

int ExtensionVote(const char* const* paths, int count, bool (*isFolder)(const char*)) {
    int vote = 0;
    for (int i = 0; i < count; ++i) {
        if (!isFolder(paths[i])) {
            vote += MatchPattern(paths[i], "*.crp") ? -1 : 1;
        }
    }
    return vote;
}

int DecryptTemplateFor(const char* const* paths, int count, bool (*isFolder)(const char*)) {
    return count == 1 && !isFolder(paths[0]) ? IDD_DECRYPT_SINGLE : IDD_DECRYPT_MULTI;
}

DispatchDecision DecideDispatch(const DispatchInput& input, const PathProbe& probe) {
    int n = input.argumentCount - 1;
    if (n <= 0) {
        return DispatchDecision();
    }
    return n == 1 ? SingleArgument(input, probe) : SeveralArguments(input, probe);
}

DispatchDecision ApplyModeChoice(DispatchDecision asked, int choice) {
    asked.action = choice == 0   ? DispatchAction::kNothing
                   : choice == 1 ? DispatchAction::kEncrypt
                                 : DispatchAction::kDecrypt;
    return asked;
}

}  // namespace zorv
