// The steps that the encryption and the decryption batches share: flushing a
// file to the disk, and walking a folder.
// Windows only (ANSI entry points, the process's code page).
#pragma once

#include <string>
#include <vector>

#include "batch/input_rules.h"
#include "crypto/result_code.h"

namespace zorv {

class BatchRun;

// Pushes the written file at path to the disk through the file seam. A copy
// keeps its data in the system's cache, and the callers wipe the file it was
// made from right after, flushing each overwrite, so the copy must be on the
// disk first or a power cut could leave neither. False when the file cannot
// be opened or flushed.
bool FlushToDisk(const char* path);

// For an input named by the user (a file, or a name that no longer
// exists: the source a killed run was destroying is under a wipe name now):
// finishes the leftovers of a killed run (leftover_names.h) directly in the
// folder of path, as a walk does, logging each that stays as a failure
// (kResultLeftoverKept) and, when any was finished, one notice naming the
// folder (kResultLeftoversFinished). *lastFolder holds the folder done last
// and is skipped when it is that one again, so that a list of files from one
// folder lists it once.
void FinishLeftoversBeside(const char* path, BatchRun& run, std::string* lastFolder);

// What finishing the leftovers in the folder of a path did.
struct LeftoverSweep {
    std::string folder;             // with its backslash, "" for the current one
    bool anyFinished = false;       // at least one was wiped and removed
    std::vector<std::string> kept;  // each that stays, the last found first
};

// Finishes the leftovers directly in the folder of path; a file another
// live run holds is passed over.
LeftoverSweep SweepLeftoversBeside(const char* path);

// The same for a start that reaches no batch (a single argument that no
// longer exists, an edit session): said in one message box, 68 when any
// stays, else 67 when any was finished.
void FinishLeftoversBesideShown(const char* path);

// The rules and the reporting of a folder walk.
class FolderVisitor {
public:
    FolderVisitor() = default;
    virtual ~FolderVisitor() = default;
    FolderVisitor(const FolderVisitor&) = delete;
    FolderVisitor& operator=(const FolderVisitor&) = delete;

    // The rules that judge every entry (DecideWalkedEntry).
    virtual InputRules Rules() const = 0;

    // Processes a pending file; path is the folder joined with its name (at
    // most 259 bytes).
    virtual void ProcessFile(const char* path) = 0;

    // An entry the rules refuse, or a leftover that stays. The visitor logs
    // it and counts it as a failure.
    virtual void ReportFailure(const char* path, ResultCode code) = 0;

    // A line the user should read that is no failure (the visitor logs it
    // without counting it).
    virtual void ReportNotice(const char* path, ResultCode code) = 0;

    // Whether the walk finishes the leftovers it meets. A walk that only
    // looks (sizing a batch before it runs) leaves them for the walk that
    // works, which reports them.
    virtual bool FinishesLeftovers() const { return true; }
};

// Walks folder (at most 259 bytes) in the walk order of folder_walk.h, each
// entry judged by DecideWalkedEntry under visitor.Rules(). A search on
// folder\*.*, in wide form so that every entry's name is its own, lists the
// entries in the order the file system returns them. Refusals go to
// ReportFailure with the entry's path, in full even when it exceeds 259
// bytes (kResultPathTooLong); a name without an exact ANSI form is shown as
// exact_name.h shows it (kResultUnhandledName). A file left by a killed run
// (leftover_names.h) is finished (FinishLeftover) once its folder's search
// is closed, before that folder's sources; one that stays is
// ReportFailure(kResultLeftoverKept). The sources are processed last found
// first, so that no file of a folder is written to while its search is
// open. When the walk finished any leftover, anywhere below folder, it ends
// with one ReportNotice(folder, kResultLeftoversFinished).
// A folder whose search cannot be started (missing, inaccessible) yields no
// call at all; one whose search pattern would not fit in 259 bytes is
// reported with kResultPathTooLong under its own path.
void WalkFolder(const char* folder, FolderVisitor& visitor);

}  // namespace zorv
