// Where a password comes from: the terminal without echo, the first line of
// a file, or the first line of an open descriptor. Never the command line,
// which other users can read in the process list. Every result is UTF-8
// (the terminal's text is taken as UTF-8 on POSIX and converted from the
// console's wide text on Windows); PasswordToKey makes the key of it.
#pragma once

#include "crypto/secret_buffer.h"

namespace zorv {

enum class PasswordStatus {
    kOk,
    kTooLong,      // the line does not fit a SecretBuffer
    kReadFailed,   // the file or descriptor cannot be read
    kNoTerminal,   // no terminal to ask on
    kInterrupted,  // Ctrl+C at the prompt (the echo is restored)
    kMismatch,     // the two entries of a confirmed prompt differed every time
};

// Reads up to the first line feed or the end. A CR before the line feed and
// a UTF-8 byte-order mark at the start are dropped. Reads byte by byte, so
// nothing past the line is consumed from a shared descriptor. On failure
// out is left empty.
PasswordStatus ReadPasswordFromDescriptor(int fd, SecretBuffer* out);
PasswordStatus ReadPasswordFromFile(const char* path, SecretBuffer* out);

// Writes prompt to the terminal (not to standard output, which may be a
// pipe), reads one line with the echo off, restores the echo and ends the
// line. On failure out is left empty.
PasswordStatus ReadPasswordFromTerminal(const char* prompt, SecretBuffer* out);

}  // namespace zorv
