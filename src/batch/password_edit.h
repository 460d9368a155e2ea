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

// A new password, typed twice (the encryption dialog and the orphan
// recovery's dialog), as its two edits hold it.
enum class NewPassword {
    kAccepted,     // both the same and long enough
    kTooShort,     // either below the settings' minimum: OK is disabled
    kNotCodePage,  // a character code page 932 lacks (message 59)
    kMismatch,     // the two differ (message 60)
};

// Whether OK is enabled for the two edits: each at least the minimum long,
// or holding a character the code page lacks, so that pressing OK says why.
bool NewPasswordEnablesOk(HWND first, HWND second);
// Checks the two edits in that order; on kAccepted key holds the password's
// key bytes, otherwise it is cleared.
NewPassword ReadNewPassword(HWND first, HWND second, SecretBuffer* key);

}  // namespace zorv
