// The choice of the one dialog a start runs, made from the command-line
// items and the clipboard's file list alone. Pure: the file system is asked
// through the probe, so every row of the table can be tested with made-up
// paths.
#pragma once

namespace zorv {

enum class DispatchAction {
    kSettings,  // settings dialog (template 110)
    kEncrypt,   // encryption dialog (111) with the chosen range
    kDecrypt,   // decryption dialog (112 or 114, see DecryptTemplateFor)
    kAskMode,   // mode-select dialog (113), then encrypt or decrypt the range
    kMessage,   // message box messageId with the error icon, then end; a
                // message that names a path names the range's first path
    kNothing,   // end without a dialog (mode-select dialog cancelled)
};

// Which list a range lies in.
enum class DispatchList { kNone, kArguments, kClipboard };

struct DispatchDecision {
    DispatchAction action = DispatchAction::kSettings;
    DispatchList list = DispatchList::kNone;
    int first = 0;      // index of the range's first path in that list
    int count = 0;      // number of paths in the range
    int messageId = 0;  // for kMessage
    // The index of an argument beside which the leftovers of a killed run
    // (leftover_names.h) are finished before the action, as a batch does
    // beside the files named to it; 0: none. Set where no batch follows: a
    // single argument that names nothing (the file a killed run was
    // destroying is under a wipe name now).
    int leftoversBeside = 0;
};

// The file-system questions the dispatch asks.
struct PathProbe {
    bool (*exists)(const char* path);    // some directory entry matches (PathExists)
    bool (*isFolder)(const char* path);  // names an existing directory (IsFolder)
};

struct DispatchInput {
    const char* const* arguments = nullptr;  // item 0 is the program path
    // Per argument: refused by the splitter (its name has no exact ANSI
    // form); null when none was. A refused item's text is only shown.
    const bool* argumentsRefused = nullptr;
    int argumentCount = 0;
    const char* const* clipboard = nullptr;  // null when there is no clipboard list
    int clipboardCount = 0;
};

// Sum over the paths of: 0 for a folder, -1 for a file (or a missing path)
// matching "*.crp" in any letter case, +1 for any other file.
int ExtensionVote(const char* const* paths, int count, bool (*isFolder)(const char*));

// The decryption template for a range: 112 for exactly one path that is not
// a folder, 114 otherwise (several items, a folder, or none).
int DecryptTemplateFor(const char* const* paths, int count, bool (*isFolder)(const char*));

// The dispatch table: options "-e", "-d", "-c" are whole items compared
// without regard to letter case; only a single argument is checked for
// existence, and a single argument that was refused gives message 58 naming
// it, before the file system is asked anything about it; every use of the
// clipboard list without one gives message 55; a single argument that does
// not exist gives message 50 with leftoversBeside naming it. Refused items in a longer
// list reach the front end, which reports each; the vote counts them by
// their shown text, which names no folder (it holds a '?').
DispatchDecision DecideDispatch(const DispatchInput& input, const PathProbe& probe);

// The decision after the mode-select dialog returned choice for a kAskMode
// decision: 0 → kNothing, 1 → kEncrypt, anything else (2, or -1 when the
// dialog could not be created) → kDecrypt, on the same range.
DispatchDecision ApplyModeChoice(DispatchDecision asked, int choice);

}  // namespace zorv
