#include "cli/job_runner.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "cli/interrupt.h"

namespace zorv {
namespace {

enum class JobState { kPending, kDone, kSkipped };

struct JobSlot {
    JobState state = JobState::kPending;
    std::vector<Outcome> lines;
};

class Scheduler {
public:
    Scheduler(const Plan& plan, const FileCipher& cipher, const JobSettings& settings,
              JobFunction job)
        : plan_(plan), cipher_(cipher), settings_(settings), job_(job), slots_(plan.items.size()) {}

    void Work() {
        FileCipher own(cipher_);
        for (;;) {
            std::size_t index = next_.fetch_add(1);
            if (index >= slots_.size()) {
                break;
            }
            const PlanItem& item = plan_.items[index];
            if (Interrupted()) {
                Finish(index, true, {});
            } else if (item.refusal != kResultOk) {
                Finish(index, false, {Outcome{item.path, item.refusal}});
            } else {
                Finish(index, false, job_(own, item, settings_));
            }
        }
    }

    // Waits for slot index; true with its lines when it has some to report.
    bool Collect(std::size_t index, Reporter& reporter, std::vector<Outcome>* lines) {
        std::unique_lock<std::mutex> lock(mutex_);
        while (slots_[index].state == JobState::kPending) {
            lock.unlock();
            reporter.Tick();
            lock.lock();
            done_.wait_for(lock, std::chrono::milliseconds(100),
                           [&] { return slots_[index].state != JobState::kPending; });
        }
        *lines = std::move(slots_[index].lines);
        return slots_[index].state == JobState::kDone;
    }

private:
    void Finish(std::size_t index, bool skipped, std::vector<Outcome> lines) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            slots_[index].lines = std::move(lines);
            slots_[index].state = skipped ? JobState::kSkipped : JobState::kDone;
        }
        done_.notify_all();
    }

    const Plan& plan_;
    const FileCipher& cipher_;
    const JobSettings& settings_;
    JobFunction job_;
    std::vector<JobSlot> slots_;
    std::atomic<std::size_t> next_{0};
    std::mutex mutex_;
    std::condition_variable done_;
};

}  // namespace

RunSummary RunPlan(const Plan& plan, const FileCipher& cipher, unsigned jobs, JobSettings settings,
                   JobFunction job, Reporter& reporter) {
    jobs = jobs == 0 ? 1 : jobs;
    std::size_t files = plan.workCount == 0 ? 1 : plan.workCount;
    unsigned workers = files < jobs ? static_cast<unsigned>(files) : jobs;
    settings.threads = jobs / workers;
    Scheduler scheduler(plan, cipher, settings, job);
    std::vector<std::thread> threads;
    for (unsigned i = 0; i < workers; ++i) {
        threads.emplace_back([&scheduler] { scheduler.Work(); });
    }
    RunSummary summary;
    std::vector<Outcome> lines;
    for (std::size_t i = 0; i < plan.items.size(); ++i) {
        if (!scheduler.Collect(i, reporter, &lines)) {
            continue;
        }
        for (const Outcome& line : lines) {
            summary.failures += line.code != kResultOk ? 1 : 0;
            reporter.Report(line);
        }
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    summary.interrupted = Interrupted();
    return summary;
}

}  // namespace zorv
