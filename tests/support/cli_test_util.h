// Helpers of the command-line program's tests: scratch folders, files, and
// running zorv-cli as a separate process (natively, or under Wine as a
// Windows program started by a Windows test). Paths and arguments are
// UTF-8 on every platform, as zorv-cli takes them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace zorv::test {

using Bytes = std::vector<std::uint8_t>;

// A fresh folder under the system's temporary folder, removed with its
// contents by the destructor.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& path() const { return path_; }
    // path() joined with name by the platform's separator.
    std::string operator/(const std::string& name) const;
    // The names in the folder, sorted (no "." and "..").
    std::vector<std::string> Names() const;

private:
    std::string path_;
};

// A UTF-8 path as std::filesystem takes it (on Windows its narrow form
// would be the ANSI code page's).
std::filesystem::path PathOf(const std::string& utf8);

Bytes RandomBytes(std::size_t n, std::uint32_t seed);
bool WriteBytes(const std::string& path, const Bytes& bytes);
bool WriteText(const std::string& path, const std::string& text);
Bytes ReadBytes(const std::string& path);  // empty when it cannot be read
bool Exists(const std::string& path);

struct ProcessResult {
    int status = -1;  // exit status; 128 + n when ended by signal n (POSIX)
    std::string out;
    std::string err;
};

// Runs zorv-cli with args (no shell), standard input empty, waiting for it.
// fileSizeLimit (POSIX): the most bytes it may write into one file, to act
// as a full disk; 0 for none.
ProcessResult RunCli(const std::vector<std::string>& args, std::uint64_t fileSizeLimit = 0);

// Runs zorv-cli with input written to its standard input through a pipe
// (its size unknown to the program). outputClosed (POSIX): standard output
// is a pipe whose reader has gone, as after "| head"; out is then empty.
ProcessResult RunCliPiped(const std::vector<std::string>& args, const Bytes& input,
                          bool outputClosed = false);

// Runs zorv-cli as RunCli does, but with its standard output closed, as a
// shell's ">&-" starts it (POSIX); out is then empty.
ProcessResult RunCliOutputClosed(const std::vector<std::string>& args);

// Runs zorv-cli with standard output on a terminal (a pseudo-terminal;
// POSIX), as a user at a shell would. out holds what reached it.
ProcessResult RunCliOnTerminal(const std::vector<std::string>& args);

// Starts zorv-cli without waiting (POSIX); returns the process ID.
int StartCli(const std::vector<std::string>& args, const std::string& outputPath);
// Waits for a process started by StartCli; its exit status as RunCli's.
int WaitCli(int pid);

}  // namespace zorv::test
