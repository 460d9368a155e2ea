#include "batch/batch_view.h"

#include <shlwapi.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

#include "app/messages.h"
#include "app/module_instance.h"
#include "app/path_utils.h"
#include "app/resource_ids.h"

namespace zorv {
namespace {

// The label and the taskbar are brought up to date four times a second,
// whatever the pace of the files: often enough to look alive, and a 4 KiB
// file's line costs no repaint of its own.
constexpr UINT_PTR kProgressTimer = 1;
constexpr UINT kProgressIntervalMs = 250;

int Percent(uint64_t done, uint64_t total) {
    if (total == 0) {
        return 0;
    }
    const uint64_t capped = done < total ? done : total;
    // No overflow below 2^57 bytes.
    return static_cast<int>(capped * 100 / total);
}

}  // namespace

void FormatProgressLabel(HDC dc, int width, const char* path, uint64_t done, uint64_t total,
                         char* out, std::size_t size) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "%d%%  ", Percent(done, total));
    SIZE used = {};
    GetTextExtentPoint32A(dc, prefix, static_cast<int>(std::strlen(prefix)), &used);
    char shown[kMaxPath] = {};
    std::snprintf(shown, sizeof shown, "%s", path);
    const int room = width - used.cx;
    // The shell's own shortening keeps the file's name and knows the lead
    // bytes of the code page.
    PathCompactPathA(dc, shown, static_cast<UINT>(room > 0 ? room : 0));
    std::snprintf(out, size, "%s%s", prefix, shown);
}

std::unique_ptr<BatchView> BatchView::Create(HWND dialog) {
    HWND logControl = GetDlgItem(dialog, IDC_LOG);
    std::unique_ptr<BatchView> view(
        logControl != nullptr ? new (std::nothrow) BatchView(dialog, logControl) : nullptr);
    if (!view) {
        ShowMessage(dialog, IDS_OUT_OF_MEMORY, MB_ICONERROR);
    }
    return view;
}

BatchView::~BatchView() {
    if (worker_) {
        worker_->RequestStop();
        worker_->WaitForEnd(INFINITE);
    }
}

void BatchView::Start(std::unique_ptr<FileCipher> cipher, RuleMaker makeRule,
                      const FileRange& inputs) {
    worker_.reset(new (std::nothrow) BatchWorker(dialog_, inputs));
    if (!worker_ || !worker_->StartRun(std::move(cipher), std::move(makeRule), BatchJobCount())) {
        worker_.reset();
        ShowMessage(dialog_, IDS_OUT_OF_MEMORY, MB_ICONERROR);
        EndDialog(dialog_, IDCANCEL);
        return;
    }
    taskbar_.reset(new (std::nothrow) TaskbarProgress(dialog_));
    SetTimer(dialog_, kProgressTimer, kProgressIntervalMs, nullptr);
}

bool BatchView::HandleMessage(UINT message, WPARAM wParam, INT_PTR* result) {
    *result = TRUE;
    if (message == kBatchLinesMessage) {
        TakeLines();
        return true;
    }
    if (message == kBatchEndMessage) {
        OnEnd();
        return true;
    }
    if (message == WM_TIMER && wParam == kProgressTimer) {
        // Also the end's safety net: were the end message lost, the run
        // would still end here.
        if (IsRunning() && !worker_->IsRunning()) {
            OnEnd();
        } else {
            ShowProgress();
        }
        return true;
    }
    if (!IsRunning()) {
        return false;
    }
    if (message == WM_QUERYENDSESSION) {
        // Yes, after the file at hand (see WM_ENDSESSION); the reason is
        // shown while Windows waits.
        wchar_t reason[256] = {};
        if (LoadStringW(ModuleInstance(), IDS_BATCH_ENDING, reason, 256) > 0) {
            ShutdownBlockReasonCreate(dialog_, reason);
        }
        SetWindowLongPtrA(dialog_, DWLP_MSGRESULT, TRUE);
        return true;
    }
    if (message == WM_ENDSESSION) {
        OnEndSession(wParam != FALSE);
        SetWindowLongPtrA(dialog_, DWLP_MSGRESULT, 0);
        return true;
    }
    return false;
}

bool BatchView::DeferClose() {
    if (!IsRunning()) {
        return false;
    }
    if (!closing_) {
        closing_ = true;
        worker_->RequestStop();
        SetDlgItemTextA(dialog_, IDC_PROCESSING, LoadText(IDS_BATCH_STOPPING));
    }
    return true;
}

void BatchView::TakeLines() {
    if (!worker_) {
        return;
    }
    const std::vector<BatchLine> lines = worker_->TakeLines();
    for (const BatchLine& line : lines) {
        failureLogged_ = failureLogged_ || line.kind == BatchLine::Kind::kFailure;
    }
    log_.WriteAll(lines);
}

void BatchView::ShowProgress() {
    if (!IsRunning()) {
        return;
    }
    const BatchProgress progress = worker_->Progress();
    if (taskbar_) {
        taskbar_->Show(progress.doneBytes, progress.totalBytes, failureLogged_);
    }
    if (closing_ || progress.currentPath.empty()) {
        return;  // the label keeps its "stopping" or "processing" text
    }
    HWND label = GetDlgItem(dialog_, IDC_PROCESSING);
    RECT area = {};
    GetClientRect(label, &area);
    HDC dc = GetDC(label);
    if (dc == nullptr) {
        return;
    }
    HGDIOBJ oldFont =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(label, WM_GETFONT, 0, 0)));
    char text[kMaxPath + 16];
    FormatProgressLabel(dc, area.right - area.left, progress.currentPath.c_str(),
                        progress.doneBytes, progress.totalBytes, text, sizeof text);
    SelectObject(dc, oldFont);
    ReleaseDC(label, dc);
    SetWindowTextA(label, text);
}

// The worker posts this as its last action, so its thread is about to end
// and the wait is short.
void BatchView::OnEnd() {
    if (!IsRunning()) {
        return;
    }
    worker_->WaitForEnd(INFINITE);
    ended_ = true;
    KillTimer(dialog_, kProgressTimer);
    TakeLines();
    const BatchRun& run = worker_->Outcome();
    if (closing_) {
        EndDialog(dialog_, IDCANCEL);
        return;
    }
    if (!run.NeedsReview()) {
        EndDialog(dialog_, IDOK);
        return;
    }
    if (taskbar_ && run.FailureCount() == 0) {
        taskbar_->Clear();
    } else if (taskbar_) {
        taskbar_->Show(1, 1, true);  // the review is of failures
    }
    EnterReview(dialog_, log_);
}

// Once this returns after a confirmed end, Windows may end the process at
// any moment: the file at hand is finished first, and no other is begun.
void BatchView::OnEndSession(bool ending) {
    if (ending) {
        worker_->RequestStop();
        worker_->WaitForEnd(INFINITE);
    }
    ShutdownBlockReasonDestroy(dialog_);
}

}  // namespace zorv
