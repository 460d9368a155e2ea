// The outcome lines of a run, in the desktop log's shapes: "PATH...OK", or
// PATH and then a tab, "->" and the message on the next line. One file
// gives one report, whatever its name holds: see ShownName.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>

#include "cli/cli_text.h"
#include "cli/job_runner.h"
#include "cli/progress_bar.h"

namespace zorv {

// A name as a report line shows it. A line feed or CR always becomes
// \xHH, so a name cannot forge a second line for a script that reads the
// report; on a terminal every control character does too, and every
// byte that is not part of valid UTF-8, so a name cannot send escape
// sequences to the terminal.
std::string ShownName(const std::string& path, bool terminal);

class LineReporter : public Reporter {
public:
    // quiet: successes are not reported. progress and done may be null.
    LineReporter(std::FILE* stream, Language language, bool quiet, ProgressBar* progress,
                 const std::atomic<std::uint64_t>* done);

    void Report(const Outcome& outcome) override;
    void Tick() override;

    std::size_t successes() const { return successes_; }

private:
    std::FILE* stream_;
    Language language_;
    bool quiet_;
    bool terminal_;
    ProgressBar* progress_;
    const std::atomic<std::uint64_t>* done_;
    std::size_t successes_ = 0;
};

}  // namespace zorv
