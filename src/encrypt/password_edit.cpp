#include "encrypt/password_edit.h"

#include "crypto/blowfish_cipher.h"

namespace zorv {
namespace {

constexpr int kMaxPasswordBytes = BlowfishCipher::kMaxKeyLength;
static_assert(kMaxPasswordBytes < static_cast<int>(SecretBuffer::kCapacity),
              "a password edit's text and its terminator fit in the buffer");

}  // namespace

HWND PreparePasswordEdit(HWND edit) {
    SendMessageA(edit, EM_LIMITTEXT, kMaxPasswordBytes, 0);
    return edit;
}

void ReadPasswordEdit(HWND edit, SecretBuffer* password) {
    const int length = GetWindowTextA(edit, password->WritableData(), kMaxPasswordBytes + 1);
    password->SetSize(static_cast<size_t>(length > 0 ? length : 0));
}

}  // namespace zorv
