#include "cli/std_streams.h"

#include "cli/interrupt.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace zorv {
namespace {

#ifdef _WIN32
// 0 at the end (a closed pipe's writer is the end, not an error), -1 on
// failure.
long ReadSome(std::uint8_t* buffer, std::size_t n) {
    DWORD got = 0;
    DWORD ask = n > 0x40000000 ? 0x40000000 : static_cast<DWORD>(n);
    if (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, ask, &got, nullptr)) {
        return static_cast<long>(got);
    }
    return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
}

// Bytes written, or -1 with closed set when the reader has gone.
long WriteSome(const std::uint8_t* data, std::size_t n, bool* closed) {
    DWORD put = 0;
    DWORD ask = n > 0x40000000 ? 0x40000000 : static_cast<DWORD>(n);
    if (WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), data, ask, &put, nullptr)) {
        return static_cast<long>(put);
    }
    DWORD error = GetLastError();
    *closed = error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE;
    return -1;
}
#else
long ReadSome(std::uint8_t* buffer, std::size_t n) {
    for (;;) {
        ssize_t got = read(STDIN_FILENO, buffer, n);
        if (got < 0 && errno == EINTR && !Interrupted()) {
            continue;
        }
        return static_cast<long>(got);
    }
}

long WriteSome(const std::uint8_t* data, std::size_t n, bool* closed) {
    for (;;) {
        ssize_t put = write(STDOUT_FILENO, data, n);
        if (put < 0 && errno == EINTR && !Interrupted()) {
            continue;
        }
        // SIGPIPE is ignored, so a reader that went away shows as EPIPE.
        *closed = put < 0 && errno == EPIPE;
        return static_cast<long>(put);
    }
}
#endif

}  // namespace

std::size_t StandardInputSource::Read(std::uint8_t* buffer, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
        long got = Interrupted() ? -1 : ReadSome(buffer + done, n - done);
        if (got < 0) {
            failed = true;
            break;
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return done;
}

bool StandardOutputSink::Write(const std::uint8_t* data, std::size_t n) {
    while (n > 0) {
        long put = WriteSome(data, n, &pipeClosed);
        if (put <= 0) {
            return false;
        }
        data += put;
        n -= static_cast<std::size_t>(put);
    }
    return true;
}

void WidenStandardPipes() {
#ifdef __linux__
    for (int fd : {STDIN_FILENO, STDOUT_FILENO}) {
        fcntl(fd, F_SETPIPE_SZ, 1 << 20);  // fails harmlessly on anything but a pipe
    }
#endif
}

bool StandardOutputIsTerminal() {
#ifdef _WIN32
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
#else
    return isatty(STDOUT_FILENO) != 0;
#endif
}

void OpenMissingStandardStreams() {
#ifndef _WIN32
    for (int fd = 0; fd <= 2; ++fd) {
        // open takes the lowest free number: this one, while it is closed.
        if (fcntl(fd, F_GETFD) < 0 && errno == EBADF && open("/dev/null", O_RDWR) < 0) {
            return;
        }
    }
#endif
}

}  // namespace zorv
