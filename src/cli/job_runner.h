// Runs the jobs of a plan on several threads and reports their lines in the
// plan's order, exactly as one job after the other would. Every worker
// thread keys nothing itself: it works with its own copy of the batch's
// cipher, since a cipher's feedback register belongs to one file at a time.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "cli/batch_plan.h"
#include "cli/file_jobs.h"
#include "crypto/file_cipher.h"

namespace zorv {

using JobFunction = std::vector<Outcome> (*)(const FileCipher&, const PlanItem&,
                                             const JobSettings&);

// Many small outputs made durable together. Flushing each output before its
// rename costs a journal commit per file, which dominates a run over many
// small files (a few milliseconds for a 4 KiB file). A group instead takes
// the complete outputs that jobs left pending (JobSettings::pending),
// flushes them all with one request, and only then moves each to its name
// and destroys its source: no final name ever appears before its data is on
// the disk, as with one file at a time.
class OutputGroup {
public:
    // A group is committed once this many outputs wait. It stays below the
    // 64 temporaries that a second signal can remember, so that the pending
    // ones normally stay registered (a few more may join while a flush
    // runs; those the first signal still destroys); 48 files still share
    // one flush where there was one each.
    static constexpr std::size_t kMaxFiles = 48;

    // Called by the jobs, from any thread; slot is the job's place in the
    // plan.
    void Add(std::size_t slot, std::unique_ptr<PendingOutput> output);
    std::size_t Size();

    // Flushes everything added so far in one request, then places each
    // output in the order added (PlacePending), flushes the folders once
    // each unless the sources are kept, and ends each job (FinishPending).
    // After an interrupt the temporaries are dropped and their jobs have no
    // lines. Call from one thread at a time. The lines of each job, with
    // its slot.
    std::vector<std::pair<std::size_t, std::vector<Outcome>>> Commit(const JobSettings& settings);

private:
    std::mutex mutex_;
    std::vector<std::pair<std::size_t, std::unique_ptr<PendingOutput>>> pending_;
};

// Receives the lines in order, on the thread that called RunPlan.
class Reporter {
public:
    virtual ~Reporter() = default;
    virtual void Report(const Outcome& outcome) = 0;
    // Called about ten times a second while jobs run (progress display).
    virtual void Tick() {}
};

struct RunSummary {
    std::size_t failures = 0;  // lines with an outcome other than 0
    bool interrupted = false;
};

// jobs: how many files at once (at least 1). When the plan has fewer files
// than jobs, the spare threads go to the ranges of each decryption.
// settings.threads is overwritten with that share. Jobs not started when the
// user interrupts are skipped without a line.
RunSummary RunPlan(const Plan& plan, const FileCipher& cipher, unsigned jobs, JobSettings settings,
                   JobFunction job, Reporter& reporter);

}  // namespace zorv
