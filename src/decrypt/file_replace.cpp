#include "decrypt/file_replace.h"

#include <windows.h>

namespace zorv {
namespace {

struct ReplaceFaults {
    ReplaceFaultPlan plan;
    int64_t replaces = 0;
};

ReplaceFaults& Faults() {
    static ReplaceFaults faults;
    return faults;
}

}  // namespace

void SetReplaceFaults(const ReplaceFaultPlan& plan) {
    Faults().plan = plan;
    Faults().replaces = 0;
}

void ClearReplaceFaults() {
    SetReplaceFaults(ReplaceFaultPlan{});
}

bool ReplaceWithFile(const char* from, const char* to) {
    ReplaceFaults& f = Faults();
    if (f.plan.beforeReplace != nullptr) {
        f.plan.beforeReplace(f.plan.context, from, to);
    }
    if (++f.replaces == f.plan.failReplaceAt) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool IsOnWriteProtectedMedium(const char* path) {
    if (Faults().plan.writeProtected) {
        return true;
    }
    // On a write-protected floppy the system would ask the user to insert a
    // disk; the error mode turns that box off.
    const UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    HANDLE file =
        CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD error = file == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
    }
    SetErrorMode(previousMode);
    return error == ERROR_WRITE_PROTECT;
}

}  // namespace zorv
