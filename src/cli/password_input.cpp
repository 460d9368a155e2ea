#include "cli/password_input.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

#include "cli/interrupt.h"
#include "crypto/secure_zero.h"
#include "crypto/wide_path.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace zorv {
namespace {

#ifdef _WIN32
int ReadByte(int fd, char* c) {
    return _read(fd, c, 1);
}
// The path is UTF-8, as every path in the program; one without a wide form
// names no file.
int OpenForReading(const char* path) {
    std::wstring wide;
    if (!WidePath(path, &wide)) {
        errno = ENOENT;
        return -1;
    }
    return _wopen(wide.c_str(), _O_RDONLY | _O_BINARY);
}
void CloseDescriptor(int fd) {
    _close(fd);
}
#else
int ReadByte(int fd, char* c) {
    ssize_t n;
    do {
        n = read(fd, c, 1);
    } while (n < 0 && errno == EINTR && !Interrupted());
    return static_cast<int>(n);
}
int OpenForReading(const char* path) {
    return open(path, O_RDONLY | O_CLOEXEC);
}
void CloseDescriptor(int fd) {
    close(fd);
}
#endif

void DropLineEnd(SecretBuffer* line) {
    if (!line->empty() && line->data()[line->size() - 1] == '\r') {
        line->Truncate(line->size() - 1);
    }
    static const char kByteOrderMark[] = "\xEF\xBB\xBF";
    if (line->size() >= 3 && std::memcmp(line->data(), kByteOrderMark, 3) == 0) {
        SecretBuffer rest;
        rest.Assign(line->data() + 3, line->size() - 3);
        *line = std::move(rest);
    }
}

}  // namespace

PasswordStatus ReadPasswordFromDescriptor(int fd, SecretBuffer* out) {
    out->Clear();
    char c = 0;
    for (;;) {
        int n = ReadByte(fd, &c);
        if (n < 0) {
            out->Clear();
            return Interrupted() ? PasswordStatus::kInterrupted : PasswordStatus::kReadFailed;
        }
        if (n == 0 || c == '\n') {
            break;
        }
        if (!out->Append(c)) {
            out->Clear();
            c = 0;
            return PasswordStatus::kTooLong;
        }
    }
    c = 0;
    DropLineEnd(out);
    return PasswordStatus::kOk;
}

PasswordStatus ReadPasswordFromFile(const char* path, SecretBuffer* out) {
    out->Clear();
    int fd = OpenForReading(path);
    if (fd < 0) {
        return PasswordStatus::kReadFailed;
    }
    PasswordStatus status = ReadPasswordFromDescriptor(fd, out);
    CloseDescriptor(fd);
    return status;
}

#ifdef _WIN32
PasswordStatus ReadPasswordFromTerminal(const char* prompt, SecretBuffer* out) {
    out->Clear();
    HANDLE input = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    HANDLE output =
        CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD mode = 0;
    if (input == INVALID_HANDLE_VALUE || !GetConsoleMode(input, &mode)) {
        if (input != INVALID_HANDLE_VALUE)
            CloseHandle(input);
        if (output != INVALID_HANDLE_VALUE)
            CloseHandle(output);
        return PasswordStatus::kNoTerminal;
    }
    DWORD written = 0;
    if (output != INVALID_HANDLE_VALUE) {
        WriteConsoleA(output, prompt, static_cast<DWORD>(std::strlen(prompt)), &written, nullptr);
    }
    SetConsoleMode(input, (mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) | ENABLE_LINE_INPUT);
    wchar_t wide[SecretBuffer::kCapacity];
    DWORD count = 0;
    BOOL ok = ReadConsoleW(input, wide, SecretBuffer::kCapacity, &count, nullptr);
    SetConsoleMode(input, mode);
    if (output != INVALID_HANDLE_VALUE) {
        WriteConsoleA(output, "\r\n", 2, &written, nullptr);
        CloseHandle(output);
    }
    CloseHandle(input);
    while (count > 0 && (wide[count - 1] == L'\n' || wide[count - 1] == L'\r')) {
        --count;
    }
    PasswordStatus status = PasswordStatus::kReadFailed;
    if (Interrupted()) {
        status = PasswordStatus::kInterrupted;
    } else if (ok) {
        char utf8[SecretBuffer::kCapacity * 3];
        int length = count == 0 ? 0
                                : WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(count),
                                                      utf8, sizeof utf8, nullptr, nullptr);
        status = out->Assign(utf8, static_cast<std::size_t>(length < 0 ? 0 : length))
                     ? PasswordStatus::kOk
                     : PasswordStatus::kTooLong;
        SecureZero(utf8, sizeof utf8);
    }
    SecureZero(wide, sizeof wide);
    return status;
}
#else
PasswordStatus ReadPasswordFromTerminal(const char* prompt, SecretBuffer* out) {
    out->Clear();
    int tty = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (tty < 0) {
        return PasswordStatus::kNoTerminal;
    }
    termios saved = {};
    if (tcgetattr(tty, &saved) != 0) {
        close(tty);
        return PasswordStatus::kNoTerminal;
    }
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ICANON | ECHONL;
    ssize_t ignored = write(tty, prompt, std::strlen(prompt));
    tcsetattr(tty, TCSAFLUSH, &quiet);
    PasswordStatus status = ReadPasswordFromDescriptor(tty, out);
    tcsetattr(tty, TCSAFLUSH, &saved);
    if (status == PasswordStatus::kInterrupted) {
        ignored = write(tty, "\n", 1);  // ECHONL did not get to end the line
    }
    (void)ignored;  // nothing to do about a prompt that cannot be shown
    close(tty);
    return status;
}
#endif

}  // namespace zorv
