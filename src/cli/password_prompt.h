// Getting the key for a run: the password from the chosen source, asked
// twice on the terminal for encryption and compared byte for byte as the
// desktop program compares its two entries, then turned into code page 932
// key bytes. Refusals are explained on standard error.
#pragma once

#include "cli/cli_options.h"
#include "cli/cli_text.h"
#include "crypto/secret_buffer.h"

namespace zorv {

enum class KeyStatus { kOk, kRefused, kInterrupted };

// On kOk, key holds 1 to 56 bytes; otherwise it is empty and a message was
// written to standard error.
KeyStatus AcquireKey(const CliOptions& options, Language language, SecretBuffer* key);

}  // namespace zorv
