#include "batch/batch_jobs.h"

#include <windows.h>

#include <new>
#include <utility>

namespace zorv {
namespace {

// The lines of one job, into its place.
class PlaceSink : public LineSink {
public:
    PlaceSink(OrderedLines& lines, int place) : lines_(lines), place_(place) {}
    void Write(BatchLine line) override { lines_.Write(place_, std::move(line)); }

private:
    OrderedLines& lines_;
    int place_;
};

}  // namespace

int OrderedLines::Open() {
    std::lock_guard<std::mutex> lock(mutex_);
    places_.emplace_back();
    return next_++;
}

void OrderedLines::Write(int place, BatchLine line) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (place == first_) {
        out_.Write(std::move(line));
    } else {
        places_[static_cast<std::size_t>(place - first_)].held.push_back(std::move(line));
    }
}

void OrderedLines::Close(int place) {
    std::lock_guard<std::mutex> lock(mutex_);
    places_[static_cast<std::size_t>(place - first_)].closed = true;
    // The oldest place is always passed through, so what it holds is only
    // what was written before it became the oldest.
    while (!places_.empty() && places_.front().closed) {
        places_.pop_front();
        ++first_;
        if (!places_.empty()) {
            for (BatchLine& line : std::exchange(places_.front().held, {})) {
                out_.Write(std::move(line));
            }
        }
    }
}

void PlacedLines::Write(BatchLine line) {
    const int place = lines_.Open();
    lines_.Write(place, std::move(line));
    lines_.Close(place);
}

BatchJobs::~BatchJobs() {
    int failures = 0;
    int fileLines = 0;
    Finish(&failures, &fileLines);
}

bool BatchJobs::Start(unsigned count, const FileCipher& cipher, const RuleMaker& makeRule) {
    for (unsigned i = 0; i < count; ++i) {
        std::unique_ptr<Worker> worker(new (std::nothrow) Worker(cipher));
        if (!worker || !(worker->rule = makeRule(worker->cipher))) {
            workers_.clear();
            return false;
        }
        workers_.push_back(std::move(worker));
    }
    for (std::unique_ptr<Worker>& worker : workers_) {
        Worker* own = worker.get();
        worker->thread = std::thread([this, own] { Serve(*own); });
    }
    return true;
}

void BatchJobs::Submit(const char* path, bool isInput) {
    Job job;
    job.path = path;
    job.isInput = isInput;
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return queue_.size() < workers_.size(); });
    // Opened under the lock, so places are in the order of the queue.
    job.place = lines_.Open();
    queue_.push_back(std::move(job));
    changed_.notify_all();
}

void BatchJobs::Finish(int* failures, int* fileLines) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    for (std::unique_ptr<Worker>& worker : workers_) {
        if (worker->thread.joinable()) {
            worker->thread.join();
        }
    }
    // The threads' ciphers, and with them their key schedules, go now.
    workers_.clear();
    *failures += std::exchange(failures_, 0);
    *fileLines += std::exchange(fileLines_, 0);
}

void BatchJobs::Serve(Worker& worker) {
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return !queue_.empty() || closing_; });
            if (queue_.empty()) {
                return;
            }
            job = std::move(queue_.front());
            queue_.pop_front();
            // A file that has the batch to itself (no other file at work nor
            // waiting) gets every thread: a large one runs on the parallel
            // transform. Files that come meanwhile share the processors.
            const bool alone = busy_ == 0 && queue_.empty();
            worker.cipher.SetThreads(alone ? static_cast<unsigned>(workers_.size()) : 1);
            ++busy_;
        }
        changed_.notify_all();
        Do(worker, job);
    }
}

void BatchJobs::Do(Worker& worker, const Job& job) {
    PlaceSink sink(lines_, job.place);
    BatchRun run(sink, stop_);
    if (!run.Stopped()) {
        if (job.isInput) {
            worker.rule->ProcessInput(run, job.path.c_str());
        } else {
            worker.rule->ProcessFile(run, job.path.c_str());
        }
    }
    lines_.Close(job.place);
    std::lock_guard<std::mutex> lock(mutex_);
    --busy_;
    failures_ += run.FailureCount();
    fileLines_ += run.FileLineCount();
}

unsigned BatchJobCount() {
    SYSTEM_INFO info = {};
    GetSystemInfo(&info);
    const unsigned processors = info.dwNumberOfProcessors;
    return processors < 1 ? 1 : processors > 4 ? 4 : processors;
}

}  // namespace zorv
