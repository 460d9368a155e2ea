// The list of work of one run, built before any file is touched: the inputs
// in the order given, folders walked as the desktop program walks them, and
// every input the rules refuse already decided. The jobs then run in any
// order, and the outcome lines are written in this list's order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "batch/input_rules.h"
#include "crypto/file_entries.h"
#include "crypto/result_code.h"

namespace zorv {

// Outcomes that are reported but are not failures: they leave the exit
// status alone.
bool IsNotice(ResultCode code);
// Neither success nor a notice.
bool IsFailure(ResultCode code);

// Why a source that the plan took could not be opened: 1006 or 1007 when it
// was replaced by a link or a special file since, otherwise 70.
ResultCode WhyNotOpened(const std::string& path);

// Why an entry is refused, for the entries the rules refuse: 1006 a
// symbolic link, 1007 a device, pipe or socket, 1004 a folder that cannot
// be read, 1013 a name no call can reach, otherwise 74.
ResultCode RefusalOf(const EntryInfo& info);

struct PlanItem {
    std::string path;
    // Nonzero: the input is refused with this outcome and nothing is done.
    ResultCode refusal = kResultOk;
    std::uint64_t size = 0;
    // The file the walk found under path (not known for inputs given by
    // name, nor on Windows): a job that opens another file there does
    // nothing with it.
    FileIdentity identity;
    // How many bytes of path name the folder the job starts from (for a
    // file found by a walk the folder given on the command line, for an
    // input given by name its own folder, 0 for the current one), and the
    // identities of that folder and of each folder below it down to the
    // file's own, as the plan found them. Empty when the folder could not
    // be looked at.
    std::size_t rootLength = 0;
    std::vector<FileIdentity> folders;
};

struct Plan {
    std::vector<PlanItem> items;
    std::size_t workCount = 0;    // items without a refusal
    std::uint64_t workBytes = 0;  // their sizes added up
    // Files a killed run left (leftover_names.h) in a walked folder or in the
    // folder of an input given by name, each once: never items, see
    // FinishLeftovers.
    std::vector<std::string> leftovers;
};

// Applies the input rules (CliRules and DecideInput, input_rules.h) to each
// input in order, and walks each folder as the desktop program does
// (folder_walk.h; DecideWalkedEntry), its listing sorted by name (byte
// order). A sub-folder is listed only when it is still the folder its
// parent's listing found (one replaced by a symbolic link meanwhile adds no
// line); one that cannot be listed is refused with 1004. A file named as a
// run's own leftover (.zorv-XXXXXXXX.tmp or .wipe) is never an item: those
// met in a walk, and (encrypt and decrypt) those in the folder of an input
// given by name, go to plan.leftovers.
// readOnlyAllowed: the source is kept (-c, or -k with -f), so a read-only
// file is taken as verify takes it.
Plan BuildPlan(Command command, const std::vector<std::string>& inputs, bool recursive,
               bool readOnlyAllowed = false);

// For a run that writes files: wipes and removes each of plan's leftovers
// (FinishLeftover) before any job starts, and says so at the head of the
// plan's items: one notice (1014) naming the folder of the first, and a
// failure (1015) for each that stays. No item when there were none.
void FinishLeftovers(Plan* plan);

// The output of an encryption or decryption of path: output (-o) when it is
// given, otherwise NAME.crp or NAME beside it.
std::string OutputOf(Command command, const std::string& path, const std::string& output);

// For a run that writes files: refuses, before anything is written, what
// would make one job destroy another's file. An input that is the same
// file (device and file number) as an earlier one is passed over with the
// notice 1012, so that a file is never worked on twice; a job whose output
// exists and is the file of an input of the run is refused with 1010; and
// every job whose output is also another job's (the same name in the same
// folder) with 1011. Names that differ only in letter case on a file system
// that does not tell them apart are left to the jobs (see PlacedOutputs).
void RefuseCollisions(Plan* plan, Command command, const std::string& output);

}  // namespace zorv
