// zorv-cli: the command-line companion of Zorv. Reads and writes the same
// .crp files as the desktop program, with the same checks and messages.
#include <algorithm>
#include <cstdio>
#include <thread>
#include <vector>

#include "cli/batch_plan.h"
#include "cli/cli_options.h"
#include "cli/cli_text.h"
#include "cli/file_jobs.h"
#include "cli/interrupt.h"
#include "cli/job_runner.h"
#include "cli/key_protection.h"
#include "cli/password_prompt.h"
#include "cli/progress_bar.h"
#include "cli/report_lines.h"
#include "cli/std_streams.h"
#include "cli/stream_cat.h"
#include "cli/utf8_arguments.h"
#include "crypto/file_entries.h"
#include "crypto/result_code.h"
#include "crypto/wide_path.h"

namespace zorv {
namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
// The reader of standard output went away: what a shell shows for a
// process that SIGPIPE ended, without a message, as other tools do.
constexpr int kExitPipeClosed = 141;

void Complain(const char* text) {
    std::fprintf(stderr, "zorv-cli: %s\n", text);
}

// -v: how the run went, after its lines.
void WriteCount(const CliOptions& options, std::size_t done, std::size_t failed) {
    if (options.verbose) {
        std::fprintf(stderr, "zorv-cli: %zu done, %zu failed\n", done, failed);
    }
}

// The number of jobs at once: -j, or one per processor.
unsigned Processors(const CliOptions& options) {
    const unsigned processors = std::max(1u, std::thread::hardware_concurrency());
    return options.jobs == 0 ? processors : options.jobs;
}

JobSettings SettingsOf(const CliOptions& options) {
    JobSettings settings;
    settings.threads = Processors(options);
    settings.keep = options.keep;
    settings.replace = options.force;
    settings.noWipe = options.noWipe;
    settings.output = options.output;
    return settings;
}

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
    JobSettings settings = SettingsOf(options);
    settings.progress = &done;
    PlacedOutputs placed;
    settings.placed = &placed;
    RunSummary summary =
        RunPlan(plan, cipher, Processors(options), settings, JobFor(options.command), reporter);
    progress.Erase();
    if (summary.interrupted) {
        return InterruptedExitStatus();
    }
    WriteCount(options, reporter.successes(), summary.failures);
    return summary.failures == 0 ? kExitSuccess : kExitFailure;
}

// cat and -c: every file's output to standard output, in the plan's order.
// The lines go to standard error, successes only with -v.
int RunStreams(const CliOptions& options, const Plan& plan, const FileCipher& cipher,
               Language language) {
    LineReporter reporter(stderr, language, !options.verbose, nullptr, nullptr);
    Command command = options.command == Command::kEncrypt ? Command::kEncrypt : Command::kDecrypt;
    StandardOutputSink sink;
    std::size_t failures = 0;
    for (const PlanItem& item : plan.items) {
        if (Interrupted()) {
            return InterruptedExitStatus();
        }
        Outcome outcome{item.path, item.refusal};
        if (outcome.code == kResultOk) {
            outcome.code = StreamFile(command, cipher, item.path, sink);
        }
        if (sink.pipeClosed) {
            return kExitPipeClosed;
        }
        if (outcome.code == kResultInterrupted) {
            return InterruptedExitStatus();
        }
        failures += IsFailure(outcome.code) ? 1u : 0u;
        reporter.Report(outcome);
    }
    WriteCount(options, reporter.successes(), failures);
    return failures == 0 ? kExitSuccess : kExitFailure;
}

