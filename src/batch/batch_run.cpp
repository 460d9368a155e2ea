#include "batch/batch_run.h"

#include <cstring>
#include <string>
#include <utility>

#include "app/messages.h"
#include "app/path_utils.h"
#include "app/resource_ids.h"
#include "app/file_system.h"
#include "batch/batch_jobs.h"
#include "batch/batch_steps.h"

namespace zorv {
namespace {

// Lends a rule to the folder walk, whose refusals become failures of the run.
class RuleVisitor : public FolderVisitor {
public:
    RuleVisitor(BatchRun& run, BatchRule& rule) : run_(run), rule_(rule) {}

    InputRules Rules() const override { return rule_.Rules(); }
    void ProcessFile(const char* path) override { run_.ProcessFile(rule_, path); }
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

// What the directory reports of an input named by the user: found by its
// search (PathExists), then its attributes.
EntryFacts InputFacts(const char* path) {
    EntryFacts facts;
    facts.tooLong = std::strlen(path) >= kMaxPath;
    facts.exists = PathExists(path);
    facts.isFolder = IsFolder(path);
    // A name that the search finds but whose attributes cannot be read (one
    // with wildcards, for instance) names no single file.
    const DWORD attributes = facts.exists ? GetFileAttributesA(path) : INVALID_FILE_ATTRIBUTES;
    facts.noAttributes = facts.exists && attributes == INVALID_FILE_ATTRIBUTES;
    if (!facts.noAttributes) {
        facts.readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
        facts.special = (attributes & FILE_ATTRIBUTE_SYSTEM) != 0;
    }
    return facts;
}

}  // namespace

ResultCode BatchRule::ClassifyFolderFile(const char* name) const {
    EntryFacts file;
    file.exists = true;
    const Decision decision = DecideWalkedEntry(Rules(), name, file);
    switch (decision.verdict) {
        case Verdict::kWork:
            return kResultOk;
        case Verdict::kRefuse:
            return decision.code;
        default:
            return kPassOver;
    }
}

void BatchRun::Run(const FileRange& inputs, BatchRule& rule) {
    WriteLine(BatchLine::Kind::kStart, nullptr, nullptr);
    // The leftovers of a killed run beside the files named directly are
    // finished before any of those files is worked on: once jobs run, a wipe
    // or temporary name in that folder may be one of this run's own.
    std::string leftoverFolder;
    for (int i = 0; i < inputs.count && !Stopped(); ++i) {
        if (!inputs.IsRefused(i) && !IsFolder(inputs.paths[i])) {
            FinishLeftoversBeside(inputs.paths[i], *this, &leftoverFolder);
        }
    }
    for (int i = 0; i < inputs.count && !Stopped(); ++i) {
        if (inputs.IsRefused(i)) {
            LogFailure(inputs.paths[i], kResultUnhandledName);
        } else if (jobs_ != nullptr && !IsFolder(inputs.paths[i])) {
            // The rule itself still judges the input, on the job's thread;
            // only a folder's walk stays here, where the list is in order.
            jobs_->Submit(inputs.paths[i], true);
        } else {
            rule.ProcessInput(*this, inputs.paths[i]);
        }
    }
    if (jobs_ != nullptr) {
        jobs_->Finish(&failureCount_, &fileLineCount_);
    }
    // An empty list (an empty clipboard list) is not this case: the user
    // named nothing, so there is nothing to explain.
    if (Stopped()) {
        return;
    }
    nothingProcessed_ = inputs.count > 0 && fileLineCount_ == 0;
    if (nothingProcessed_) {
        char text[512];
        CopyText(IDS_NOTHING_TO_PROCESS, text, sizeof text);
        WriteLine(BatchLine::Kind::kNote, nullptr, text);
    }
    WriteLine(BatchLine::Kind::kDone, nullptr, nullptr);
}

void BatchRun::ApplyRules(BatchRule& rule, const char* path) {
    const Decision decision = DecideInput(rule.Rules(), GetFileNamePart(path), InputFacts(path));
    switch (decision.verdict) {
        case Verdict::kWalk:
            WalkFolder(path, rule);
            break;
        case Verdict::kWork:
            rule.ProcessFile(*this, path);
            break;
        case Verdict::kRefuse:
            LogFailure(path, decision.code);
            break;
        case Verdict::kSilent:
        case Verdict::kLeftover:
            break;
    }
}

void BatchRun::WalkFolder(const char* folder, BatchRule& rule) {
    RuleVisitor visitor(*this, rule);
    zorv::WalkFolder(folder, visitor);
}

void BatchRun::ProcessFile(BatchRule& rule, const char* path) {
    if (Stopped()) {
        return;
    }
    if (jobs_ != nullptr) {
        jobs_->Submit(path, false);
    } else {
        rule.ProcessFile(*this, path);
    }
}

void BatchRun::LogOk(const char* path) {
    ++fileLineCount_;
    WriteLine(BatchLine::Kind::kOk, path, nullptr);
}

void BatchRun::LogFailure(const char* path, ResultCode code) {
    LogNotice(path, code);
    ++failureCount_;
}

void BatchRun::LogNotice(const char* path, ResultCode code) {
    ++fileLineCount_;
    char text[512 + kMaxPath];
    if (code != kResultUnhandledName) {
        CopyText(code, text, sizeof text);
    } else {
        char name[kMaxPath];
        RefusedComponent(path, name);
        FormatPathMessage(code, name, text, sizeof text);
    }
    WriteLine(BatchLine::Kind::kFailure, path, text);
}

void BatchRun::WriteLine(BatchLine::Kind kind, const char* path, const char* text) {
    BatchLine line;
    line.kind = kind;
    line.path = path != nullptr ? path : "";
    line.text = text != nullptr ? text : "";
    lines_.Write(std::move(line));
}

void ShowProgressView(HWND dialog, const int* inputControls, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        ShowWindow(GetDlgItem(dialog, inputControls[i]), SW_HIDE);
    }
    ShowWindow(GetDlgItem(dialog, IDC_LOG), SW_SHOW);
    ShowWindow(GetDlgItem(dialog, IDC_PROCESSING), SW_SHOW);
}

void EnterReview(HWND dialog, ProgressLog& log) {
    log.SetWriting(false);
    log.ShowFirstFailure();
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
