#include "cli/cli_options.h"

#include <CLI/CLI.hpp>

namespace zorv {
namespace {

constexpr const char* kFooter =
    R"(Passwords are asked on the terminal without echo (twice for encrypt), or
read from the first line of --password-file FILE or of --password-fd N;
never from the command line. The key is the password in code page 932, as
the desktop program keys it: 1 to 56 bytes.

encrypt turns every file into NAME.crp beside it and destroys the source
(24 overwrites in place, then deletion) once the .crp file is complete,
unless -k. Overwriting cannot reach older copies: SSD remapping,
copy-on-write file systems, snapshots, backups, synced folders, swap.
decrypt turns every NAME.crp back into NAME and destroys the .crp file,
unless -k. Existing files are never replaced. verify checks that the
password opens each file and writes nothing. cat writes the plain text to
standard output.

Exit status: 0 every file succeeded, 1 a file failed, 2 usage error,
128 + N interrupted by signal N (130 for Ctrl+C).

Examples:
  zorv-cli encrypt report.doc              # report.doc.crp, source destroyed
  zorv-cli decrypt -k -r archive/          # every .crp under archive/, kept
  zorv-cli verify --password-file pw *.crp
  zorv-cli cat notes.txt.crp | less)";

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

void AddCommonOptions(CLI::App& app, CliOptions* options) {
    app.add_flag("-r,--recursive", options->recursive, "Walk folders and their sub-folders");
    app.add_flag("-k,--keep", options->keep, "Keep the source files");
    app.add_flag("-q,--quiet", options->quiet, "Report failures only");
    app.add_option("-j,--jobs", options->jobs, "Files at once (default: one per processor)")
        ->check(CLI::Range(1u, 256u));
    CLI::Option* file = app.add_option("--password-file", options->passwordFile,
                                       "Read the password from the first line of FILE");
    app.add_option("--password-fd", options->passwordFd,
                   "Read the password from the first line of descriptor N")
        ->check(CLI::NonNegativeNumber)
        ->excludes(file);
    app.add_option("--lang", options->language, "Language of the messages (default: locale)")
        ->check(CLI::IsMember({"en", "ja"}));
}

}  // namespace

ParseResult ParseCommandLine(int argc, char** argv, CliOptions* options) {
    CLI::App app{"Encrypt and decrypt Zorv .crp files.", "zorv-cli"};
    app.footer(kFooter);
    app.set_version_flag("--version", "zorv-cli " ZORV_VERSION);
    app.require_subcommand(1);
    AddCommonOptions(app, options);
    for (const CommandName& entry : kCommands) {
        CLI::App* sub = app.add_subcommand(entry.name, entry.description);
        sub->fallthrough();
        sub->add_option("paths", options->paths, "Files and folders")->required();
        sub->callback([options, entry] { options->command = entry.command; });
    }
    // CLI11 reports parse errors and --help by exceptions; they end here and
    // become the exit status. Nothing else in the program throws.
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? ParseResult::kDone : ParseResult::kUsageError;
    }
    return ParseResult::kRun;
}

}  // namespace zorv