// Input "-": to standard output (its line on standard error, the success
// only with -v), to the -o file, or for verify to nothing (its line on
// standard output, as verify reports).
int RunStandardInput(const CliOptions& options, const FileCipher& cipher, Language language) {
    WidenStandardPipes();
    std::vector<Outcome> lines;
    bool dataOut = WritesStandardOutput(options);
    StandardOutputSink sink;
    if (options.command == Command::kVerify || dataOut) {
        lines.push_back(
            Outcome{"-", StreamStandardInput(options.command, cipher, sink, Processors(options))});
    } else {
        lines = StandardInputJob(cipher, options.command == Command::kDecrypt, SettingsOf(options));
    }
    if (sink.pipeClosed) {
        return kExitPipeClosed;
    }
    if (Interrupted()) {
        return InterruptedExitStatus();
    }
    bool quiet = dataOut ? !options.verbose : options.quiet;
    LineReporter reporter(dataOut ? stderr : stdout, language, quiet, nullptr, nullptr);
    std::size_t failures = 0;
    for (const Outcome& line : lines) {
        failures += IsFailure(line.code) ? 1u : 0u;
        reporter.Report(line);
    }
    WriteCount(options, reporter.successes(), failures);
    return failures == 0 ? kExitSuccess : kExitFailure;
}

// Reports the refusals of a plan that has no work, without asking for a
// password that would not be used.
int ReportRefusals(const Plan& plan, Language language, bool toStandardError) {
    LineReporter reporter(toStandardError ? stderr : stdout, language, false, nullptr, nullptr);
    bool failed = false;
    for (const PlanItem& item : plan.items) {
        reporter.Report(Outcome{item.path, item.refusal});
        failed = failed || IsFailure(item.refusal);
    }
    return failed ? kExitFailure : kExitSuccess;
}

// Runs work with the cipher keyed from the password, which is asked only
// now that there is work to do.
template <typename Work>
int WithCipher(const CliOptions& options, Language language, Work work) {
    SecretBuffer key;
    KeyStatus status = AcquireKey(options, language, &key);
    if (status != KeyStatus::kOk) {
        return status == KeyStatus::kInterrupted ? InterruptedExitStatus() : kExitUsage;
    }
    FileCipher cipher(key.data(), static_cast<std::int32_t>(key.size()));
    LockInMemory(&cipher, sizeof cipher);
    key.Clear();  // the cipher holds the key schedule from here on
    int exitStatus = work(cipher);
    if (Interrupted() && exitStatus == InterruptedExitStatus()) {
        std::fputs("zorv-cli: interrupted\n", stderr);
    }
    return exitStatus;
}

int Run(int argc, char** argv) {
    OpenMissingStandardStreams();
    InstallInterruptHandler();
    CurrentUmask();  // read before any thread creates a file
    KeepOutOfDumps();
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
    bool dataOut = WritesStandardOutput(options);
    if (dataOut && !options.force && StandardOutputIsTerminal()) {
        Complain("not writing binary data to a terminal (give -f to do it anyway)");
        return kExitUsage;
    }
    if (ReadsStandardInput(options)) {
        return WithCipher(options, language, [&](const FileCipher& cipher) {
            return RunStandardInput(options, cipher, language);
        });
    }
    // A source that is kept may be read-only: with -c, or when -f asks.
    bool readOnlyAllowed = dataOut || (options.keep && options.force);
    Plan plan = BuildPlan(options.command, options.paths, options.recursive, readOnlyAllowed);
    if (!options.output.empty() && plan.items.size() > 1) {
        Complain("-o names the output of a single file, and the folder holds several");
        return kExitUsage;
    }
    if (options.command == Command::kEncrypt && dataOut && plan.workCount > 1) {
        Complain("encrypt -c takes a single file: one .crp stream holds one file");
        return kExitUsage;
    }
    if (!dataOut &&
        (options.command == Command::kEncrypt || options.command == Command::kDecrypt)) {
        RefuseCollisions(&plan, options.command, options.output);
        FinishLeftovers(&plan);
    }
    if (plan.workCount == 0) {
        return ReportRefusals(plan, language, dataOut);
    }
    return WithCipher(options, language, [&](const FileCipher& cipher) {
        return dataOut ? RunStreams(options, plan, cipher, language)
                       : RunBatch(options, plan, cipher, language);
    });
}

}  // namespace
}  // namespace zorv

int main(int argc, char** argv) {
    // Paths are UTF-8 from here on, on Windows too: see utf8_arguments.h.
    zorv::UseUtf8Paths();
    zorv::Utf8Arguments arguments(argc, argv);
    if (arguments.count() == 0) {
        std::fputs("zorv-cli: the command line could not be read\n", stderr);
        return 1;
    }
    return zorv::Run(arguments.count(), arguments.values());
}
