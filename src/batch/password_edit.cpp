#include "batch/password_edit.h"

#include <utility>

#include "app/settings.h"
#include "crypto/blowfish_cipher.h"
#include "crypto/secure_zero.h"

namespace zorv {
namespace {

// Characters, each of at least one key byte.
constexpr int kMaxPasswordCharacters = BlowfishCipher::kMaxKeyLength;
static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows' wide text is UTF-16");

// The minimum password length in bytes; a hand-edited value below 1 would
// allow an empty password, with which no cipher can be keyed.
std::size_t MinimumPasswordBytes() {
    return static_cast<std::size_t>(g_settings.minimumChars < 1 ? 1 : g_settings.minimumChars);
}

bool EnablesOk(KeyRefusal refusal, const SecretBuffer& key) {
    return refusal == KeyRefusal::kNotCodePage || key.size() >= MinimumPasswordBytes();
}

}  // namespace

HWND PreparePasswordEdit(HWND edit) {
    SendMessageW(edit, EM_LIMITTEXT, kMaxPasswordCharacters, 0);
    return edit;
}

KeyRefusal ReadPasswordKey(HWND edit, SecretBuffer* key) {
    // Room for a surrogate pair beyond the limit, should one be pasted there.
    wchar_t text[kMaxPasswordCharacters + 2] = {};
    const int length = GetWindowTextW(edit, text, kMaxPasswordCharacters + 2);
    const KeyRefusal refusal =
        WidePasswordToKey(reinterpret_cast<const char16_t*>(text),
                          static_cast<std::size_t>(length > 0 ? length : 0), key);
    SecureZero(text, sizeof text);
    return refusal;
}

bool NewPasswordEnablesOk(HWND first, HWND second) {
    SecretBuffer firstKey;
    SecretBuffer secondKey;
    const KeyRefusal firstRefusal = ReadPasswordKey(first, &firstKey);
    const KeyRefusal secondRefusal = ReadPasswordKey(second, &secondKey);
    return EnablesOk(firstRefusal, firstKey) && EnablesOk(secondRefusal, secondKey);
}

NewPassword ReadNewPassword(HWND first, HWND second, SecretBuffer* key) {
    SecretBuffer firstKey;
    SecretBuffer secondKey;
    const KeyRefusal firstRefusal = ReadPasswordKey(first, &firstKey);
    const KeyRefusal secondRefusal = ReadPasswordKey(second, &secondKey);
    key->Clear();
    // Such a character would key as something else, so that another
    // password would open the file.
    if (firstRefusal == KeyRefusal::kNotCodePage || secondRefusal == KeyRefusal::kNotCodePage) {
        return NewPassword::kNotCodePage;
    }
    // OK is disabled below the minimum, but the command can still be sent;
    // an empty password must never reach the cipher.
    const std::size_t minimum = MinimumPasswordBytes();
    if (firstKey.size() < minimum || secondKey.size() < minimum) {
        return NewPassword::kTooShort;
    }
    if (!firstKey.Equals(secondKey)) {
        return NewPassword::kMismatch;
    }
    *key = std::move(firstKey);
    return NewPassword::kAccepted;
}

}  // namespace zorv
