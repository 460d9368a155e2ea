// The input rules of both programs, row by row from the facts a probe would
// give, and the walk order over a fake listing.
#include "batch/input_rules.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "batch/folder_walk.h"

namespace zorv {
namespace {

// The facts of the rows, by letter: e exists, f folder, r read-only,
// s special, l link, n not regular, u unreadable, x unnamable, t too long,
// a found without attributes (a link, a pipe and an unnamable entry are
// special).
EntryFacts Facts(const std::string& letters) {
    const auto has = [&letters](char c) { return letters.find(c) != std::string::npos; };
    EntryFacts facts;
    facts.exists = has('e');
    facts.isFolder = has('f');
    facts.readOnly = has('r');
    facts.isLink = has('l');
    facts.notRegular = has('n');
    facts.unreadable = has('u');
    facts.unnamable = has('x');
    facts.special = has('s') || has('l') || has('n') || has('x');
    facts.tooLong = has('t');
    facts.noAttributes = has('a');
    return facts;
}

const InputRules kCliEncrypt = CliRules(Command::kEncrypt, true, false);
const InputRules kCliDecrypt = CliRules(Command::kDecrypt, true, false);
const InputRules kCliKeep = CliRules(Command::kEncrypt, true, true);  // -c
const InputRules kCliFlat = CliRules(Command::kEncrypt, false, false);
const InputRules kCliVerify = CliRules(Command::kVerify, true, false);
const InputRules kCliCat = CliRules(Command::kCat, true, false);
const InputRules kDesktopEncrypt = DesktopRules(Command::kEncrypt);
const InputRules kDesktopDecrypt = DesktopRules(Command::kDecrypt);

struct Row {
    const InputRules* rules;
    const char* name;
    const char* facts;
    Verdict verdict;
    ResultCode code;
};

constexpr Verdict kWork = Verdict::kWork;
constexpr Verdict kWalk = Verdict::kWalk;
constexpr Verdict kRefuse = Verdict::kRefuse;
constexpr Verdict kSilent = Verdict::kSilent;
constexpr Verdict kLeft = Verdict::kLeftover;

void Check(Decision (*decide)(const InputRules&, const char*, const EntryFacts&),
           const std::vector<Row>& rows) {
    int index = 0;
    for (const Row& row : rows) {
        const Decision decision = decide(*row.rules, row.name, Facts(row.facts));
        EXPECT_EQ(decision.verdict, row.verdict) << "row " << index << " " << row.name;
        if (row.verdict == kRefuse) {
            EXPECT_EQ(decision.code, row.code) << "row " << index << " " << row.name;
        }
        ++index;
    }
}

TEST(InputRules, AnInputNamedByTheUser) {
    const std::vector<Row> rows = {
        // A folder: walked with -r (never by cat), and by the desktop.
        {&kCliEncrypt, "dir", "ef", kWalk, 0},
        {&kCliFlat, "dir", "ef", kRefuse, kResultFolderWithoutRecursion},
        {&kCliCat, "dir", "ef", kRefuse, kResultFolderWithoutRecursion},
        {&kDesktopDecrypt, "dir", "ef", kWalk, 0},
        // A drive's root, which the search does not find: decryption
        // checks the name first; the same goes for a long path.
        {&kDesktopDecrypt, "C:\\", "f", kRefuse, kResultFileMissing},
        {&kDesktopEncrypt, "C:\\", "f", kWalk, 0},
        {&kDesktopDecrypt, "a.crp", "et", kRefuse, kResultPathTooLong},
        {&kDesktopEncrypt, "a.txt", "et", kWork, 0},
        // A leftover by name: passed over by zorv-cli even when missing.
        {&kCliEncrypt, ".zorv-0123abcd.tmp", "", kSilent, 0},
        {&kDesktopEncrypt, ".zorv-0123abcd.tmp", "e", kWork, 0},
        {&kCliEncrypt, "missing", "", kRefuse, kResultFileMissing},
        // Found without attributes (wildcards): no single file.
        {&kDesktopEncrypt, "*.txt", "ea", kRefuse, kResultFileMissing},
        {&kDesktopDecrypt, "*.crp", "ea", kRefuse, kResultReadOnlyOrSystem},
        // Read-only matters where a run writes to or removes it.
        {&kCliEncrypt, "ro.txt", "er", kRefuse, kResultReadOnlyOrSystem},
        {&kCliKeep, "ro.txt", "er", kWork, 0},
        {&kDesktopEncrypt, "sys.txt", "es", kRefuse, kResultReadOnlyOrSystem},
        // Special files, for every command.
        {&kCliVerify, "link.crp", "el", kRefuse, kResultSymbolicLink},
        {&kCliKeep, "fifo", "en", kRefuse, kResultNotRegular},
        {&kCliCat, "dev.crp", "es", kRefuse, kResultReadOnlyOrSystem},
        {&kCliEncrypt, "bad?name", "ex", kRefuse, kResultNameNotHandled},
        // The names.
        {&kCliEncrypt, "d.crp", "e", kRefuse, kResultAlreadyEncrypted},
        {&kCliEncrypt, "a.txt", "e", kWork, 0},
        {&kCliDecrypt, ".crp", "e", kRefuse, kResultNoName},
        {&kDesktopDecrypt, ".crp", "e", kWork, 0},
        {&kCliDecrypt, "a.txt", "e", kRefuse, kResultNotEncrypted},
        {&kCliCat, "d.crp", "e", kWork, 0},
    };
    Check(DecideInput, rows);
}

TEST(InputRules, AnEntryMetInAWalk) {
    const std::vector<Row> rows = {
        {&kCliEncrypt, "sub", "eft", kRefuse, kResultPathTooLong},
        {&kCliEncrypt, "bad", "ex", kRefuse, kResultNameNotHandled},
        {&kDesktopEncrypt, "bad", "ex", kRefuse, kResultUnhandledName},
        // A link is a notice, never followed, not even by verify.
        {&kCliVerify, "link", "el", kRefuse, kResultLinkPassedOver},
        {&kCliEncrypt, "fifo", "en", kRefuse, kResultNotRegular},
        {&kCliEncrypt, "locked", "efru", kRefuse, kResultFolderUnreadable},
        // Read-only or system entries, folders too, are not entered.
        {&kCliEncrypt, "zsub", "efr", kRefuse, kResultReadOnlyOrSystem},
        {&kCliVerify, "zsub", "efr", kWalk, 0},
        {&kCliVerify, "ro.crp", "er", kWork, 0},
        // A leftover is never a source, nor refused as ".crp".
        {&kCliEncrypt, ".zorv-0123abcd.tmp", "e", kLeft, 0},
        {&kDesktopEncrypt, ".zorv-89abcdef.wipe.crp", "e", kRefuse, kResultAlreadyEncrypted},
        {&kDesktopEncrypt, ".zorv-0123abcd.tmp", "ef", kWalk, 0},
        // The names: decryption passes other files over without a line.
        {&kDesktopEncrypt, "z.CRP", "e", kRefuse, kResultAlreadyEncrypted},
        {&kCliDecrypt, ".crp", "e", kRefuse, kResultNoName},
        {&kDesktopDecrypt, "notes.txt", "e", kSilent, 0},
    };
    Check(DecideWalkedEntry, rows);
}

// A fake tree: each folder's listing in the order given, "*" before a name
// marks a folder, "!" one that cannot be listed; every call recorded.
class FakeHost {
public:
    using Entry = std::string;

