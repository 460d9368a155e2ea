#include "decrypt/orphan_recovery.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "app/dialog_base.h"
#include "app/messages.h"
#include "app/module_instance.h"
#include "app/resource_ids.h"
#include "batch/password_edit.h"
#include "crypto/result_code.h"
#include "crypto/secret_buffer.h"
#include "crypto/secure_delete.h"
#include "decrypt/reencrypt_session_files.h"

namespace zorv {
namespace {

bool CopyExists(const char* path) {
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// The password asked twice on the encryption dialog's template, without its
// "delete the source" box: the new .crp takes the place of one that the user
// opened with a password, which is to be typed again, exactly, twice.
class OrphanPasswordDialog : public DialogBase {
public:
    // The cipher keyed with the password after OK; null after Cancel.
    std::unique_ptr<FileCipher> TakeCipher() { return std::move(cipher_); }

    INT_PTR DlgProc(UINT message, WPARAM wParam, LPARAM) override {
        if (message == WM_INITDIALOG) {
            return OnInitDialog();
        }
        if (message != WM_COMMAND) {
            return FALSE;
        }
        switch (LOWORD(wParam)) {
            case IDOK:
                return OnOk();
            case IDCANCEL:
                EndModal(IDCANCEL);
                return TRUE;
            case IDC_ENCRYPT_PASSWORD:
            case IDC_ENCRYPT_CONFIRM:
                if (HIWORD(wParam) == EN_CHANGE) {
                    EnableWindow(GetItem(IDOK), NewPasswordEnablesOk(first_, second_));
                }
                return TRUE;
            default:
                return FALSE;
        }
    }

private:
    INT_PTR OnInitDialog() {
        CentreOn(nullptr);
        ShowWindow(GetItem(IDC_DELETE_SOURCE), SW_HIDE);
        EnableWindow(GetItem(IDOK), FALSE);
        first_ = PreparePasswordEdit(GetItem(IDC_ENCRYPT_PASSWORD));
        second_ = PreparePasswordEdit(GetItem(IDC_ENCRYPT_CONFIRM));
        SetFocus(first_);
        return FALSE;
    }

    INT_PTR OnOk() {
        SecretBuffer password;
        switch (ReadNewPassword(first_, second_, &password)) {
            case NewPassword::kNotCodePage:
                return Refuse(IDS_PASSWORD_CHARACTERS);
            case NewPassword::kTooShort:
                return TRUE;  // OK is disabled, but the command can still come
            case NewPassword::kMismatch:
                return Refuse(IDS_PASSWORD_MISMATCH);
            case NewPassword::kAccepted:
                break;
        }
        ClearEdits();
        cipher_.reset(new (std::nothrow)
                          FileCipher(password.data(), static_cast<int32_t>(password.size())));
        password.Clear();
        if (!cipher_) {
            ShowMessage(Handle(), IDS_OUT_OF_MEMORY, MB_ICONERROR);
        }
        EndModal(cipher_ ? IDOK : IDCANCEL);
        return TRUE;
    }

    INT_PTR Refuse(int messageId) {
        ShowMessage(Handle(), messageId, MB_ICONEXCLAMATION);
        ClearEdits();
        SetFocus(first_);
        return TRUE;
    }

    void ClearEdits() {
        SetWindowTextW(first_, L"");
        SetWindowTextW(second_, L"");
    }

    HWND first_ = nullptr;
    HWND second_ = nullptr;
    std::unique_ptr<FileCipher> cipher_;
};

void ShowPathMessage(int messageId, const char* path) {
    ShowMessageWithPath(nullptr, messageId, path, MB_ICONERROR);
}

// Message 63 with the working copy in its first "%s" and the .crp in its
// second; IDYES, IDNO or IDCANCEL.
int AskWhatToDo(const SessionRecord& record) {
    // Copied at once: LoadText's buffer is shared (no worker runs at start).
    char format[512] = {};
    std::snprintf(format, sizeof format, "%s", LoadText(IDS_ORPHAN_QUESTION));
    // Room for the whole text and both paths: nothing is ever cut.
    char text[512 + 2 * kMaxPath] = {};
    const char* paths[] = {record.workingCopy, record.encryptedPath};
    char* out = text;
    const char* rest = format;
    for (const char* path : paths) {
        const char* slot = std::strstr(rest, "%s");
        if (slot == nullptr) {
            break;
        }
        out += std::snprintf(out, sizeof text - static_cast<size_t>(out - text), "%.*s%s",
                             static_cast<int>(slot - rest), rest, path);
        rest = slot + 2;
    }
    std::snprintf(out, sizeof text - static_cast<size_t>(out - text), "%s", rest);
    return MessageBoxA(nullptr, text, kMessageCaption, MB_YESNOCANCEL | MB_ICONWARNING);
}

void DestroyOrphan(const SessionRecord& record) {
    if (!SecureDeleteTemporary(record.workingCopy)) {
        ShowPathMessage(IDS_ORPHAN_DELETE_FAILED, record.workingCopy);
    }
}

// The password typed twice; null after Cancel. While the .crp is there, it
// must open it: the same wrong password typed twice (Caps Lock) would
// otherwise lock the user out of the file for good.
std::unique_ptr<FileCipher> AskPassword(const SessionRecord& record) {
    for (;;) {
        OrphanPasswordDialog dialog;
        dialog.RunModal(ModuleInstance(), IDD_ENCRYPT, nullptr);
        std::unique_ptr<FileCipher> cipher = dialog.TakeCipher();
        if (!cipher || OpensEncryptedFile(*cipher, record.encryptedPath)) {
            return cipher;
        }
        ShowMessage(nullptr, kResultWrongPassword, MB_ICONERROR);
    }
}

void ReencryptOrphan(const SessionRecord& record) {
    const std::unique_ptr<FileCipher> cipher = AskPassword(record);
    if (!cipher) {
        return;
    }
    if (!MatchesEncryptedFile(*cipher, record.workingCopy, record.encryptedPath) &&
        ReplaceEncryptedFile(*cipher, record.workingCopy, record.encryptedPath) != kResultOk) {
        ShowPathMessage(IDS_ORPHAN_REENCRYPT_FAILED, record.workingCopy);
        return;
    }
    if (!SecureDeleteTemporary(record.workingCopy)) {
        ShowPathMessage(IDS_TEMP_DELETE_FAILED, record.workingCopy);
    }
}

void Recover(const SessionRecord& record) {
    switch (DecideOrphanAction(record.stage, CopyExists(record.workingCopy))) {
        case OrphanAction::kDrop:
            break;
        case OrphanAction::kDestroy:
            DestroyOrphan(record);
            break;
        case OrphanAction::kAsk: {
            const int choice = AskWhatToDo(record);
            if (choice == IDYES) {
                ReencryptOrphan(record);
            } else if (choice == IDNO) {
                DestroyOrphan(record);
            }
            break;
        }
    }
}

}  // namespace

OrphanAction DecideOrphanAction(SessionStage stage, bool copyExists) {
    if (!copyExists) {
        return OrphanAction::kDrop;
    }
    return stage == SessionStage::kEditing ? OrphanAction::kAsk : OrphanAction::kDestroy;
}

void RecoverOrphanedSessions(const char* iniPath) {
    SessionRecord records[kMaxSessionRecords];
    const int count = ReadSessionRecords(iniPath, records, kMaxSessionRecords);
    for (int i = 0; i < count; ++i) {
        Recover(records[i]);
        if (!CopyExists(records[i].workingCopy)) {
            RemoveSessionRecord(iniPath, records[i].slot);
        }
    }
}

}  // namespace zorv
