#include "cli/job_runner.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "cli/interrupt.h"
#include "cli/key_protection.h"

namespace zorv {

namespace {

// A group is committed once this many outputs wait. It stays below the 64
// temporaries that a second signal can remember, so that the pending ones
// normally stay registered (a few more may join while a flush runs; those
// the first signal still destroys); 48 files still share one flush where
// there was one each.
constexpr std::size_t kMaxGroupedFiles = 48;

// kGrouped: the job is over, its output waits in the group.
enum class JobState { kPending, kGrouped, kDone, kSkipped };

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
        LockInMemory(&own, sizeof own);
        for (;;) {
            std::size_t index = next_.fetch_add(1);
            if (index >= slots_.size()) {
                break;
            }
            const PlanItem& item = plan_.items[index];
            if (Interrupted()) {
                Finish(index, JobState::kSkipped, {});
            } else if (item.refusal != kResultOk) {
                Finish(index, JobState::kDone, {Outcome{item.path, item.refusal}});
            } else {
                JobSettings settings = settings_;
                std::unique_ptr<PendingOutput> pending;
                settings.pending = grouping_ ? &pending : nullptr;
                std::vector<Outcome> lines = job_(own, item, settings);
                Finish(index, JobState::kDone, std::move(lines), std::move(pending));
            }
        }
    }

    // Waits for slot index; true with its lines when it has some to report.
    // A slot whose output waits in the group commits the group: everything
    // that the jobs have finished since the last commit.
    bool Collect(std::size_t index, Reporter& reporter, std::vector<Outcome>* lines) {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            JobState state = slots_[index].state;
            if (state == JobState::kDone || state == JobState::kSkipped) {
                break;
            }
            bool commit = state == JobState::kGrouped && GroupIsReady(lock);
            lock.unlock();
            if (commit) {
                CommitGroup();
            } else {
                reporter.Tick();
            }
            lock.lock();
            // A waiting group is looked at again when any job finishes.
            auto wait = std::chrono::milliseconds(state == JobState::kGrouped ? 5 : 100);
            std::size_t finished = finished_;
            done_.wait_for(lock, wait, [&] {
                return state == JobState::kGrouped ? finished_ != finished
                                                   : slots_[index].state != JobState::kPending;
            });
        }
        *lines = std::move(slots_[index].lines);
        return slots_[index].state == JobState::kDone;
    }

    // Outputs are grouped only when there are several files to share a
    // flush.
    void GroupOutputs(bool on) { grouping_ = on; }

private:
    // A job's output left pending joins the group, and its slot waits for it.
    void Finish(std::size_t index, JobState state, std::vector<Outcome> lines,
                std::unique_ptr<PendingOutput> pending = nullptr) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            finished_ += slots_[index].state == JobState::kPending ? 1u : 0u;
            if (pending != nullptr) {
                groupSlots_.push_back(index);
                group_.push_back(std::move(pending));
                state = JobState::kGrouped;
            }
            slots_[index].lines = std::move(lines);
            slots_[index].state = state;
        }
        done_.notify_all();
    }

    // A group is committed when it is large enough, when no job is left to
    // join it, or when its oldest output has waited long enough that the
    // lines would lag (and a slow disk would hold many files unflushed).
    bool GroupIsReady(const std::unique_lock<std::mutex>&) {
        auto now = std::chrono::steady_clock::now();
        if (!waiting_) {
            waiting_ = true;
            waitingSince_ = now;
        }
        return finished_ == slots_.size() || group_.size() >= kMaxGroupedFiles ||
               now - waitingSince_ >= std::chrono::milliseconds(200);
    }

    void CommitGroup() {
        waiting_ = false;
        std::vector<std::size_t> slots;
        std::vector<std::unique_ptr<PendingOutput>> group;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            slots.swap(groupSlots_);
            group.swap(group_);
        }
        std::vector<std::vector<Outcome>> lines = CommitOutputs(group, settings_);
        for (std::size_t i = 0; i < slots.size(); ++i) {
            Finish(slots[i], JobState::kDone, std::move(lines[i]));
        }
    }

    const Plan& plan_;
    const FileCipher& cipher_;
    const JobSettings& settings_;
    JobFunction job_;
    std::vector<JobSlot> slots_;
    std::atomic<std::size_t> next_{0};
    // The outputs waiting for the group's flush, and their jobs' slots.
    std::vector<std::unique_ptr<PendingOutput>> group_;
    std::vector<std::size_t> groupSlots_;
    bool grouping_ = false;
    std::size_t finished_ = 0;  // slots no longer pending
    bool waiting_ = false;      // the collector waits for a group to fill
    std::chrono::steady_clock::time_point waitingSince_;
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
    scheduler.GroupOutputs(plan.workCount > 1);
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
            summary.failures += IsFailure(line.code) ? 1u : 0u;
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
