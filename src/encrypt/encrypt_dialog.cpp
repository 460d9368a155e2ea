#include "encrypt/encrypt_dialog.h"

#include <cstring>
#include <new>
#include <utility>

#include "app/messages.h"
#include "app/resource_ids.h"
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
    EnableWindow(GetItem(IDOK), NewPasswordEnablesOk(passwordEdit_, confirmEdit_));
    return TRUE;
}

INT_PTR EncryptDialog::OnOk() {
    if (batch_->IsRunning()) {
        return TRUE;  // Enter on the hidden OK button
    }
    deleteSource_ = IsDlgButtonChecked(Handle(), IDC_DELETE_SOURCE) == BST_CHECKED;
    SecretBuffer password;
    const NewPassword check = ReadNewPassword(passwordEdit_, confirmEdit_, &password);
    if (check == NewPassword::kTooShort) {
        return TRUE;
    }
    if (check != NewPassword::kAccepted) {
        ShowMessage(
            Handle(),
            check == NewPassword::kNotCodePage ? IDS_PASSWORD_CHARACTERS : IDS_PASSWORD_MISMATCH,
            MB_ICONEXCLAMATION);
        ClearPasswordEdits();
        SetFocus(passwordEdit_);
        return TRUE;
    }
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