    template <class Each>
    ResultCode List(const std::string& folder, Each each) {
        Note("list " + folder);
        for (const std::string& found : tree[folder]) {
            EntryFacts facts;
            facts.exists = true;
            facts.isFolder = found[0] == '*' || found[0] == '!';
            const std::string name = facts.isFolder ? found.substr(1) : found;
            each(folder + "/" + name + (found[0] == '!' ? "!" : ""), name.c_str(), facts);
        }
        return folder.back() == '!' ? kResultFolderUnreadable : kResultOk;
    }
    void Enter(const std::string& folder) { Note("enter " + folder); }
    void Leave() { Note("leave"); }
    void Refuse(const std::string& path, ResultCode code) {
        Note("refuse " + std::to_string(code) + " " + path);
    }
    void Leftover(const std::string& path) { Note("met " + path); }
    void Listed(const std::vector<std::string>& leftovers) {
        Note("listed " + std::to_string(leftovers.size()));
    }
    void Work(const std::string& path) { Note("work " + path); }

    void Note(const std::string& call) { calls += call + "; "; }

    std::map<std::string, std::vector<std::string>> tree;
    std::string calls;  // each call and "; "
};

// Depth first, a sub-folder walked as its parent's listing meets it; a
// folder's leftovers named as met and handed over once its listing is over,
// then its own sources, the last found first.
TEST(FolderWalk, DepthFirstWithAFolderOwnFilesLastFoundFirst) {
    FakeHost host;
    host.tree["r"] = {"a", "*sub", ".zorv-0123abcd.tmp", "b.crp", "!bad", "c"};
    host.tree["r/sub"] = {"x", ".zorv-89abcdef.wipe", "y"};
    WalkFolderTree(kCliEncrypt, host, std::string("r"));
    EXPECT_EQ(host.calls,
              "enter r; list r; enter r/sub; list r/sub; "
              "met r/sub/.zorv-89abcdef.wipe; listed 1; work r/sub/y; work r/sub/x; "
              "leave; met r/.zorv-0123abcd.tmp; refuse 73 r/b.crp; enter r/bad!; "
              "list r/bad!; refuse 1004 r/bad!; leave; listed 1; "
              "work r/c; work r/a; leave; ");
}

}  // namespace
}  // namespace zorv
