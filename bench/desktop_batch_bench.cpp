// zorv-desktop-bench: times the desktop program's encryption batch with the
// source destroyed, over one file of a given size, through the rule and the
// run the encryption dialog uses (scripts/bench-desktop runs it under Wine).
//
//   zorv-desktop-bench FILE MiB    writes FILE (MiB mebibytes), encrypts it
//                                  into FILE.crp destroying FILE, prints the
//                                  time, then removes FILE.crp
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "batch/batch_run.h"
#include "crypto/file_cipher.h"
#include "encrypt/encrypt_batch.h"

namespace {

bool WriteSource(const std::string& path, std::size_t mebibytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    std::vector<char> piece(1 << 20);
    unsigned state = 12345;
    for (char& c : piece) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 16);
    }
    bool ok = true;
    for (std::size_t i = 0; i < mebibytes && ok; ++i) {
        piece[0] = static_cast<char>(i);
        DWORD put = 0;
        ok = WriteFile(file, piece.data(), static_cast<DWORD>(piece.size()), &put, nullptr) &&
             put == piece.size();
    }
    ok = FlushFileBuffers(file) && ok;
    CloseHandle(file);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: zorv-desktop-bench FILE MiB\n");
        return 2;
    }
    const std::string path = argv[1];
    if (!WriteSource(path, static_cast<std::size_t>(std::atoi(argv[2])))) {
        std::fprintf(stderr, "zorv-desktop-bench: %s cannot be written\n", path.c_str());
        return 1;
    }
    HWND log = CreateWindowExA(0, "EDIT", "", ES_MULTILINE | ES_AUTOHSCROLL | ES_AUTOVSCROLL, 0, 0,
                               100, 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    zorv::FileCipher cipher("password", 8);
    zorv::EncryptionRule rule(cipher, true);
    zorv::BatchRun run(log);
    const char* inputs[] = {path.c_str()};
    zorv::FileRange range;
    range.paths = inputs;
    range.count = 1;
    LARGE_INTEGER frequency;
    LARGE_INTEGER start;
    LARGE_INTEGER end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    run.Run(range, rule);
    QueryPerformanceCounter(&end);
    const bool done = run.FailureCount() == 0 &&
                      GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES &&
                      GetFileAttributesA((path + ".crp").c_str()) != INVALID_FILE_ATTRIBUTES;
    std::printf("%s MiB encrypted, source destroyed: %.2f s%s\n", argv[2],
                static_cast<double>(end.QuadPart - start.QuadPart) /
                    static_cast<double>(frequency.QuadPart),
                done ? "" : " (FAILED)");
    DeleteFileA((path + ".crp").c_str());
    DestroyWindow(log);
    return done ? 0 : 1;
}
