#include "support/cli_test_util.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace zorv::test {

fs::path PathOf(const std::string& utf8) {
#ifdef _WIN32
    return fs::u8path(utf8);
#else
    return fs::path(utf8);
#endif
}

namespace {

std::string ReadWhole(const std::string& path) {
    std::ifstream in(PathOf(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

#ifdef _WIN32
// The test runs under Wine, which maps the build machine's / to drive Z:.
std::string CliPath() {
    std::string path = "Z:" ZORV_CLI_PATH;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::string Quote(const std::string& arg) {
    return "\"" + arg + "\"";
}

std::wstring Wide(const std::string& utf8) {
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

// Wide, except that the three bytes ED A0 80 give the unpaired surrogate
// U+D800 they encode, a name that no UTF-8 text holds.
std::wstring WideArgument(const std::string& arg) {
    const std::string lone = "\xED\xA0\x80";
    std::wstring wide;
    std::size_t start = 0;
    for (std::size_t at; (at = arg.find(lone, start)) != std::string::npos; start = at + 3) {
        wide += Wide(arg.substr(start, at - start)) + L'\xD800';
    }
    return L"\"" + wide + Wide(arg.substr(start)) + L"\"";
}

HANDLE InheritableFile(const std::string& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       disposition, 0, nullptr);
}
#endif

}  // namespace

ScratchFolder::ScratchFolder() {
    static std::mt19937 names(std::random_device{}());
    fs::path base = fs::temp_directory_path();
    for (;;) {
        fs::path candidate = base / ("zorv-cli-test-" + std::to_string(names()));
        std::error_code error;
        if (fs::create_directory(candidate, error)) {
            path_ = candidate.u8string();
            return;
        }
    }
}

ScratchFolder::~ScratchFolder() {
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(path_, error)) {
        fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, error);
    }
    fs::remove_all(path_, error);
}

std::string ScratchFolder::operator/(const std::string& name) const {
#ifdef _WIN32
    return path_ + "\\" + name;
#else
    return path_ + "/" + name;
#endif
}

std::vector<std::string> ScratchFolder::Names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_)) {
        names.push_back(entry.path().filename().u8string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

Bytes RandomBytes(std::size_t n, std::uint32_t seed) {
    std::mt19937 generator(seed);
    Bytes bytes(n);
    for (auto& b : bytes) {
        b = static_cast<std::uint8_t>(generator());
    }
    return bytes;
}

bool WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(PathOf(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

bool WriteText(const std::string& path, const std::string& text) {
    return WriteBytes(path, Bytes(text.begin(), text.end()));
}

Bytes ReadBytes(const std::string& path) {
    std::string text = ReadWhole(path);
    return Bytes(text.begin(), text.end());
}

bool Exists(const std::string& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(PathOf(path), error));
}

#ifdef _WIN32
namespace {

// Starts zorv-cli with args and the given standard handles, which it inherits.
bool StartWithHandles(const std::vector<std::string>& args, HANDLE in, HANDLE out, HANDLE err,
                      PROCESS_INFORMATION* process) {
    // Arguments are UTF-8 and reach the program through the wide command
    // line, as a name typed at a console does.
    std::wstring command = Wide(Quote(CliPath()));
    for (const std::string& arg : args) {
        command += L" " + WideArgument(arg);
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    *process = {};
    return CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                          &startup, process) != 0;
}

// Waits for a started process, closes its handles and gives its exit code.
int WaitAndClose(PROCESS_INFORMATION* process) {
    WaitForSingleObject(process->hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process->hProcess, &code);
    CloseHandle(process->hThread);
    CloseHandle(process->hProcess);
    return static_cast<int>(code);
}

}  // namespace

ProcessResult RunCli(const std::vector<std::string>& args, std::uint64_t) {
    ScratchFolder streams;
    std::string outPath = streams / "out", errPath = streams / "err";
    HANDLE out = InheritableFile(outPath, GENERIC_WRITE, CREATE_ALWAYS);
    HANDLE err = InheritableFile(errPath, GENERIC_WRITE, CREATE_ALWAYS);
    HANDLE in = InheritableFile("NUL", GENERIC_READ, OPEN_EXISTING);
    PROCESS_INFORMATION process;
    ProcessResult result;
    if (StartWithHandles(args, in, out, err, &process)) {
        result.status = WaitAndClose(&process);
    }
    CloseHandle(out);
    CloseHandle(err);
    CloseHandle(in);
    result.out = ReadWhole(outPath);
    result.err = ReadWhole(errPath);
    return result;
}

ProcessResult RunCliPiped(const std::vector<std::string>& args, const Bytes& input, bool) {
    ScratchFolder streams;
    std::string outPath = streams / "out", errPath = streams / "err";
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE in = nullptr, feed = nullptr;
    CreatePipe(&in, &feed, &inherit, 0);
    SetHandleInformation(feed, HANDLE_FLAG_INHERIT, 0);
    HANDLE out = InheritableFile(outPath, GENERIC_WRITE, CREATE_ALWAYS);
    HANDLE err = InheritableFile(errPath, GENERIC_WRITE, CREATE_ALWAYS);
    PROCESS_INFORMATION process;
    ProcessResult result;
    if (StartWithHandles(args, in, out, err, &process)) {
        CloseHandle(in);
        in = nullptr;
        for (std::size_t done = 0; done < input.size();) {
            DWORD put = 0;
            DWORD n = static_cast<DWORD>(std::min<std::size_t>(input.size() - done, 65536));
            if (!WriteFile(feed, input.data() + done, n, &put, nullptr)) {
                break;
            }
            done += put;
        }
        CloseHandle(feed);
        feed = nullptr;
        result.status = WaitAndClose(&process);
    }
    for (HANDLE handle : {in, feed, out, err}) {
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
        }
    }
    result.out = ReadWhole(outPath);
    result.err = ReadWhole(errPath);
    return result;
}

ProcessResult RunCliOnTerminal(const std::vector<std::string>&) {
    return ProcessResult{};
}

ProcessResult RunCliOutputClosed(const std::vector<std::string>&) {
    return ProcessResult{};
}

int StartCli(const std::vector<std::string>&, const std::string&) {
    return -1;
}
int WaitCli(int) {
    return -1;
}
#else
namespace {

constexpr int kClosedOutput = -2;

// In the child: standard streams to files, optional file size limit, exec.
// in and out: descriptors to use (-1: /dev/null and the file outPath;
// kClosedOutput: standard output closed).
[[noreturn]] void ExecCli(const std::vector<std::string>& args, const std::string& outPath,
                          const std::string& errPath, std::uint64_t fileSizeLimit, int in = -1,
                          int out = -1) {
    in = in >= 0 ? in : open("/dev/null", O_RDONLY);
    bool closeOutput = out == kClosedOutput;
    out = out >= 0 || closeOutput ? out : open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(in, 0);
    if (closeOutput) {
        close(1);
    } else {
        dup2(out, 1);
    }
    dup2(err, 2);
    setsid();  // no controlling terminal: the password never comes from one
    if (fileSizeLimit != 0) {
        // A write past the limit fails with EFBIG, as on a full disk, once
        // the signal that would otherwise end the process is ignored: the
        // program must do that itself (as under "ulimit -f").
        signal(SIGXFSZ, SIG_DFL);
        rlimit limit = {fileSizeLimit, fileSizeLimit};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    std::vector<char*> argv;
    std::string program = ZORV_CLI_PATH;
    argv.push_back(program.data());
    std::vector<std::string> copies(args);
    for (std::string& arg : copies) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
}

int StatusOf(int raw) {
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : WIFSIGNALED(raw) ? 128 + WTERMSIG(raw) : -1;
}

// Waits for the child pid (none when pid is not positive) and reads what it
// wrote to its standard output and error files.
ProcessResult Collect(pid_t pid, const std::string& outPath, const std::string& errPath) {
    ProcessResult result;
    int raw = 0;
    if (pid > 0 && waitpid(pid, &raw, 0) == pid) {
        result.status = StatusOf(raw);
    }
    result.out = ReadWhole(outPath);
    result.err = ReadWhole(errPath);
    return result;
}

}  // namespace

ProcessResult RunCli(const std::vector<std::string>& args, std::uint64_t fileSizeLimit) {
    ScratchFolder streams;
    std::string outPath = streams / "out", errPath = streams / "err";
    pid_t pid = fork();
    if (pid == 0) {
        ExecCli(args, outPath, errPath, fileSizeLimit);
    }
    return Collect(pid, outPath, errPath);
}

ProcessResult RunCliOutputClosed(const std::vector<std::string>& args) {
    ScratchFolder streams;
    std::string outPath = streams / "out", errPath = streams / "err";
    pid_t pid = fork();
    if (pid == 0) {
        ExecCli(args, outPath, errPath, 0, -1, kClosedOutput);
    }
    return Collect(pid, outPath, errPath);
}

ProcessResult RunCliPiped(const std::vector<std::string>& args, const Bytes& input,
                          bool outputClosed) {
    ScratchFolder streams;
    std::string outPath = streams / "out", errPath = streams / "err";
    int in[2] = {-1, -1}, out[2] = {-1, -1};
    if (pipe(in) != 0 || (outputClosed && pipe(out) != 0)) {
        return ProcessResult{};
    }
    pid_t pid = fork();
    if (pid == 0) {
        close(in[1]);
        if (outputClosed) {
            close(out[0]);
        }
        ExecCli(args, outPath, errPath, 0, in[0], out[1]);
    }
    close(in[0]);
    if (outputClosed) {
        close(out[0]);  // the reader has gone before the first byte
        close(out[1]);
    }
    // The program may stop reading early (a closed output): no SIGPIPE here.
    signal(SIGPIPE, SIG_IGN);
    for (std::size_t done = 0; done < input.size();) {
        ssize_t put = write(in[1], input.data() + done, input.size() - done);
        if (put <= 0) {
            break;
        }
        done += static_cast<std::size_t>(put);
    }
    close(in[1]);
    return Collect(pid, outPath, errPath);
}

ProcessResult RunCliOnTerminal(const std::vector<std::string>& args) {
    ScratchFolder streams;
    std::string errPath = streams / "err";
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        return ProcessResult{};
    }
    int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
    pid_t pid = fork();
    if (pid == 0) {
        close(master);
        ExecCli(args, "", errPath, 0, -1, terminal);
    }
    close(terminal);
    ProcessResult result;
    char buffer[4096];
    // Read until the program has gone and the terminal has nothing more
    // (EIO once the last writer has closed it).
    for (ssize_t n; (n = read(master, buffer, sizeof buffer)) > 0;) {
        result.out.append(buffer, static_cast<std::size_t>(n));
    }
    close(master);
    int raw = 0;
    if (pid > 0 && waitpid(pid, &raw, 0) == pid) {
        result.status = StatusOf(raw);
    }
    result.err = ReadWhole(errPath);
    return result;
}

int StartCli(const std::vector<std::string>& args, const std::string& outputPath) {
    pid_t pid = fork();
    if (pid == 0) {
        ExecCli(args, outputPath, outputPath + ".err", 0);
    }
    return static_cast<int>(pid);
}

int WaitCli(int pid) {
    int raw = 0;
    return waitpid(pid, &raw, 0) == pid ? StatusOf(raw) : -1;
}
#endif

}  // namespace zorv::test
