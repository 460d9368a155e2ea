// The platform calls with which the edit session puts a new .crp in place of
// the old one, behind a seam with a fault plan, as FileHandle is for reads,
// writes and flushes. Windows only (ANSI entry points, the process's code
// page).
#pragma once

#include <cstdint>

namespace zorv {

// Moves the complete file from over the name to, replacing the file there
// (MoveFileExA with MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH): the
// name leads to the old file or to the new one, never to neither, and the
// call returns once the move is on the disk. False on failure (GetLastError
// says why); to is then as it was and from is still there.
bool ReplaceWithFile(const char* from, const char* to);

// True when the file at path lies on a write-protected medium: opening it
// for writing (nothing is written) fails with ERROR_WRITE_PROTECT. Any other
// outcome is false. The system's box asking for a disk is kept away.
bool IsOnWriteProtectedMedium(const char* path);

// Failure injection for tests: counts every ReplaceWithFile of the process
// and lets the Nth fail. Not thread-safe; production code never installs a
// plan.
struct ReplaceFaultPlan {
    int64_t failReplaceAt = 0;    // the Nth replace (1-based) fails; 0 = never
    bool writeProtected = false;  // IsOnWriteProtectedMedium answers true
    // Called with the two names before every replace reaches the system, so
    // a test can see what is about to take the name, and in which order.
    void (*beforeReplace)(void* context, const char* from, const char* to) = nullptr;
    void* context = nullptr;
};

// Installs a plan and resets the count; ClearReplaceFaults removes it.
void SetReplaceFaults(const ReplaceFaultPlan& plan);
void ClearReplaceFaults();

}  // namespace zorv
