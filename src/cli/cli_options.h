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
    unsigned jobs = 0;  // 0: one per processor
    std::string passwordFile;
    int passwordFd = -1;
    std::string language;  // "en", "ja" or empty (from the locale)
};

enum class ParseResult {
    kRun,         // options holds a command to run
    kDone,        // --help or --version was answered: exit 0
    kUsageError,  // the message was written to standard error: exit 2
};

ParseResult ParseCommandLine(int argc, char** argv, CliOptions* options);

}  // namespace zorv
