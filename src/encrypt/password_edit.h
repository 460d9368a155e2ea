// The password edits both dialogs share (encryption and decryption): each
// takes at most the cipher's longest key, and its text is read straight into
// a buffer that is cleared when it goes.
#pragma once

#include <windows.h>

#include "crypto/secret_buffer.h"

namespace zorv {

// Limits the edit to the cipher's longest key and returns it.
HWND PreparePasswordEdit(HWND edit);

// Reads the edit's text (all of it: the edit holds no more than the limit
// above) into password.
void ReadPasswordEdit(HWND edit, SecretBuffer* password);

}  // namespace zorv
