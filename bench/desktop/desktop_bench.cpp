// The desktop program against zorv-cli.exe under the same Wine, in one run:
// encryption with destruction of one 256 MiB file, and of 2,000 files of
// 4 KiB in a folder. The desktop is driven as the end-to-end scenarios drive
// it (its dialog worked from outside); its time runs from the OK click to
// the end of its process, zorv-cli's from its start to its end. Prints a
// table and RATIO lines: RATIO <name> <cli time / desktop time> <target>.
// Each figure is the best of ZORV_BENCH_RUNS runs (default 2), the two
// programs taking turns.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "e2e/encrypt_steps.h"
#include "support/cli_test_util.h"
#include "support/harness.h"
#include "support/win32_test_support.h"

namespace zorv::e2e {
namespace {

double Now() {
    LARGE_INTEGER count;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Seconds the desktop takes to encrypt (and destroy) what arguments name,
// from the OK click to its exit; negative when it did not run through.
double DesktopSeconds(const std::string& arguments) {
    EncryptRun run;
    if (!run.Start(arguments) || !run.EnterPasswords(kPassword, kPassword)) {
        return -1;
    }
    const double start = Now();
    if (!run.Dialog().Click(IDOK) || !run.Process().WaitForExit(600000)) {
        return -1;
    }
    return Now() - start;
}

double CliSeconds(const std::vector<std::string>& arguments) {
    const double start = Now();
    const test::ProcessResult result = test::RunCli(arguments);
    return result.status == 0 ? Now() - start : -1;
}

struct Case {
    const char* name;
    double target;
    void (*prepare)(const std::string& folder);
    std::string desktopArguments;
    std::vector<std::string> cliArguments;
};

void MakeBigFile(const std::string& folder) {
    static const std::string bytes = PatternBytes(256u << 20, 7);
    DeleteFileA((folder + "\\big.bin.crp").c_str());
    WriteWholeFile(folder + "\\big.bin", bytes);
}

void MakeSmallFiles(const std::string& folder) {
    const std::string small = folder + "\\small";
    for (const std::string& name : FoundOrder(small)) {
        DeleteFileA((small + "\\" + name).c_str());
    }
    MakeFolder(small);
    for (int i = 0; i < 2000; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "\\s%04d", i);
        WriteWholeFile(small + name, PatternBytes(4096, i));
    }
}

// The best of runs runs of each program, taken in turns so that both see
// the same load of a shared machine; false when a run did not go through.
bool BestInTurns(int runs, const std::string& folder, const Case& c, double* desktop, double* cli) {
    *desktop = -1;
    *cli = -1;
    for (int i = 0; i < runs; ++i) {
        c.prepare(folder);
        const double desktopSeconds = DesktopSeconds(c.desktopArguments);
        c.prepare(folder);
        const double cliSeconds = CliSeconds(c.cliArguments);
        if (desktopSeconds < 0 || cliSeconds < 0) {
            return false;
        }
        *desktop = *desktop < 0 || desktopSeconds < *desktop ? desktopSeconds : *desktop;
        *cli = *cli < 0 || cliSeconds < *cli ? cliSeconds : *cli;
    }
    return true;
}

int Main() {
    const char* runsText = std::getenv("ZORV_BENCH_RUNS");
    const int runs = runsText != nullptr && std::atoi(runsText) > 0 ? std::atoi(runsText) : 2;
    const std::string folder = MakeScenarioFolder("desktop_bench");
    const std::string password = folder + "\\password";
    WriteWholeFile(password, std::string(kPassword) + "\n");
    const std::string big = folder + "\\big.bin";
    const std::string small = folder + "\\small";
    const Case cases[] = {
        {"desktop_big_vs_cli",
         0.9,
         MakeBigFile,
         Quote(big),
         {"encrypt", "--password-file", password, big}},
        {"desktop_small_vs_cli",
         0.8,
         MakeSmallFiles,
         "-e " + Quote(small),
         {"encrypt", "-q", "-r", "--password-file", password, small}},
    };
    std::printf("%-44s %9s %9s\n", "encryption with destruction, under Wine", "desktop", "cli");
    std::string ratios;
    for (const Case& c : cases) {
        double desktop = -1;
        double cli = -1;
        if (!BestInTurns(runs, folder, c, &desktop, &cli)) {
            std::fprintf(stderr, "desktop-bench: %s did not run through\n", c.name);
            return 1;
        }
        std::printf("%-44s %9.3f %9.3f\n", c.name, desktop, cli);
        char line[128];
        std::snprintf(line, sizeof line, "RATIO %s %.2f %.1f\n", c.name, cli / desktop, c.target);
        ratios += line;
    }
    std::printf("\n%s", ratios.c_str());
    return 0;
}

}  // namespace
}  // namespace zorv::e2e

int main() {
    return zorv::e2e::Main();
}
