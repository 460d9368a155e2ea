// The password edits both dialogs share (encryption and decryption): each
// takes at most as many characters as the cipher's longest key has bytes,
// and its text is read in its wide form, straight into buffers that are
// cleared when they go, and keyed by the rule zorv-cli keys by.
#pragma once

#include <windows.h>

#include "crypto/password_key.h"
#include "crypto/secret_buffer.h"

namespace zorv {

// Limits the edit to the cipher's longest key and returns it.
HWND PreparePasswordEdit(HWND edit);

// The key of the edit's text (WidePasswordToKey): kNone; kEmpty for an
// empty edit; kNotCodePage for a character code page 932 cannot express
// exactly (key empty: the dialog refuses it with message 59); kTooLong when
// the characters take more than 56 bytes, with key holding the first 56,
// which is the key the dialog uses, as it always was.
KeyRefusal ReadPasswordKey(HWND edit, SecretBuffer* key);

}  // namespace zorv
