// A batch on a thread of its own, so that its dialog keeps answering: the
// worker runs the rule and hands each line to the dialog's thread, which
// alone writes the log (batch_view.h). Windows only.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/file_list.h"
#include "batch/batch_jobs.h"
#include "batch/batch_run.h"
#include "batch/progress_log.h"
#include "batch/worker_thread.h"
#include "crypto/file_cipher.h"

namespace zorv {

// Posted to the dialog: lines wait in the hand-off (wParam, lParam 0).
constexpr UINT kBatchLinesMessage = WM_APP + 10;
// Posted to the dialog as the worker's last action: the run has ended.
constexpr UINT kBatchEndMessage = WM_APP + 11;

// The hand-off of lines from the thread that makes them to the window's
// thread, in the order written. A write posts message to window only when
// no earlier post is still waiting to be taken, so a thousand quick lines
// cost one wake-up rather than a thousand posted messages (the window's
// queue holds at most 10,000). Any thread may call any member.
class LineHandOff : public LineSink {
public:
    LineHandOff(HWND window, UINT message) : window_(window), message_(message) {}

    // Queues the line and wakes the window unless a wake-up is pending. A
    // post that fails (a full queue) is tried again by the next write; the
    // lines are not lost either way, since Take returns them all.
    void Write(BatchLine line) override;
    // Every queued line, oldest first; the next write wakes the window again.
    std::vector<BatchLine> Take();

private:
    HWND window_;
    UINT message_;
    std::mutex mutex_;
    std::vector<BatchLine> lines_;
    bool wakePending_ = false;
};

// How far a batch has come, as the label and the taskbar button show it.
struct BatchProgress {
    std::string currentPath;  // the file being read; empty before the first
    uint64_t doneBytes = 0;   // source bytes read so far
    uint64_t totalBytes = 0;  // of every file the rule would read
};

// The worker: owns the keyed cipher and the rules over it (its own and those
// of its jobs' threads, batch_jobs.h) from StartRun until its run ends, then
// destroys them all on its own thread (a cipher's key schedule is cleared
// by its destructor) before posting kBatchEndMessage. The owner must keep
// the object until the thread has ended (WaitForEnd).
class BatchWorker : public WorkerThread, private TransformProgress {
public:
    // window: gets the hand-off's wake-ups and the end message. inputs are
    // borrowed and must outlive the thread.
    BatchWorker(HWND window, const FileRange& inputs);
    ~BatchWorker() override;

    // Takes the cipher, makes the run's rule over it with makeRule, and
    // starts the thread. With jobs above 1, files run on that many threads
    // of their own, each with a copy of the cipher and a rule from makeRule
    // (on one thread when those cannot be made). False when the rule or the
    // thread could not be made; the cipher is destroyed then.
    bool StartRun(std::unique_ptr<FileCipher> cipher, RuleMaker makeRule, unsigned jobs);

    // From the window's thread, at any time.
    std::vector<BatchLine> TakeLines() { return lines_.Take(); }
    BatchProgress Progress();
    // The run begins no further file; the one at hand is finished.
    void RequestStop() { stop_ = true; }

    // Meaningful once the thread has ended.
    const BatchRun& Outcome() const { return run_; }

protected:
    int Run() override;

private:
    void OnFileStart(const char* sourcePath, uint64_t size) override;
    void OnBytesRead(uint64_t bytes) override;
    uint64_t SizeOfInputs(BatchRule& rule) const;

    HWND window_;
    FileRange inputs_;
    LineHandOff lines_;
    OrderedLines ordered_{lines_};
    PlacedLines placed_{ordered_};
    std::atomic<bool> stop_{false};
    BatchRun run_;
    std::unique_ptr<FileCipher> cipher_;
    std::unique_ptr<BatchRule> rule_;
    RuleMaker makeRule_;
    unsigned jobs_ = 1;
    std::atomic<uint64_t> doneBytes_{0};
    std::atomic<uint64_t> totalBytes_{0};
    std::mutex pathMutex_;
    std::string currentPath_;
};

}  // namespace zorv
