#include "cli/cli_options.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstring>
#include <limits>

namespace zorv {
namespace {

constexpr const char* kFooter =
    R"(Passwords are asked on the terminal without echo (for encrypt twice, and
the pair again when the entries differ, three tries in all), or read from
the first line of --password-file FILE or of --password-fd N; never from
the command line. The key is the password in code page 932, as
the desktop program keys it: 1 to 56 bytes.

encrypt turns every file into NAME.crp beside it and destroys the source
(24 overwrites in place, then deletion; a plain deletion with --no-wipe)
once the .crp file is complete, unless -k. Overwriting cannot reach older
copies: SSD remapping, copy-on-write file systems, snapshots, backups,
synced folders, swap. decrypt turns every NAME.crp back into NAME and
destroys the .crp file, unless -k. Existing files are replaced only with
-f, and then atomically. verify checks that the password opens each file
and writes nothing. cat (or decrypt -c) writes the plain text to standard
output; plain text is not written to a terminal without -f.

A lone - as the input reads standard input and writes standard output
(or the -o file), for encrypt, decrypt and verify. Decrypting to standard
output writes the plain text before the checksum at the end is known: on a
mismatch the run exits 1 with the wrong-password line after the data.

Exit status: 0 every file succeeded, 1 a file failed, 2 usage error or a
refused password, 128 + N interrupted by signal N (130 for Ctrl+C), 141 standard output
closed early (quietly).

Examples:
  zorv-cli encrypt report.doc              # report.doc.crp, source destroyed
  zorv-cli decrypt -k -r archive/          # every .crp under archive/, kept
  zorv-cli verify --password-file pw *.crp
  zorv-cli cat notes.txt.crp | less
  tar c dir | zorv-cli encrypt --password-file pw - > dir.tar.crp)";

struct CommandName {
    const char* name;
    Command command;
    const char* description;
};

constexpr CommandName kCommands[] = {
    {"encrypt", Command::kEncrypt, "Encrypt files into NAME.crp beside them"},
    {"decrypt", Command::kDecrypt, "Decrypt NAME.crp files into NAME beside them"},
    {"verify", Command::kVerify, "Check that the password opens each .crp file"},
    {"cat", Command::kCat, "Write the plain text of .crp files to standard output"},
};

CLI::Validator Unlabelled(CLI::Validator check) {
    check.description("");
    return check;
}

void AddCommonOptions(CLI::App& app, CliOptions* options) {
    app.add_flag("-r,--recursive", options->recursive, "Walk folders and their sub-folders");
    app.add_flag("-k,--keep", options->keep, "Keep the source files");
    CLI::Option* quiet = app.add_flag("-q,--quiet", options->quiet, "Report failures only");
    app.add_flag("-v,--verbose", options->verbose,
                 "Also report the successes of cat, -c and -, and end with a count")
        ->excludes(quiet);
    CLI::Option* toStdout = app.add_flag("-c,--stdout", options->toStandardOutput,
                                         "Write to standard output and keep the source");
    app.add_option("-o,--output", options->output, "Name the output of the single input")
        ->type_name("FILE")
        ->excludes(toStdout);
    app.add_flag("-f,--force", options->force,
                 "Replace existing outputs (atomically); write plain text to a terminal; "
                 "with -k, also take read-only sources");
    app.add_flag("--no-wipe", options->noWipe,
                 "Delete sources without overwriting them (SSDs, copy-on-write file systems)");
    // --help names each value plainly; a check's own description would add
    // a parser type label to it ("UINT:UINT in [1 - 256]"), so it is emptied.
    app.add_option("-j,--jobs", options->jobs,
                   "Files at once, 1 to 256 (default: one per processor)")
        ->type_name("N")
        ->check(Unlabelled(CLI::Range(1u, 256u)));
    CLI::Option* file = app.add_option("--password-file", options->passwordFile,
                                       "Read the password from the first line of FILE")
                            ->type_name("FILE");
    app.add_option("--password-fd", options->passwordFd,
                   "Read the password from the first line of descriptor N")
        ->type_name("N")
        ->check(Unlabelled(CLI::Range(0, std::numeric_limits<int>::max())))
        ->excludes(file);
    app.add_option("--lang", options->language, "Language of the messages (default: locale)")
        ->type_name("en|ja")
        ->check(Unlabelled(CLI::IsMember({"en", "ja"})));
}

