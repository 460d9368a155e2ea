// Several files of a batch at once: up to four threads, each with its own
// copy of the cipher and its own rule, whose lines still reach the log in
// list order. Windows only (the rules are).
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "batch/batch_run.h"
#include "batch/progress_log.h"
#include "crypto/file_cipher.h"

namespace zorv {

// Lines in places: each place is opened in list order, written to by one
// thread at a time and closed when complete. A place's lines go on to out
// as soon as every place before it is closed, so the log keeps the list's
// order, and each line appears once every line before it is written. Any
// thread may call any member.
class OrderedLines {
public:
    explicit OrderedLines(LineSink& out) : out_(out) {}

    // A new place after every place opened so far.
    int Open();
    void Write(int place, BatchLine line);
    void Close(int place);

private:
    struct Place {
        std::vector<BatchLine> held;
        bool closed = false;
    };

    LineSink& out_;
    std::mutex mutex_;
    std::deque<Place> places_;  // from the oldest open place on
    int first_ = 0;             // the number of places_.front()
    int next_ = 0;              // the number of the next place opened
};

// Writes every line in a place of its own, opened and closed at once: the
// lines of the thread that walks the list (refusals, start and done).
class PlacedLines : public LineSink {
public:
    explicit PlacedLines(OrderedLines& lines) : lines_(lines) {}
    void Write(BatchLine line) override;

private:
    OrderedLines& lines_;
};

// A rule for one thread, over that thread's cipher; null for no memory.
using RuleMaker = std::function<std::unique_ptr<BatchRule>(FileCipher&)>;

// The threads of a batch and the files waiting for them.
class BatchJobs {
public:
    // lines: where each file's lines take their place. stop: when set, the
    // files still waiting are dropped without a line.
    BatchJobs(OrderedLines& lines, const std::atomic<bool>* stop) : lines_(lines), stop_(stop) {}
    // Waits for the threads (Finish).
    ~BatchJobs();
    BatchJobs(const BatchJobs&) = delete;
    BatchJobs& operator=(const BatchJobs&) = delete;

    // Starts count threads, each with a copy of cipher (copies keep its
    // progress hook) and a rule from makeRule. False, with no thread left
    // running, when a rule or a thread cannot be made: the caller runs the
    // batch on its own thread instead.
    bool Start(unsigned count, const FileCipher& cipher, const RuleMaker& makeRule);

    // Queues path for the next free thread, which gives it to its rule's
    // ProcessInput (isInput) or ProcessFile; its lines take the next place.
    // Waits while the queue already holds a file per thread. A file taken
    // while no other is at work or waiting may use every thread of the
    // batch (FileCipher::SetThreads), the others one each.
    void Submit(const char* path, bool isInput);

    // Waits until every queued file is done and the threads have ended;
    // adds the failures and file lines their runs counted.
    void Finish(int* failures, int* fileLines);

private:
    struct Job {
        std::string path;
        bool isInput = false;
        int place = 0;
    };
    struct Worker {
        explicit Worker(const FileCipher& original) : cipher(original) {}
        FileCipher cipher;
        std::unique_ptr<BatchRule> rule;
        std::thread thread;
    };

    void Serve(Worker& worker);
    void Do(Worker& worker, const Job& job);

    OrderedLines& lines_;
    const std::atomic<bool>* stop_;
    std::vector<std::unique_ptr<Worker>> workers_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Job> queue_;
    bool closing_ = false;
    int busy_ = 0;  // threads at work on a file
    int failures_ = 0;
    int fileLines_ = 0;
};

// The number of threads a batch uses: the processors, at most four (a
// batch is bound by the disk beyond that).
unsigned BatchJobCount();

}  // namespace zorv
