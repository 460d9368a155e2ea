// A dialog's side of a batch that runs on a worker thread: the log, the
// "processing" label, the taskbar button, and what a close or the end of the
// user's session does meanwhile. Everything here runs on the dialog's thread.
// Windows only.
#pragma once

#include <windows.h>

#include <cstddef>
#include <memory>

#include "app/file_list.h"
#include "batch/batch_run.h"
#include "batch/batch_worker.h"
#include "batch/progress_log.h"
#include "batch/taskbar_progress.h"
#include "crypto/file_cipher.h"

namespace zorv {

class BatchView {
public:
    // Null when the dialog has no log control (IDC_LOG) or there is no
    // memory; message 52 has then been shown over dialog, and the caller
    // ends the dialog before anything is touched.
    static std::unique_ptr<BatchView> Create(HWND dialog);

    BatchView(HWND dialog, HWND logControl) : dialog_(dialog), log_(logControl) {}
    // Stops a running batch after the file at hand and waits for it: the
    // worker borrows the inputs and posts to the dialog.
    ~BatchView();
    BatchView(const BatchView&) = delete;
    BatchView& operator=(const BatchView&) = delete;

    // Runs the rules makeRule makes over inputs (their paths are borrowed
    // and must outlive this object) on a worker that owns cipher until the
    // run ends, with as many jobs as BatchJobCount gives. The dialog shows
    // the progress view already. When the worker cannot start, message 52
    // is shown and the dialog ends with 2.
    void Start(std::unique_ptr<FileCipher> cipher, RuleMaker makeRule, const FileRange& inputs);
    // A batch has started and its end has not been handled yet.
    bool IsRunning() const { return worker_ != nullptr && !ended_; }

    // The batch's messages: kBatchLinesMessage, kBatchEndMessage, its timer,
    // and while it runs WM_QUERYENDSESSION and WM_ENDSESSION. True when
    // message was one of them; *result is then the dialog procedure's.
    bool HandleMessage(UINT message, WPARAM wParam, INT_PTR* result);

    // A request to close the dialog (Esc, Alt+F4, the close box). False when
    // no batch runs: the caller closes. While one runs, the worker begins no
    // further file, the label says so (message 61), and the dialog ends
    // with 2 once the file at hand is complete: a file is never left half
    // written, nor its thread killed.
    bool DeferClose();

private:
    void TakeLines();
    void ShowProgress();
    void OnEnd();
    void OnEndSession(bool ending);

    HWND dialog_;
    ProgressLog log_;
    std::unique_ptr<BatchWorker> worker_;
    std::unique_ptr<TaskbarProgress> taskbar_;
    bool ended_ = false;
    bool closing_ = false;
    bool failureLogged_ = false;
};

// The "processing" label's text: the percentage of done in total, then
// path, its middle replaced by "..." when needed so that the whole text
// fits in width pixels of dc's font (a name that does not fit even so
// keeps its end). Into out (size bytes).
void FormatProgressLabel(HDC dc, int width, const char* path, uint64_t done, uint64_t total,
                         char* out, std::size_t size);

}  // namespace zorv
