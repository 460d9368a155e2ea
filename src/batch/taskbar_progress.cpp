#include "batch/taskbar_progress.h"

namespace zorv {

TaskbarProgress::TaskbarProgress(HWND window) : window_(window) {
    if (!com_.Usable() ||
        FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                list_.ReceiveVoid())) ||
        FAILED(list_->HrInit())) {
        list_.Reset();
    }
}

TaskbarProgress::~TaskbarProgress() {
    Clear();
    list_.Reset();  // before the apartment that made it is left
}

void TaskbarProgress::Show(uint64_t done, uint64_t total, bool failed) {
    if (!list_) {
        return;
    }
    list_->SetProgressState(window_, failed ? TBPF_ERROR : TBPF_NORMAL);
    list_->SetProgressValue(window_, done < total ? done : total, total > 0 ? total : 1);
}

void TaskbarProgress::Clear() {
    if (list_) {
        list_->SetProgressState(window_, TBPF_NOPROGRESS);
    }
}

}  // namespace zorv
