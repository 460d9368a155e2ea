#include "decrypt/decrypt_dialog.h"

#include <cstring>
#include <new>
#include <utility>

#include "app/file_system.h"
#include "app/messages.h"
#include "app/resource_ids.h"
#include "app/settings.h"
#include "batch/password_edit.h"
#include "crypto/secret_buffer.h"
#include "decrypt/decrypt_batch.h"
#include "decrypt/tray_icon.h"

namespace zorv {
namespace {

// How long a completion message waits for the worker that posted it to end.
// The worker does nothing after posting, so this is only scheduling slack; a
// message that is still unanswered then did not come from the worker.
constexpr DWORD kSessionEndGraceMs = 5000;

constexpr int kInputControls[] = {IDOK,
                                  IDCANCEL,
                                  IDC_DECRYPT_PASSWORD_LABEL,
                                  IDC_DECRYPT_PASSWORD,
                                  IDC_REENCRYPT_GROUP,
                                  IDC_REENCRYPT_AUTO,
                                  IDC_REENCRYPT_TRAY,
                                  IDC_REENCRYPT_NONE,
                                  IDC_READ_ONLY};

}  // namespace

DecryptDialog::DecryptDialog(const FileRange& files)
    : taskbarCreatedMessage_(RegisterWindowMessageA("TaskbarCreated")),
      files_(files),
      fileCount_(files.paths != nullptr && files.count > 0 ? files.count : 0) {}

DecryptDialog::~DecryptDialog() {
    batch_.reset();
    if (session_) {
        // Every road that ends the dialog leaves the worker finished or about
        // to return; the session must not be freed under it in any case.
        session_->WaitForEnd(INFINITE);
        session_.reset();
    }
    SetTrayIcon(nullptr, false);
}

INT_PTR DecryptDialog::DlgProc(UINT message, WPARAM wParam, LPARAM lParam) {
    INT_PTR result = FALSE;
    if (batch_ && batch_->HandleMessage(message, wParam, &result)) {
        return result;
    }
    switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog();
        case WM_COMMAND:
            return OnCommand(LOWORD(wParam), HIWORD(wParam));
        case kSessionDoneMessage:
            return OnSessionDone();
        case kTrayNotifyMessage:
            return OnTrayNotify(wParam, lParam);
        case WM_QUERYENDSESSION:
            return OnQueryEndSession();
        case WM_ENDSESSION:
            return OnEndSession(wParam != FALSE);
        default:
            break;
    }
    if (message == taskbarCreatedMessage_) {
        AddTrayIconAgain();
    }
    return FALSE;
}

INT_PTR DecryptDialog::OnInitDialog() {
    CentreOn(nullptr);
    batch_ = BatchView::Create(Handle());
    if (!batch_) {
        // Every later road writes to the log or depends on the dialog that
        // owns it; without it, stop before anything is touched.
        EndModal(IDCANCEL);
        return TRUE;
    }
    EnableWindow(GetItem(IDOK), FALSE);
    passwordEdit_ = PreparePasswordEdit(GetItem(IDC_DECRYPT_PASSWORD));
    CheckInitialMode();
    SetFocus(passwordEdit_);
    return TRUE;
}

void DecryptDialog::CheckInitialMode() {
    int radio = IDC_REENCRYPT_AUTO;
    if (g_settings.rememberLast) {
        if (g_settings.lastMode == kLastModeNone) {
            radio = IDC_REENCRYPT_NONE;
        } else if (g_settings.lastMode == kLastModeSemiAuto) {
            radio = IDC_REENCRYPT_TRAY;
        }
    }
    // On template 114 the radio buttons do not exist and this does nothing.
    CheckRadioButton(Handle(), IDC_REENCRYPT_AUTO, IDC_REENCRYPT_NONE, radio);
}

