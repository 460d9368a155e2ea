#include "batch/batch_run.h"

#include <cstring>
#include <new>

#include "app/messages.h"
#include "app/path_utils.h"
#include "app/resource_ids.h"
#include "batch/batch_steps.h"

namespace zorv {
namespace {

// Lends a rule to the folder walk, whose refusals become failures of the run.
class RuleVisitor : public FolderVisitor {
public:
    RuleVisitor(BatchRun& run, BatchRule& rule) : run_(run), rule_(rule) {}

    ResultCode ClassifyFile(const char* name) override { return rule_.ClassifyFolderFile(name); }
    void ProcessFile(const char* path) override { rule_.ProcessFile(run_, path); }
    void ReportFailure(const char* path, ResultCode code) override { run_.LogFailure(path, code); }
    void ReportNotice(const char* path, ResultCode code) override { run_.LogNotice(path, code); }

private:
    BatchRun& run_;
    BatchRule& rule_;
};

// The component of a refused name's shown path that holds its first '?' (a
// character without a form), copied into name (kMaxPath bytes); the whole
// path when there is none or it does not fit.
void RefusedComponent(const char* path, char* name) {
    const char* mark = FindCharacter(path, '?');
    const char* begin = path;
    const char* end = path + std::strlen(path);
    if (mark != nullptr) {
        const char* separator = FindLastCharacter(path, mark, '\\');
        begin = separator != nullptr ? separator + 1 : path;
        const char* next = FindCharacter(mark, '\\');
        end = next != nullptr ? next : end;
    }
    std::size_t length = static_cast<std::size_t>(end - begin);
    if (length >= kMaxPath) {
        length = kMaxPath - 1;
    }
    std::memcpy(name, begin, length);
    name[length] = '\0';
}

}  // namespace

void BatchRun::Run(const FileRange& inputs, BatchRule& rule) {
    log_.WriteStart();
    for (int i = 0; i < inputs.count; ++i) {
        if (inputs.IsRefused(i)) {
            LogFailure(inputs.paths[i], kResultUnhandledName);
        } else {
            rule.ProcessInput(*this, inputs.paths[i]);
        }
    }
    // An empty list (an empty clipboard list) is not this case: the user
    // named nothing, so there is nothing to explain.
    nothingProcessed_ = inputs.count > 0 && fileLineCount_ == 0;
    if (nothingProcessed_) {
        log_.WriteNote(LoadText(IDS_NOTHING_TO_PROCESS));
    }
    log_.WriteDone();
}

void BatchRun::WalkFolder(const char* folder, BatchRule& rule) {
    RuleVisitor visitor(*this, rule);
    zorv::WalkFolder(folder, visitor);
}

void BatchRun::LogFailure(const char* path, ResultCode code) {
    LogNotice(path, code);
    ++failureCount_;
}

void BatchRun::LogNotice(const char* path, ResultCode code) {
    ++fileLineCount_;
    if (code != kResultUnhandledName) {
        log_.WriteFailure(path, LoadText(code));
        return;
    }
    char name[kMaxPath];
    RefusedComponent(path, name);
    char text[512 + kMaxPath];
    FormatPathMessage(code, name, text, sizeof text);
    log_.WriteFailure(path, text);
}

std::unique_ptr<BatchRun> CreateBatchRun(HWND dialog) {
    HWND logControl = GetDlgItem(dialog, IDC_LOG);
    std::unique_ptr<BatchRun> run(logControl != nullptr ? new (std::nothrow) BatchRun(logControl)
                                                        : nullptr);
    if (!run) {
        ShowMessage(dialog, IDS_OUT_OF_MEMORY, MB_ICONERROR);
    }
    return run;
}

void ShowProgressView(HWND dialog, const int* inputControls, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        ShowWindow(GetDlgItem(dialog, inputControls[i]), SW_HIDE);
    }
    ShowWindow(GetDlgItem(dialog, IDC_LOG), SW_SHOW);
    ShowWindow(GetDlgItem(dialog, IDC_PROCESSING), SW_SHOW);
    RedrawWindow(dialog, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void EnterReview(HWND dialog, BatchRun& run) {
    run.Log().SetWriting(false);
    run.Log().ShowFirstFailure();
    // The label said "processing" for the whole batch; it is over now.
    SetDlgItemTextA(dialog, IDC_PROCESSING, LoadText(IDS_PROCESSING_DONE));
    HWND close = GetDlgItem(dialog, IDCANCEL);
    SetWindowTextA(close, LoadText(IDS_CLOSE));
    ShowWindow(close, SW_SHOW);
    SendMessageA(dialog, DM_SETDEFID, IDCANCEL, 0);
    // The dialog's own way to move the focus, which also keeps its default
    // button in step.
    SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(close), TRUE);
}

}  // namespace zorv
