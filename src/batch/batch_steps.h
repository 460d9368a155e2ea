// The steps that the encryption and the decryption batches share: flushing a
// file to the disk, and walking a folder.
// Windows only (ANSI entry points, the process's code page).
#pragma once

#include <string>

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

// Result of FolderVisitor::ClassifyFile: the entry is passed over without a
// line and without counting. Negative, so never a message, and apart from -1,
// which the command line uses for an interrupted job.
constexpr ResultCode kPassOver = -2;

// The per-file rule and the reporting of a folder walk. The encryption batch
// refuses "*.crp" entries and keeps the rest; the decryption batch keeps
// "*.crp" entries and passes over the rest.
class FolderVisitor {
public:
    FolderVisitor() = default;
    virtual ~FolderVisitor() = default;
    FolderVisitor(const FolderVisitor&) = delete;
    FolderVisitor& operator=(const FolderVisitor&) = delete;

    // The verdict on a file entry of a folder (not a directory, not
    // read-only or system) named name: kResultOk keeps it pending, to be
    // processed after the folder's search is closed; kPassOver skips it;
    // any other code is reported through ReportFailure with the entry's path.
    virtual ResultCode ClassifyFile(const char* name) = 0;

    // Processes a pending file; path is the folder joined with its name (at
    // most 259 bytes).
    virtual void ProcessFile(const char* path) = 0;

    // An entry refused by the walk or by ClassifyFile: path is the folder
    // joined with the entry's name, in full even when it exceeds 259 bytes
    // (then code is kResultPathTooLong). The visitor logs it and counts it as
    // a failure.
    virtual void ReportFailure(const char* path, ResultCode code) = 0;

    // A line the user should read that is no failure (the visitor logs it
    // without counting it).
    virtual void ReportNotice(const char* path, ResultCode code) = 0;

    // Whether the walk finishes the leftovers it meets. A walk that only
    // looks (sizing a batch before it runs) leaves them for the walk that
    // works, which reports them.
    virtual bool FinishesLeftovers() const { return true; }
};

// Walks folder (at most 259 bytes) depth first. A search on folder\*.*, in
// wide form so that every entry's name is its own, lists
// the entries in the order the file system returns them; for each entry, the
// first rule that matches:
//   "." and ".."                         skipped;
//   folder\name longer than 259 bytes    ReportFailure(kResultPathTooLong),
//                                        never processed nor entered;
//   a name without an exact ANSI form    ReportFailure(kResultUnhandledName)
//                                        with its shown form (exact_name.h),
//                                        never processed nor entered;
//   read-only or system attribute        ReportFailure(kResultReadOnlyOrSystem),
//                                        a directory is thus not entered;
//   directory                            walked at once, while this folder's
//                                        search stays open;
//   a file left by a killed run          never classified nor processed:
//   (leftover_names.h)                   finished (FinishLeftover) once the
//                                        search is closed; one that stays is
//                                        ReportFailure(kResultLeftoverKept);
//   otherwise                            visitor.ClassifyFile(name).
// After the search is closed the leftovers are finished, then the pending
// files are processed last found first, so that no file of a folder is
// written to while its search is open. When the walk finished any
// leftover, anywhere below folder, it ends with one
// ReportNotice(folder, kResultLeftoversFinished).
// A folder whose search cannot be started (missing, inaccessible) yields no
// call at all; one whose search pattern would not fit in 259 bytes is
// reported with kResultPathTooLong under its own path. A pending entry that
// cannot be kept for lack of memory is reported with kResultOutOfMemory.
void WalkFolder(const char* folder, FolderVisitor& visitor);

}  // namespace zorv
