// The batch code both dialogs share (encryption and decryption): run, walk, log, review.
// Windows only. Each front end supplies its rule (what one input and one
// found file become); the run counts the failures and gives its lines to a
// sink (the log itself, or the hand-off of a worker thread, batch_worker.h),
// and the dialog helpers below switch a dialog from its input view to the
// progress view and then to the review.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>

#include "app/file_list.h"
#include "batch/input_rules.h"
#include "batch/progress_log.h"
#include "crypto/result_code.h"

namespace zorv {

class BatchJobs;
class BatchRun;

// One front end's part of a batch. It writes its outcomes through the run it
// is given (LogOk, LogFailure).
class BatchRule {
public:
    BatchRule() = default;
    virtual ~BatchRule() = default;
    BatchRule(const BatchRule&) = delete;
    BatchRule& operator=(const BatchRule&) = delete;

    // One input of the list, as the user named it: a file, a folder (which
    // the rule may hand to BatchRun::WalkFolder) or a name that matches
    // nothing. The front ends' rules apply Rules() (BatchRun::ApplyRules).
    virtual void ProcessInput(BatchRun& run, const char* path) = 0;
    // The rules that judge each input and each entry a walk finds.
    virtual InputRules Rules() const = 0;
    // The verdict of Rules() on a plain file named name found by a walk:
    // kResultOk kept, kPassOver passed over without a line, or the refusal.
    ResultCode ClassifyFolderFile(const char* name) const;
    // A file that the folder walk kept (see WalkFolder for when).
    virtual void ProcessFile(BatchRun& run, const char* path) = 0;
};

// The lines of one batch and the count of its failures. Runs on any one
// thread: it loads its texts into buffers of its own.
class BatchRun {
public:
    // lines: where every line goes, borrowed. stop: when given and set, no
    // further input or found file is begun; the one at hand is finished.
    explicit BatchRun(LineSink& lines, const std::atomic<bool>* stop = nullptr)
        : lines_(lines), stop_(stop) {}
    BatchRun(const BatchRun&) = delete;
    BatchRun& operator=(const BatchRun&) = delete;

    // The start line, every input through rule.ProcessInput in list order,
    // then the done line. A refused input (its name has no exact ANSI form)
    // is a failure line with kResultUnhandledName and never reaches the rule.
    // A run over inputs that wrote no line for any file (a folder without a
    // file the rule keeps) says so in one line (message 60) before the done
    // line; an empty list does not. A stopped run writes neither that line
    // nor the done line. With jobs (SetJobs), an input that is not a folder
    // and every file a walk keeps go to the jobs instead, and the run waits
    // for them all before its last lines. Before any input, the leftovers of
    // a killed run beside the inputs that are no folders are finished
    // (FinishLeftoversBeside), on this thread.
    void Run(const FileRange& inputs, BatchRule& rule);
    // Applies rule.Rules() to an input named by the user (DecideInput), as
    // the directory reports it (its search, then its attributes): a folder
    // is walked (WalkFolder), a source goes to rule.ProcessFile, a refusal
    // is a failure line.
    void ApplyRules(BatchRule& rule, const char* path);
    // Walks folder (see WalkFolder in batch_steps.h): every entry is judged
    // by rule.Rules(), kept files go to rule.ProcessFile (or to the jobs),
    // and refused entries are logged as failures.
    void WalkFolder(const char* folder, BatchRule& rule);
    // A file a walk kept: to rule.ProcessFile, or to the jobs; nothing once
    // stopped.
    void ProcessFile(BatchRule& rule, const char* path);

    // path...OK
    void LogOk(const char* path);
    // path with the message text of code, counted as a failure. The text of
    // kResultUnhandledName names the part of path that holds the character
    // without a form (the first '?', see exact_name.h).
    void LogFailure(const char* path, ResultCode code);
    // path with the message text of code, not counted: a line the user
    // should read that does not keep the dialog open.
    void LogNotice(const char* path, ResultCode code);

    // Files go to jobs (borrowed; null: none, every file on this thread).
    void SetJobs(BatchJobs* jobs) { jobs_ = jobs; }

    int FailureCount() const { return failureCount_; }
    // Lines about a file: OK, failure or notice.
    int FileLineCount() const { return fileLineCount_; }
    // Whether the dialog stays open for the user to read its log: after a
    // failure, or when there was nothing to process.
    bool NeedsReview() const { return failureCount_ > 0 || nothingProcessed_; }
    // The stop flag was set: files may have been left unprocessed.
    bool Stopped() const { return stop_ != nullptr && stop_->load(); }

private:
    void WriteLine(BatchLine::Kind kind, const char* path, const char* text);

    LineSink& lines_;
    const std::atomic<bool>* stop_;
    BatchJobs* jobs_ = nullptr;
    int failureCount_ = 0;
    int fileLineCount_ = 0;  // lines about a file: OK, failure or notice
    bool nothingProcessed_ = false;
};

// Hides the count controls of inputControls and shows the log and the
// "processing" label.
void ShowProgressView(HWND dialog, const int* inputControls, std::size_t count);
template <std::size_t N>
void ShowProgressView(HWND dialog, const int (&inputControls)[N]) {
    ShowProgressView(dialog, inputControls, N);
}

// After a batch that needs a review: the log leaves the writing state for
// scrolling and copying and shows its first failure, the "processing" label
// says the batch is over (message 78), and the Cancel button comes back as
// the default "Close" button with the focus.
void EnterReview(HWND dialog, ProgressLog& log);

}  // namespace zorv
