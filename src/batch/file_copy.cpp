#include "batch/file_copy.h"

#include <windows.h>

namespace zorv {
namespace {

struct CopyFaults {
    CopyFaultPlan plan;
    int64_t copies = 0;
};

CopyFaults& Faults() {
    static CopyFaults faults;
    return faults;
}

// Cuts the file at path to half its size, as a copy that ran out of room
// leaves it.
void KeepFirstHalf(const char* path) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    LARGE_INTEGER size = {};
    if (GetFileSizeEx(file, &size)) {
        size.QuadPart /= 2;
        SetFilePointerEx(file, size, nullptr, FILE_BEGIN);
        SetEndOfFile(file);
    }
    CloseHandle(file);
}

}  // namespace

void SetCopyFaults(const CopyFaultPlan& plan) {
    Faults().plan = plan;
    Faults().copies = 0;
}

void ClearCopyFaults() {
    SetCopyFaults(CopyFaultPlan{});
}

bool CopyWholeFile(const char* from, const char* to, bool failIfExists) {
    CopyFaults& f = Faults();
    if (f.plan.beforeCopy != nullptr) {
        f.plan.beforeCopy(f.plan.context, from, to);
    }
    if (++f.copies == f.plan.failCopyAt) {
        if (f.plan.leavePart && CopyFileA(from, to, failIfExists ? TRUE : FALSE)) {
            KeepFirstHalf(to);
        }
        SetLastError(f.plan.failError);
        return false;
    }
    return CopyFileA(from, to, failIfExists ? TRUE : FALSE) != 0;
}

}  // namespace zorv
