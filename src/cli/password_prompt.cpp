#include "cli/password_prompt.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/password_input.h"
#include "crypto/password_key.h"

namespace zorv {
namespace {

constexpr int kAttempts = 3;
constexpr int kPasswordsDiffer = 51;
constexpr int kPasswordPrompt = 1101;
constexpr int kPasswordAgainPrompt = 1102;

// The prompt of a message ID in the language and the terminal's encoding.
std::string Prompt(Language language, int id) {
    return TerminalText(MessageText(language, id) + " ");
}

void Complain(const char* text) {
    std::fprintf(stderr, "zorv-cli: %s\n", text);
}

const char* RefusalText(KeyRefusal refusal) {
    switch (refusal) {
        case KeyRefusal::kEmpty:
            return "the password is empty";
        case KeyRefusal::kNotUtf8:
            return "the password is not valid UTF-8 text";
        case KeyRefusal::kNotCodePage:
            return "the password has a character that code page 932 cannot express, so the "
                   "desktop program could not type it";
        case KeyRefusal::kTooLong:
            return "the password is longer than 56 bytes in code page 932";
        case KeyRefusal::kControl:
            return "the password holds a control character (a NUL, a tab, an escape ...), which "
                   "the desktop program could not type";
        case KeyRefusal::kNone:
            break;
    }
    return "";
}

// Explains a failed read; kInterrupted or kRefused. error: errno of the read.
KeyStatus ReadFailure(PasswordStatus status, int error) {
    switch (status) {
        case PasswordStatus::kInterrupted:
            return KeyStatus::kInterrupted;
        case PasswordStatus::kMismatch:
            break;  // said after each attempt
        case PasswordStatus::kTooLong:
            Complain("the password line is too long");
            break;
        case PasswordStatus::kNoTerminal:
            Complain("no terminal to ask for the password: give --password-file or --password-fd");
            break;
        default:
            std::fprintf(stderr, "zorv-cli: the password could not be read: %s\n",
                         std::strerror(error));
            break;
    }
    return KeyStatus::kRefused;
}

// Asks on the terminal: once, or twice with the entries compared, the pair
// again after a mismatch, kAttempts pairs in all.
PasswordStatus AskTerminal(bool confirm, Language language, SecretBuffer* password) {
    const std::string prompt = Prompt(language, kPasswordPrompt);
    const std::string promptAgain = Prompt(language, kPasswordAgainPrompt);
    for (int attempt = 0;; ++attempt) {
        PasswordStatus status = ReadPasswordFromTerminal(prompt.c_str(), password);
        if (status != PasswordStatus::kOk || !confirm) {
            return status;
        }
        SecretBuffer again;
        status = ReadPasswordFromTerminal(promptAgain.c_str(), &again);
        if (status != PasswordStatus::kOk || again.Equals(*password)) {
            return status;
        }
        password->Clear();
        std::fputs("zorv-cli: ", stderr);
        WriteText(stderr, MessageText(language, kPasswordsDiffer) + "\n");
        if (attempt + 1 == kAttempts) {
            return PasswordStatus::kMismatch;
        }
    }
}

}  // namespace

KeyStatus AcquireKey(const CliOptions& options, Language language, SecretBuffer* key) {
    key->Clear();
    SecretBuffer password;
    PasswordStatus status;
    if (!options.passwordFile.empty()) {
        status = ReadPasswordFromFile(options.passwordFile.c_str(), &password);
    } else if (options.passwordFd >= 0) {
        status = ReadPasswordFromDescriptor(options.passwordFd, &password);
    } else {
        status = AskTerminal(options.command == Command::kEncrypt, language, &password);
    }
    if (status != PasswordStatus::kOk) {
        return ReadFailure(status, errno);
    }
    KeyRefusal refusal = PasswordToKey(password, key);
    if (refusal != KeyRefusal::kNone) {
        Complain(RefusalText(refusal));
        return KeyStatus::kRefused;
    }
    return KeyStatus::kOk;
}

}  // namespace zorv
