#include "encrypt/encrypt_dialog.h"

#include <cstring>
#include <new>
#include <utility>

#include "app/messages.h"
#include "app/resource_ids.h"
#include "app/settings.h"
#include "batch/password_edit.h"
#include "crypto/file_cipher.h"
#include "crypto/secret_buffer.h"
#include "encrypt/encrypt_batch.h"

namespace zorv {

namespace {

// The controls of the password view, hidden once the batch starts.
constexpr int kInputControls[] = {IDOK,
                                  IDCANCEL,
                                  IDC_ENCRYPT_PASSWORD_LABEL,
                                  IDC_ENCRYPT_CONFIRM_LABEL,
                                  IDC_ENCRYPT_PASSWORD,
                                  IDC_ENCRYPT_CONFIRM,
                                  IDC_DELETE_SOURCE};

// The minimum password length in bytes; a hand-edited value below 1 would
// allow an empty password, with which no cipher can be keyed.
int MinimumPasswordBytes() {
    return g_settings.minimumChars < 1 ? 1 : g_settings.minimumChars;
}

// An edit's key is long enough for OK; so is a text OK must refuse with
// message 59, so that pressing OK says why.
bool EnablesOk(KeyRefusal refusal, const SecretBuffer& key) {
    return refusal == KeyRefusal::kNotCodePage ||
           key.size() >= static_cast<size_t>(MinimumPasswordBytes());
}

}  // namespace

EncryptDialog::EncryptDialog(const FileRange& files) : files_(files) {}

EncryptDialog::~EncryptDialog() = default;

INT_PTR EncryptDialog::DlgProc(UINT message, WPARAM wParam, LPARAM) {
    INT_PTR result = FALSE;
    if (batch_ && batch_->HandleMessage(message, wParam, &result)) {
        return result;
    }
    switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog();
        case WM_COMMAND:
            return OnCommand(LOWORD(wParam), HIWORD(wParam));
        default:
            return FALSE;
    }
}

INT_PTR EncryptDialog::OnInitDialog() {
    CentreOn(nullptr);
    batch_ = BatchView::Create(Handle());
    if (!batch_) {
        EndModal(IDCANCEL);
        return FALSE;
    }
    EnableWindow(GetItem(IDOK), FALSE);
    passwordEdit_ = PreparePasswordEdit(GetItem(IDC_ENCRYPT_PASSWORD));
    confirmEdit_ = PreparePasswordEdit(GetItem(IDC_ENCRYPT_CONFIRM));
    CheckDlgButton(Handle(), IDC_DELETE_SOURCE, BST_CHECKED);
    SetFocus(passwordEdit_);
    return FALSE;
}

INT_PTR EncryptDialog::OnCommand(int id, int notification) {
    switch (id) {
        case IDOK:
            return OnOk();
        case IDCANCEL:
            if (!batch_->DeferClose()) {
                EndModal(IDCANCEL);
            }
            return TRUE;
        case IDC_ENCRYPT_PASSWORD:
        case IDC_ENCRYPT_CONFIRM:
            return OnPasswordChange(notification);
        default:
            return FALSE;
    }
}

INT_PTR EncryptDialog::OnPasswordChange(int notification) {
    if (notification != EN_CHANGE) {
        return TRUE;
    }
    SecretBuffer first;
    SecretBuffer second;
    const KeyRefusal firstRefusal = ReadPasswordKey(passwordEdit_, &first);
    const KeyRefusal secondRefusal = ReadPasswordKey(confirmEdit_, &second);
    EnableWindow(GetItem(IDOK), EnablesOk(firstRefusal, first) && EnablesOk(secondRefusal, second));
    return TRUE;
}

INT_PTR EncryptDialog::OnOk() {
    if (batch_->IsRunning()) {
        return TRUE;  // Enter on the hidden OK button
    }
    deleteSource_ = IsDlgButtonChecked(Handle(), IDC_DELETE_SOURCE) == BST_CHECKED;
    SecretBuffer first;
    SecretBuffer second;
    const KeyRefusal firstRefusal = ReadPasswordKey(passwordEdit_, &first);
    const KeyRefusal secondRefusal = ReadPasswordKey(confirmEdit_, &second);
    if (firstRefusal == KeyRefusal::kNotCodePage || secondRefusal == KeyRefusal::kNotCodePage) {
        // Such a character would key as something else, so that another
        // password would open the file.
        ShowMessage(Handle(), IDS_PASSWORD_CHARACTERS, MB_ICONEXCLAMATION);
        ClearPasswordEdits();
        SetFocus(passwordEdit_);
        return TRUE;
    }
    // OK is disabled below the minimum, but the command can still be sent;
    // an empty password must never reach the cipher.
    const auto minimum = static_cast<size_t>(MinimumPasswordBytes());
    if (first.size() < minimum || second.size() < minimum) {
        return TRUE;
    }
    if (!first.Equals(second)) {
        ShowMessage(Handle(), IDS_PASSWORD_MISMATCH, MB_ICONEXCLAMATION);
        ClearPasswordEdits();
        SetFocus(passwordEdit_);
        return TRUE;
    }
    SecretBuffer password(std::move(first));
    second.Clear();
    // The hidden edits would otherwise keep the password while the batch
    // runs and during the review.
    ClearPasswordEdits();
    ShowProgressView(Handle(), kInputControls);
    std::unique_ptr<FileCipher> cipher(
        new (std::nothrow) FileCipher(password.data(), static_cast<int32_t>(password.size())));
    password.Clear();
    if (!cipher) {
        ShowMessage(Handle(), IDS_OUT_OF_MEMORY, MB_ICONERROR);
        EndModal(IDCANCEL);
        return TRUE;
    }
    RunBatch(std::move(cipher));
    return TRUE;
}

void EncryptDialog::ClearPasswordEdits() {
    SetWindowTextW(passwordEdit_, L"");
    SetWindowTextW(confirmEdit_, L"");
}

void EncryptDialog::RunBatch(std::unique_ptr<FileCipher> cipher) {
    const bool deleteSource = deleteSource_;
    batch_->Start(
        std::move(cipher),
        [deleteSource](FileCipher& own) {
            return std::unique_ptr<BatchRule>(new (std::nothrow) EncryptionRule(own, deleteSource));
        },
        files_);
}

}  // namespace zorv
