#include "batch/password_edit.h"

#include "crypto/blowfish_cipher.h"
#include "crypto/secure_zero.h"

namespace zorv {
namespace {

// Characters, each of at least one key byte.
constexpr int kMaxPasswordCharacters = BlowfishCipher::kMaxKeyLength;
static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows' wide text is UTF-16");

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

}  // namespace zorv
