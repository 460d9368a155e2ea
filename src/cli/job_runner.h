// Runs the jobs of a plan on several threads and reports their lines in the
// plan's order, exactly as one job after the other would. Every worker
// thread keys nothing itself: it works with its own copy of the batch's
// cipher, since a cipher's feedback register belongs to one file at a time.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "cli/batch_plan.h"
#include "cli/file_jobs.h"
#include "crypto/file_cipher.h"

namespace zorv {

using JobFunction = std::vector<Outcome> (*)(const FileCipher&, const PlanItem&,
                                             const JobSettings&);

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
// settings.threads is overwritten with that share. When the plan has several
// files, small outputs wait for a shared flush (CommitOutputs), committed
// once enough wait, no job is left, or the oldest has waited 200 ms. Jobs
// not started when the user interrupts are skipped without a line.
RunSummary RunPlan(const Plan& plan, const FileCipher& cipher, unsigned jobs, JobSettings settings,
                   JobFunction job, Reporter& reporter);

}  // namespace zorv
