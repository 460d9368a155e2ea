// The command line of zorv-cli, parsed with CLI11:
//   zorv-cli encrypt|decrypt|verify|cat [options] PATH...
#pragma once

#include <string>
#include <vector>

#include "cli/batch_plan.h"

namespace zorv {

struct CliOptions {
    Command command = Command::kEncrypt;
    std::vector<std::string> paths;
    bool recursive = false;
    bool keep = false;
    bool quiet = false;
    bool verbose = false;
    bool toStandardOutput = false;  // -c: write to standard output, keep the source
    std::string output;             // -o: the output of the single input ("-": -c)
    bool force = false;             // replace outputs; plain text to a terminal
    bool noWipe = false;            // delete sources without overwriting them
    unsigned jobs = 0;              // 0: one per processor
    std::string passwordFile;
    int passwordFd = -1;
    std::string language;  // "en", "ja" or empty (from the locale)
};

enum class ParseResult {
    kRun,         // options holds a command to run
    kDone,        // --help or --version was answered: exit 0
    kUsageError,  // the message was written to standard error: exit 2
};

// Parses and checks the combinations: "-" only as the one input, -o only
// with one input and never empty, -c and -o not together, neither with
// verify nor -o with cat (options that do not apply are refused, not
// ignored), -c with encrypt for one input (one .crp stream cannot hold two
// files), --password-fd 0 not with input "-". A lone "-o -" becomes -c.
// Errors are written to standard error with the program's name in front.
ParseResult ParseCommandLine(int argc, char** argv, CliOptions* options);

// True when the input is standard input.
bool ReadsStandardInput(const CliOptions& options);
// True when the data (not the report lines) goes to standard output: cat,
// -c, or input "-" without -o. Not for verify, which writes no data.
bool WritesStandardOutput(const CliOptions& options);

}  // namespace zorv
