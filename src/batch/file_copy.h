// CopyWholeFile: the one place the desktop program copies a file, behind a
// seam with a fault plan, as FileHandle is for reads, writes and flushes.
// Windows only (ANSI entry points, the process's code page).
#pragma once

#include <cstdint>

namespace zorv {

// Copies the file from to the name to (CopyFileA). With failIfExists an
// existing file under to makes the copy fail, checked by the system in the
// same step as the creation; without it that file is replaced. False on
// failure, with the reason in GetLastError (ERROR_FILE_EXISTS or
// ERROR_ALREADY_EXISTS for a taken name). A copy that fails part-way (a full
// disk, say) may leave the part written under to.
bool CopyWholeFile(const char* from, const char* to, bool failIfExists);

// Failure injection for tests: counts every CopyWholeFile of the process and
// lets the Nth fail. Not thread-safe; production code never installs a plan.
struct CopyFaultPlan {
    int64_t failCopyAt = 0;       // the Nth copy (1-based) fails; 0 = never
    unsigned long failError = 0;  // what GetLastError gives after that failure
    bool leavePart = false;       // the failing copy leaves the first half of
                                  // the file under to, as a full disk does
    // Called with the two names before every copy reaches the system, so a
    // test can record the order of the steps or take the name meanwhile.
    void (*beforeCopy)(void* context, const char* from, const char* to) = nullptr;
    void* context = nullptr;
};

// Installs a plan and resets the count; ClearCopyFaults removes it.
void SetCopyFaults(const CopyFaultPlan& plan);
void ClearCopyFaults();

}  // namespace zorv
