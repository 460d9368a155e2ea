// The dispatch table, row by row, over made-up paths: names starting with
// "dir" are folders, names containing "missing" or starting with "-" do not
// exist, everything else is an existing file.
#include "program/dispatch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "app/resource_ids.h"

namespace zorv {
namespace {

bool FakeExists(const char* path) {
    return path[0] != '-' && std::strstr(path, "missing") == nullptr;
}
bool FakeFolder(const char* path) {
    return std::strncmp(path, "dir", 3) == 0;
}
const PathProbe kProbe{FakeExists, FakeFolder};

using A = DispatchAction;
using L = DispatchList;

struct Row {
    std::vector<const char*> items;  // after the program path
    bool clipboard;                  // a clipboard list exists
    std::vector<const char*> clip;
    A action;
    L list;
    int first;
    int count;
    int message;
    int refused = 0;    // index of an argument the splitter refused (0: none)
    int leftovers = 0;  // the argument beside which leftovers are finished (0: none)
};

std::string Describe(const Row& row) {
    std::string text = "items:";
    for (const char* item : row.items) {
        text += std::string(" [") + item + "]";
    }
    if (row.clipboard) {
        text += "  clipboard:";
        for (const char* name : row.clip) {
            text += std::string(" [") + name + "]";
        }
    }
    return text;
}

DispatchDecision Decide(const Row& row) {
    std::vector<const char*> arguments = {"C:\\zorv\\zorv.exe"};
    arguments.insert(arguments.end(), row.items.begin(), row.items.end());
    static bool refused[8];
    std::fill(std::begin(refused), std::end(refused), false);
    refused[row.refused] = true;
    DispatchInput input;
    input.arguments = arguments.data();
    input.argumentsRefused = row.refused != 0 ? refused : nullptr;
    input.argumentCount = static_cast<int>(arguments.size());
    if (row.clipboard) {
        // An empty list still has a (non-null) block.
        static const char* const kNoNames[1] = {nullptr};
        input.clipboard = row.clip.empty() ? kNoNames : row.clip.data();
        input.clipboardCount = static_cast<int>(row.clip.size());
    }
    return DecideDispatch(input, kProbe);
}

TEST(Dispatch, EveryRowOfTheTable) {
    const std::vector<const char*> tie = {"a.doc", "b.crp"};
    const Row rows[] = {
        // No arguments.
        {{}, false, {}, A::kSettings, L::kNone, 0, 0, 0},
        // One argument.
        {{"report.doc"}, false, {}, A::kEncrypt, L::kArguments, 1, 1, 0},
        {{"Report.CRP"}, false, {}, A::kDecrypt, L::kArguments, 1, 1, 0},
        // No batch follows: the leftovers beside it are finished first.
        {{"missing.doc"}, false, {}, A::kMessage, L::kNone, 0, 0, IDS_FILE_NOT_FOUND, 0, 1},
        {{"dir"}, false, {}, A::kAskMode, L::kArguments, 1, 1, 0},
        {{"dir.crp"}, false, {}, A::kAskMode, L::kArguments, 1, 1, 0},
        // A refused name (its text is the shown form) is named in message
        // 58 before anything is asked about it; "caf?.txt" would find
        // cafe.txt as a pattern.
        {{"caf?.txt"}, false, {}, A::kMessage, L::kArguments, 1, 1, IDS_UNHANDLED_NAME, 1},
        {{"r?sum?.crp"}, false, {}, A::kMessage, L::kArguments, 1, 1, IDS_UNHANDLED_NAME, 1},
        {{"-d", "caf?.crp"}, false, {}, A::kDecrypt, L::kArguments, 2, 1, 0, 2},
        {{"caf?.crp", "x.crp"}, false, {}, A::kDecrypt, L::kArguments, 1, 2, 0, 1},
        // "-e" and "-d" alone are paths.
        {{"-e"}, false, {}, A::kMessage, L::kNone, 0, 0, IDS_FILE_NOT_FOUND, 0, 1},
        {{"-D"}, false, {}, A::kMessage, L::kNone, 0, 0, IDS_FILE_NOT_FOUND, 0, 1},
        // "-c" alone: the clipboard's vote, a tie decrypts.
        {{"-c"}, false, {}, A::kMessage, L::kNone, 0, 0, IDS_NO_CLIPBOARD_FILES},
        {{"-C"}, true, tie, A::kDecrypt, L::kClipboard, 0, 2, 0},
        {{"-c"}, true, {"a.doc"}, A::kEncrypt, L::kClipboard, 0, 1, 0},
        {{"-c"}, true, {"dir1", "dir2"}, A::kDecrypt, L::kClipboard, 0, 2, 0},
        {{"-c"}, true, {}, A::kDecrypt, L::kClipboard, 0, 0, 0},
        // "-d" and "-e" with "-c" or paths.
        {{"-d", "-c"}, true, tie, A::kDecrypt, L::kClipboard, 0, 2, 0},
        {{"-D", "-C", "ignored"}, true, {"a.doc"}, A::kDecrypt, L::kClipboard, 0, 1, 0},
        {{"-d", "-c"}, false, {}, A::kMessage, L::kNone, 0, 0, IDS_NO_CLIPBOARD_FILES},
        {{"-d", "x.crp"}, false, {}, A::kDecrypt, L::kArguments, 2, 1, 0},
        {{"-d", "dir"}, false, {}, A::kDecrypt, L::kArguments, 2, 1, 0},
        {{"-d", "x.crp", "missing.doc"}, false, {}, A::kDecrypt, L::kArguments, 2, 2, 0},
        {{"-e", "-c"}, true, {"b.crp"}, A::kEncrypt, L::kClipboard, 0, 1, 0},
        {{"-E", "-c"}, false, {}, A::kMessage, L::kNone, 0, 0, IDS_NO_CLIPBOARD_FILES},
        {{"-e", "x.crp", "dir"}, false, {}, A::kEncrypt, L::kArguments, 2, 2, 0},
        // "-c" with more items: the clipboard's vote, a tie encrypts.
        {{"-c", "x"}, true, tie, A::kEncrypt, L::kClipboard, 0, 2, 0},
        {{"-c", "x", "y"}, true, {"b.crp"}, A::kDecrypt, L::kClipboard, 0, 1, 0},
        {{"-c", "x"}, true, {}, A::kEncrypt, L::kClipboard, 0, 0, 0},
        {{"-c", "x"}, false, {}, A::kMessage, L::kNone, 0, 0, IDS_NO_CLIPBOARD_FILES},
        // Paths: the vote over items 1..N; nothing checks existence.
        {{"a.doc", "b.doc", "c.crp"}, false, {}, A::kEncrypt, L::kArguments, 1, 3, 0},
        {{"a.doc", "c.CRP"}, false, {}, A::kAskMode, L::kArguments, 1, 2, 0},
        {{"dir1", "dir2"}, false, {}, A::kAskMode, L::kArguments, 1, 2, 0},
        {{"c.crp", "d.crp"}, false, {}, A::kDecrypt, L::kArguments, 1, 2, 0},
        {{"missing.doc", "x.crp", "y.crp"}, false, {}, A::kDecrypt, L::kArguments, 1, 3, 0},
        {{"dir.crp", "a.doc"}, false, {}, A::kEncrypt, L::kArguments, 1, 2, 0},
        {{"-x", "a.crp"}, false, {}, A::kAskMode, L::kArguments, 1, 2, 0},
        {{"a.doc", "-c"}, true, {"b.crp"}, A::kEncrypt, L::kArguments, 1, 2, 0},
        {{"a.doc", "-e", "-d"}, false, {}, A::kEncrypt, L::kArguments, 1, 3, 0},
    };
    for (const Row& row : rows) {
        DispatchDecision decision = Decide(row);
        SCOPED_TRACE(Describe(row));
        EXPECT_EQ(static_cast<int>(decision.action), static_cast<int>(row.action));
        EXPECT_EQ(decision.leftoversBeside, row.leftovers);
        if (row.action == A::kMessage) {
            EXPECT_EQ(decision.messageId, row.message);
            EXPECT_EQ(static_cast<int>(decision.list), static_cast<int>(row.list));
            EXPECT_EQ(decision.first, row.first);
        } else if (row.action != A::kSettings) {
            EXPECT_EQ(static_cast<int>(decision.list), static_cast<int>(row.list));
            EXPECT_EQ(decision.first, row.first);
            EXPECT_EQ(decision.count, row.count);
        }
    }
}

TEST(Dispatch, ExtensionVote) {
    const struct {
        std::vector<const char*> paths;
        int vote;
    } cases[] = {
        {{}, 0},
        {{"dir", "dir.crp"}, 0},
        {{"a.doc", "b.crp", "C.CRP", "missing.crp"}, -2},
        {{".crp"}, -1},
        {{"a.crp.doc", "a.crpx", "acrp"}, 3},
        {{"\x95\x5C.crp", "\x82\xA0\x82\xA2.Crp"}, -2},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExtensionVote(c.paths.data(), static_cast<int>(c.paths.size()), FakeFolder),
                  c.vote);
    }
}

TEST(Dispatch, DecryptTemplateAndModeChoice) {
    const char* const file[] = {"a.crp"};
    const char* const folder[] = {"dir"};
    const char* const two[] = {"a.crp", "b.crp"};
    EXPECT_EQ(DecryptTemplateFor(file, 1, FakeFolder), IDD_DECRYPT_SINGLE);
    EXPECT_EQ(DecryptTemplateFor(folder, 1, FakeFolder), IDD_DECRYPT_MULTI);
    EXPECT_EQ(DecryptTemplateFor(two, 2, FakeFolder), IDD_DECRYPT_MULTI);
    EXPECT_EQ(DecryptTemplateFor(file, 0, FakeFolder), IDD_DECRYPT_MULTI);

    DispatchDecision asked;
    asked.action = A::kAskMode;
    asked.list = L::kArguments;
    asked.first = 1;
    asked.count = 2;
    const struct {
        int choice;
        A action;
    } choices[] = {{0, A::kNothing}, {1, A::kEncrypt}, {2, A::kDecrypt}, {-1, A::kDecrypt}};
    for (const auto& c : choices) {
        DispatchDecision decided = ApplyModeChoice(asked, c.choice);
        EXPECT_EQ(static_cast<int>(decided.action), static_cast<int>(c.action)) << c.choice;
        EXPECT_EQ(decided.first, 1);
        EXPECT_EQ(decided.count, 2);
    }
}

}  // namespace
}  // namespace zorv
