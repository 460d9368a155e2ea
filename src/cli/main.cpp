// zorv-cli: the command-line companion of Zorv. Reads and writes the same
// .crp files as the desktop program, with the same checks and messages.
#include <cstdio>
#include <vector>

#include "cli/batch_plan.h"
#include "cli/cli_options.h"
#include "cli/cli_text.h"
#include "cli/file_jobs.h"
#include "cli/interrupt.h"
#include "cli/job_runner.h"
#include "cli/parallel_transform.h"
#include "cli/password_prompt.h"
#include "cli/platform_file.h"
#include "cli/progress_bar.h"
#include "cli/stream_cat.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace zorv {
namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// Writes the outcome lines in the desktop log's shapes: "PATH...OK", or
// PATH and then a tab, "->" and the message on the next line.
class LineReporter : public Reporter {
public:
    LineReporter(std::FILE* stream, Language language, bool quiet, ProgressBar* progress,
                 const std::atomic<std::uint64_t>* done)
        : stream_(stream), language_(language), quiet_(quiet), progress_(progress), done_(done) {}

    void Report(const Outcome& outcome) override {
        if (outcome.code == kResultOk && quiet_) {
            return;
        }
        if (progress_ != nullptr) {
            progress_->Erase();
        }
        WritePath(stream_, outcome.path);
        if (outcome.code == kResultOk) {
            std::fputs("...OK\n", stream_);
        } else {
            std::fputs("\n\t->", stream_);
            WriteText(stream_, MessageText(language_, outcome.code) + "\n");
        }
        std::fflush(stream_);
    }

    void Tick() override {
        if (progress_ != nullptr && done_ != nullptr) {
            progress_->Update(done_->load(std::memory_order_relaxed));
        }
    }

private:
    std::FILE* stream_;
    Language language_;
    bool quiet_;
    ProgressBar* progress_;
    const std::atomic<std::uint64_t>* done_;
};

JobFunction JobFor(Command command) {
    switch (command) {
        case Command::kEncrypt:
            return EncryptJob;
        case Command::kDecrypt:
            return DecryptJob;
        default:
            return VerifyJob;
    }
}

int RunBatch(const CliOptions& options, const Plan& plan, const FileCipher& cipher,
             Language language) {
    std::atomic<std::uint64_t> done{0};
    ProgressBar progress(StandardErrorIsTerminal(), plan.workBytes);
    LineReporter reporter(stdout, language, options.quiet, &progress, &done);
    JobSettings settings;
    settings.keep = options.keep;
    settings.progress = &done;
    unsigned jobs = options.jobs == 0 ? ProcessorCount() : options.jobs;
    RunSummary summary = RunPlan(plan, cipher, jobs, settings, JobFor(options.command), reporter);
    progress.Erase();
    if (summary.interrupted) {
        return InterruptedExitStatus();
    }
    return summary.failures == 0 ? kExitSuccess : kExitFailure;
}

int RunCat(const Plan& plan, const FileCipher& cipher, Language language) {
    LineReporter reporter(stderr, language, true, nullptr, nullptr);
    std::size_t failures = 0;
    for (const PlanItem& item : plan.items) {
        if (Interrupted()) {
            return InterruptedExitStatus();
        }
        Outcome outcome{item.path, item.refusal};
        if (outcome.code == kResultOk) {
            outcome.code = CatFile(cipher, item.path);
        }
        if (outcome.code == kResultInterrupted) {
            return InterruptedExitStatus();
        }
        failures += outcome.code != kResultOk ? 1 : 0;
        reporter.Report(outcome);
    }
    return failures == 0 ? kExitSuccess : kExitFailure;
}

// Reports the refusals of a plan that has no work, without asking for a
// password that would not be used.
int ReportRefusals(const Plan& plan, Language language, bool toStandardError) {
    LineReporter reporter(toStandardError ? stderr : stdout, language, false, nullptr, nullptr);
    for (const PlanItem& item : plan.items) {
        reporter.Report(Outcome{item.path, item.refusal});
    }
    return plan.items.empty() ? kExitSuccess : kExitFailure;
}

int Run(int argc, char** argv) {
    InstallInterruptHandler();
    CliOptions options;
    switch (ParseCommandLine(argc, argv, &options)) {
        case ParseResult::kDone:
            return kExitSuccess;
        case ParseResult::kUsageError:
            return kExitUsage;
        case ParseResult::kRun:
            break;
    }
    Language language = ChooseLanguage(options.language);
    Plan plan = BuildPlan(options.command, options.paths, options.recursive);
    bool cat = options.command == Command::kCat;
#ifdef _WIN32
    if (cat) {
        // Plain bytes: no CR added before line feeds. The report lines stay
        // in text mode and end in CR LF, as Windows consoles expect.
        _setmode(_fileno(stdout), _O_BINARY);
    }
#endif
    if (plan.workCount == 0) {
        return ReportRefusals(plan, language, cat);
    }
    SecretBuffer key;
    KeyStatus status = AcquireKey(options, language, &key);
    if (status != KeyStatus::kOk) {
        return status == KeyStatus::kInterrupted ? InterruptedExitStatus() : kExitUsage;
    }
    FileCipher cipher(key.data(), static_cast<std::int32_t>(key.size()));
    key.Clear();  // the cipher holds the key schedule from here on
    int exitStatus =
        cat ? RunCat(plan, cipher, language) : RunBatch(options, plan, cipher, language);
    if (Interrupted() && exitStatus == InterruptedExitStatus()) {
        std::fputs("zorv-cli: interrupted\n", stderr);
    }
    return exitStatus;
}

}  // namespace
}  // namespace zorv

int main(int argc, char** argv) {
    return zorv::Run(argc, argv);
}
