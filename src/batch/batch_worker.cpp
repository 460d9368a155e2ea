#include "batch/batch_worker.h"

#include <utility>

#include "app/file_system.h"
#include "batch/batch_steps.h"

namespace zorv {
namespace {

// The size of the file at path; 0 when it cannot be read.
uint64_t FileSize(const char* path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) {
        return 0;
    }
    return static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

// Adds up the files a walk would give the rule, without touching them.
class SizingVisitor : public FolderVisitor {
public:
    explicit SizingVisitor(BatchRule& rule) : rule_(rule) {}

    InputRules Rules() const override { return rule_.Rules(); }
    void ProcessFile(const char* path) override { total += FileSize(path); }
    void ReportFailure(const char*, ResultCode) override {}
    void ReportNotice(const char*, ResultCode) override {}
    bool FinishesLeftovers() const override { return false; }

    uint64_t total = 0;

private:
    BatchRule& rule_;
};

}  // namespace

void LineHandOff::Write(BatchLine line) {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back(std::move(line));
    if (!wakePending_) {
        wakePending_ = PostMessageA(window_, message_, 0, 0) != 0;
    }
}

std::vector<BatchLine> LineHandOff::Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    wakePending_ = false;
    return std::exchange(lines_, {});
}

BatchWorker::BatchWorker(HWND window, const FileRange& inputs)
    : window_(window), inputs_(inputs), lines_(window, kBatchLinesMessage), run_(placed_, &stop_) {}

// The thread has ended by now (the owner's contract), and with it the rule
// and the cipher; these resets only matter when it never started.
BatchWorker::~BatchWorker() = default;

bool BatchWorker::StartRun(std::unique_ptr<FileCipher> cipher, RuleMaker makeRule, unsigned jobs) {
    cipher_ = std::move(cipher);
    makeRule_ = std::move(makeRule);
    jobs_ = jobs;
    if (cipher_ && (rule_ = makeRule_(*cipher_)) && Start()) {
        return true;
    }
    rule_.reset();
    cipher_.reset();
    return false;
}

BatchProgress BatchWorker::Progress() {
    BatchProgress progress;
    {
        std::lock_guard<std::mutex> lock(pathMutex_);
        progress.currentPath = currentPath_;
    }
    progress.doneBytes = doneBytes_.load();
    progress.totalBytes = totalBytes_.load();
    return progress;
}

int BatchWorker::Run() {
    // Set before the jobs copy the cipher, so that their copies report too.
    cipher_->SetProgress(this);
    totalBytes_ = SizeOfInputs(*rule_);
    {
        BatchJobs jobs(ordered_, &stop_);
        if (jobs_ > 1 && jobs.Start(jobs_, *cipher_, makeRule_)) {
            run_.SetJobs(&jobs);
        }
        run_.Run(inputs_, *rule_);
        run_.SetJobs(nullptr);
    }
    // The key schedule goes now, not when the dialog is closed after its
    // review.
    rule_.reset();
    cipher_.reset();
    PostMessageA(window_, kBatchEndMessage, 0, 0);
    return 0;
}

uint64_t BatchWorker::SizeOfInputs(BatchRule& rule) const {
    SizingVisitor visitor(rule);
    for (int i = 0; i < inputs_.count; ++i) {
        const char* path = inputs_.paths[i];
        if (inputs_.IsRefused(i)) {
            continue;
        }
        if (IsFolder(path)) {
            WalkFolder(path, visitor);
        } else if (rule.ClassifyFolderFile(path) == kResultOk) {
            visitor.total += FileSize(path);
        }
    }
    return visitor.total;
}

void BatchWorker::OnFileStart(const char* sourcePath, uint64_t) {
    std::lock_guard<std::mutex> lock(pathMutex_);
    currentPath_ = sourcePath;
}

void BatchWorker::OnBytesRead(uint64_t bytes) {
    doneBytes_ += bytes;
}

}  // namespace zorv
