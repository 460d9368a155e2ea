// The list of work of one run, built before any file is touched: the inputs
// in the order given, folders walked as the desktop program walks them, and
// every input the rules refuse already decided. The jobs then run in any
// order, and the outcome lines are written in this list's order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/platform_file.h"
#include "crypto/result_code.h"

namespace zorv {

enum class Command { kEncrypt, kDecrypt, kVerify, kCat };

// Outcomes of this program that the desktop program does not have; they
// are not message-table IDs.
enum : ResultCode {
    kResultFolderWithoutRecursion = 1001,  // a folder given without -r
    kResultHardLinked = 1002,              // the source has other names: not wiped, kept
    kResultReplaced = 1003,                // another file took the name since the walk
    kResultFolderUnreadable = 1004,        // a folder of a walk cannot be listed
    kResultLinkPassedOver = 1005,          // a symbolic link met in a walk (a notice)
    kResultSymbolicLink = 1006,            // a symbolic link given by name
    kResultNotRegular = 1007,              // a device, a pipe or a socket
    kResultNoName = 1008,                  // a file named just ".crp" to decrypt
    kResultNoTemporary = 1009,             // no temporary file beside the output
    kResultNameNotHandled = 1010,          // Windows: a name with no exact UTF-8 or wide form
};

// Outcomes that are reported but are not failures: they leave the exit
// status alone.
bool IsNotice(ResultCode code);
// Neither success nor a notice.
bool IsFailure(ResultCode code);

// Why a source that the plan took could not be opened: 1006 or 1007 when it
// was replaced by a link or a special file since, otherwise 70.
ResultCode WhyNotOpened(const std::string& path);

struct PlanItem {
    std::string path;
    // Nonzero: the input is refused with this outcome and nothing is done.
    ResultCode refusal = kResultOk;
    std::uint64_t size = 0;
    // The file the walk found under path (not known for inputs given by
    // name, nor on Windows): a job that opens another file there does
    // nothing with it.
    FileIdentity identity;
    // For a file found by a walk: how many bytes of path name the folder
    // given on the command line, and the identities of that folder and of
    // each folder below it down to the file's own, as the walk found them.
    // Empty for an input given by name.
    std::size_t rootLength = 0;
    std::vector<FileIdentity> folders;
};

struct Plan {
    std::vector<PlanItem> items;
    std::size_t workCount = 0;    // items without a refusal
    std::uint64_t workBytes = 0;  // their sizes added up
};

// Applies the desktop program's input rules, the first that matches:
//   encrypt: folder (walked with recursive), missing 79, read-only or
//            system 74, named *.crp 73, else work;
//   decrypt: missing 79, folder, read-only or system 74, named just ".crp"
//            1008, *.crp work, else 76;
//   verify:  as decrypt, but a read-only file is checked (nothing is
//            written); only special files are refused with 74;
//   cat:     as verify, without walking folders.
// A symbolic link is refused with 1006 and a device, pipe or socket with
// 1007 where the desktop program would say 74 (POSIX); a name that has no
// exact form for the system's calls (Windows) with 1010, a folder too,
// whose contents are then not walked.
// In a folder walk (sorted by name): a folder that cannot be listed is
// refused with 1004; a symbolic link is passed over with the notice 1005
// (never followed); "." and ".." skipped; read-only or
// system entries (folders too) refused with 74; sub-folders walked at once,
// depth first; encrypt refuses *.crp entries with 73, decrypt and verify
// skip entries not named *.crp without a line; a path that would exceed the
// platform's limit is refused with 84 and never entered. A sub-folder is
// listed only when it is still the folder its parent's listing found (one
// replaced by a symbolic link meanwhile adds no line). A folder's own
// files come after everything found beneath it, the last found first.
// readOnlyAllowed: the source is kept (-c, or -k with -f), so a read-only
// file is taken as verify takes it.
Plan BuildPlan(Command command, const std::vector<std::string>& inputs, bool recursive,
               bool readOnlyAllowed = false);

}  // namespace zorv