INT_PTR DecryptDialog::OnCommand(WORD id, WORD notification) {
    switch (id) {
        case IDOK:
            return OnOk();
        case IDCANCEL:
            return OnCancel();
        case IDC_DECRYPT_PASSWORD:
            if (notification == EN_CHANGE) {
                EnableWindow(GetItem(IDOK), GetWindowTextLengthA(passwordEdit_) > 0);
            }
            return TRUE;
        case IDC_REENCRYPT_AUTO:
        case IDC_REENCRYPT_TRAY:
            if (notification == BN_CLICKED) {
                EnableWindow(GetItem(IDC_READ_ONLY), TRUE);
            }
            return TRUE;
        case IDC_REENCRYPT_NONE:
            if (notification == BN_CLICKED) {
                CheckDlgButton(Handle(), IDC_READ_ONLY, BST_UNCHECKED);
                EnableWindow(GetItem(IDC_READ_ONLY), FALSE);
            }
            return TRUE;
        case IDM_REENCRYPT:
            if (session_ && session_->IsRunning()) {
                session_->Signal();
            }
            return TRUE;
        default:
            return FALSE;
    }
}

INT_PTR DecryptDialog::OnOk() {
    if (batch_->IsRunning() || !IsWindowVisible(GetItem(IDOK)) ||
        GetWindowTextLengthA(passwordEdit_) == 0) {
        // Enter on a disabled or hidden OK button; an empty key cannot make
        // a cipher.
        return TRUE;
    }
    SecretBuffer password;
    const KeyRefusal refusal = ReadPasswordKey(passwordEdit_, &password);
    // The edit's own copy is no longer needed either.
    SetWindowTextW(passwordEdit_, L"");
    if (refusal == KeyRefusal::kNotCodePage) {
        // Such a character would key as something else: the password the
        // user meant is not the one that would be tried.
        ShowMessage(Handle(), IDS_PASSWORD_CHARACTERS, MB_ICONEXCLAMATION);
        SetFocus(passwordEdit_);
        return TRUE;
    }
    ShowProgressView(Handle(), kInputControls);
    std::unique_ptr<FileCipher> cipher(
        new (std::nothrow) FileCipher(password.data(), static_cast<int32_t>(password.size())));
    password.Clear();
    if (!cipher) {
        ShowMessage(Handle(), IDS_OUT_OF_MEMORY, MB_ICONERROR);
        EndModal(IDCANCEL);
        return TRUE;
    }
    const int mode = ChosenMode();
    const bool readOnly = IsDlgButtonChecked(Handle(), IDC_READ_ONLY) == BST_CHECKED;
    RememberMode(mode);
    // A refused name is reported by the batch; its shown text must never
    // become the session's .crp.
    if (mode == kLastModeNone || fileCount_ < 1 || files_.IsRefused(0)) {
        return RunBatch(std::move(cipher));
    }
    return StartSession(std::move(cipher), mode, readOnly);
}

INT_PTR DecryptDialog::OnCancel() {
    // The hidden dialog can still be sent command 2 (Alt+F4, another
    // program); the session and its cipher must outlive its thread.
    if ((session_ && session_->IsRunning()) || batch_->DeferClose()) {
        return TRUE;
    }
    EndModal(IDCANCEL);
    return TRUE;
}

INT_PTR DecryptDialog::OnSessionDone() {
    if (session_ && !session_->WaitForEnd(kSessionEndGraceMs)) {
        return TRUE;
    }
    EndModal(IDOK);
    return TRUE;
}

int DecryptDialog::ChosenMode() const {
    if (IsDlgButtonChecked(Handle(), IDC_REENCRYPT_AUTO) == BST_CHECKED) {
        return kLastModeAuto;
    }
    if (IsDlgButtonChecked(Handle(), IDC_REENCRYPT_TRAY) == BST_CHECKED) {
        return kLastModeSemiAuto;
    }
    return kLastModeNone;
}

void DecryptDialog::RememberMode(int mode) const {
    // Only template 112 offers the choice; it is saved before any file is
    // touched, whatever the outcome.
    const bool offersChoice = GetItem(IDC_REENCRYPT_AUTO) != nullptr;
    if (!offersChoice || !g_settings.rememberLast || fileCount_ != 1 || files_.IsRefused(0) ||
        IsFolder(files_.paths[0]) || mode == g_settings.lastMode) {
        return;
    }
    g_settings.lastMode = mode;
    SaveSettings();
}

INT_PTR DecryptDialog::RunBatch(std::unique_ptr<FileCipher> cipher) {
    FileRange inputs = files_;
    inputs.count = fileCount_;
    batch_->Start(
        std::move(cipher),
        [](FileCipher& own) {
            return std::unique_ptr<BatchRule>(new (std::nothrow) DecryptionRule(own));
        },
        inputs);
    return TRUE;
}

}  // namespace zorv