void Complain(const char* text) {
    std::fprintf(stderr, "zorv-cli: %s\n", text);
}

// The first argument that is neither an option nor an option's value: the
// command, when the line has one.
const char* FirstWord(int argc, char** argv) {
    static const char* const kTakesValue[] = {
        "-j", "--jobs", "--password-file", "--lang", "--password-fd", "-o", "--output"};
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] != '-') {
            return argv[i];
        }
        for (const char* option : kTakesValue) {
            if (std::strcmp(argv[i], option) == 0) {
                ++i;
            }
        }
    }
    return nullptr;
}

bool IsCommandName(const char* word) {
    for (const CommandName& entry : kCommands) {
        if (std::strcmp(word, entry.name) == 0) {
            return true;
        }
    }
    return false;
}

// The combinations that the parser cannot express; false after a message.
// outputGiven: -o was on the command line (its value may be empty).
bool CheckCombinations(bool outputGiven, CliOptions* options) {
    bool verify = options->command == Command::kVerify;
    if (outputGiven && options->output.empty()) {
        Complain("-o needs a file name");
        return false;
    }
    if (outputGiven && (verify || options->command == Command::kCat)) {
        Complain(verify ? "verify writes nothing: -o does not apply"
                        : "cat writes to standard output: -o does not apply");
        return false;
    }
    if (verify && options->toStandardOutput) {
        Complain("verify writes nothing: -c does not apply");
        return false;
    }
    if (options->output == "-") {
        options->output.clear();
        options->toStandardOutput = true;
    }
    bool standardInput = false;
    for (const std::string& path : options->paths) {
        standardInput = standardInput || path == "-";
    }
    std::size_t inputs = options->paths.size();
    if (standardInput && inputs > 1) {
        Complain("- (standard input) must be the only input");
    } else if (standardInput && options->command == Command::kCat) {
        Complain("cat reads files; give decrypt - to read standard input");
    } else if (!options->output.empty() && inputs > 1) {
        Complain("-o names the output of a single input");
    } else if (options->toStandardOutput && options->command == Command::kEncrypt && inputs > 1) {
        Complain("encrypt -c takes a single input: one .crp stream holds one file");
    } else if (standardInput && options->passwordFd == 0) {
        Complain("--password-fd 0 is standard input, which - reads as data");
    } else {
        return true;
    }
    return false;
}

}  // namespace

bool ReadsStandardInput(const CliOptions& options) {
    return options.paths.size() == 1 && options.paths[0] == "-";
}

bool WritesStandardOutput(const CliOptions& options) {
    if (options.command == Command::kVerify) {
        return false;
    }
    return options.command == Command::kCat || options.toStandardOutput ||
           (ReadsStandardInput(options) && options.output.empty());
}

ParseResult ParseCommandLine(int argc, char** argv, CliOptions* options) {
    CLI::App app{"Encrypt and decrypt Zorv .crp files.", "zorv-cli"};
    app.footer(kFooter);
    app.set_version_flag("--version", "zorv-cli " ZORV_VERSION);
    app.require_subcommand(1);
    AddCommonOptions(app, options);
    for (const CommandName& entry : kCommands) {
        CLI::App* sub = app.add_subcommand(entry.name, entry.description);
        sub->fallthrough();
        sub->add_option("paths", options->paths, "Files and folders")
            ->type_name("PATH")
            ->required();
        sub->callback([options, entry] { options->command = entry.command; });
    }
    // CLI11 reports parse errors and --help by exceptions; they end here and
    // become the exit status. Nothing else in the program throws.
    app.failure_message([](const CLI::App*, const CLI::Error& error) {
        return std::string("zorv-cli: ") + error.what() + "\nRun with --help for more.\n";
    });
    const char* word = FirstWord(argc, argv);
    if (word != nullptr && !IsCommandName(word)) {
        std::fprintf(stderr, "zorv-cli: unknown command '%s' (encrypt, decrypt, verify or cat)\n",
                     word);
        return ParseResult::kUsageError;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? ParseResult::kDone : ParseResult::kUsageError;
    }
    bool outputGiven = app.get_option("--output")->count() > 0;
    return CheckCombinations(outputGiven, options) ? ParseResult::kRun : ParseResult::kUsageError;
}

}  // namespace zorv
