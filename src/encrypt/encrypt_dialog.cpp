#include "encrypt/encrypt_dialog.h"

#include <cstring>
#include <new>
#include <utility>

#include "app/file_system.h"
#include "app/messages.h"
#include "app/path_utils.h"
#include "app/resource_ids.h"
#include "app/settings.h"
#include "crypto/file_cipher.h"
#include "crypto/secret_buffer.h"
#include "crypto/secure_delete.h"
#include "encrypt/batch_steps.h"

namespace zorv {

namespace {

constexpr int kMaxPasswordBytes = BlowfishCipher::kMaxKeyLength;
constexpr DWORD kReadOnlyOrSystem = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM;
constexpr char kEncryptedPattern[] = "*.crp";

// Reads a password edit's text into password (at most the cipher's longest
// key, which is all the edit takes).
void ReadPassword(HWND edit, SecretBuffer* password) {
    const int length = GetWindowTextA(edit, password->WritableData(), kMaxPasswordBytes + 1);
    password->SetSize(static_cast<size_t>(length));
}

// The minimum password length in bytes; a hand-edited value below 1 would
// allow an empty password, with which no cipher can be keyed.
int MinimumPasswordBytes() {
    return g_settings.minimumChars < 1 ? 1 : g_settings.minimumChars;
}

void ShowControl(HWND dialog, int id, bool show) {
    ShowWindow(GetDlgItem(dialog, id), show ? SW_SHOW : SW_HIDE);
}

// A file's size and last-write time as the directory reports them.
struct SourceStamp {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    bool read = false;

    void ReadFrom(const char* path) {
        read = GetFileAttributesExA(path, GetFileExInfoStandard, &data) != 0;
    }
    bool SameAs(const SourceStamp& other) const {
        return read && other.read && data.nFileSizeHigh == other.data.nFileSizeHigh &&
               data.nFileSizeLow == other.data.nFileSizeLow &&
               CompareFileTime(&data.ftLastWriteTime, &other.data.ftLastWriteTime) == 0;
    }
};

}  // namespace

// The per-file rule of the encryption batch inside folders: ".crp" files are
// refused, every other file is encrypted.
class EncryptDialog::FolderEncryption : public FolderVisitor {
public:
    FolderEncryption(EncryptDialog& dialog, FileCipher& cipher)
        : dialog_(dialog), cipher_(cipher) {}

    ResultCode ClassifyFile(const char* name) override {
        return MatchPattern(name, kEncryptedPattern) ? kResultAlreadyEncrypted : kResultOk;
    }
    void ProcessFile(const char* path) override { dialog_.EncryptOne(cipher_, path); }
    void ReportFailure(const char* path, ResultCode code) override {
        dialog_.LogFailure(path, code);
    }

private:
    EncryptDialog& dialog_;
    FileCipher& cipher_;
};

EncryptDialog::EncryptDialog(const char* const* inputFiles, int inputCount)
    : files(inputFiles), fileCount(inputCount) {}

EncryptDialog::~EncryptDialog() = default;

INT_PTR EncryptDialog::DlgProc(UINT message, WPARAM wParam, LPARAM) {
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
    log.reset(new (std::nothrow) ProgressLog(GetItem(IDC_LOG)));
    if (!log) {
        ShowMessage(Handle(), IDS_OUT_OF_MEMORY, MB_ICONERROR);
        EndModal(IDCANCEL);
        return FALSE;
    }
    EnableWindow(GetItem(IDOK), FALSE);
    passwordEdit = GetItem(IDC_ENCRYPT_PASSWORD);
    confirmEdit = GetItem(IDC_ENCRYPT_CONFIRM);
    SendMessageA(passwordEdit, EM_LIMITTEXT, kMaxPasswordBytes, 0);
    SendMessageA(confirmEdit, EM_LIMITTEXT, kMaxPasswordBytes, 0);
    CheckDlgButton(Handle(), IDC_DELETE_SOURCE, BST_CHECKED);
    SetFocus(passwordEdit);
    return FALSE;
}

INT_PTR EncryptDialog::OnCommand(int id, int notification) {
    switch (id) {
        case IDOK:
            return OnOk();
        case IDCANCEL:
            EndModal(IDCANCEL);
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
    ReadPassword(passwordEdit, &first);
    ReadPassword(confirmEdit, &second);
    const auto minimum = static_cast<size_t>(MinimumPasswordBytes());
    EnableWindow(GetItem(IDOK), first.size() >= minimum && second.size() >= minimum);
    return TRUE;
}

INT_PTR EncryptDialog::OnOk() {
    deleteSource = IsDlgButtonChecked(Handle(), IDC_DELETE_SOURCE) == BST_CHECKED;
    SecretBuffer first;
    SecretBuffer second;
    ReadPassword(passwordEdit, &first);
    ReadPassword(confirmEdit, &second);
    // OK is disabled below the minimum, but the command can still be sent;
    // an empty password must never reach the cipher.
    const auto minimum = static_cast<size_t>(MinimumPasswordBytes());
    if (first.size() < minimum || second.size() < minimum) {
        return TRUE;
    }
    if (!first.Equals(second)) {
        ShowMessage(Handle(), IDS_PASSWORD_MISMATCH, MB_ICONEXCLAMATION);
        ClearPasswordEdits();
        SetFocus(passwordEdit);
        return TRUE;
    }
    SecretBuffer password(std::move(first));
    second.Clear();
    // The hidden edits would otherwise keep the password while the batch
    // runs and during the review.
    ClearPasswordEdits();
    ShowProgressView();
    std::unique_ptr<FileCipher> cipher(
        new (std::nothrow) FileCipher(password.data(), static_cast<int32_t>(password.size())));
    password.Clear();
    if (!cipher) {
        ShowMessage(Handle(), IDS_OUT_OF_MEMORY, MB_ICONERROR);
        EndModal(IDCANCEL);
        return TRUE;
    }
    RunBatch(*cipher);
    cipher.reset();
    if (failureCount == 0) {
        EndModal(IDOK);
    } else {
        EnterReview();
    }
    return TRUE;
}

void EncryptDialog::ClearPasswordEdits() {
    SetWindowTextA(passwordEdit, "");
    SetWindowTextA(confirmEdit, "");
}

void EncryptDialog::ShowProgressView() {
    static const int kInputControls[] = {IDOK,
                                         IDCANCEL,
                                         IDC_ENCRYPT_PASSWORD_LABEL,
                                         IDC_ENCRYPT_CONFIRM_LABEL,
                                         IDC_ENCRYPT_PASSWORD,
                                         IDC_ENCRYPT_CONFIRM,
                                         IDC_DELETE_SOURCE};
    for (int id : kInputControls) {
        ShowControl(Handle(), id, false);
    }
    ShowControl(Handle(), IDC_LOG, true);
    ShowControl(Handle(), IDC_PROCESSING, true);
    // The batch blocks the message loop: paint the new view before it starts.
    RedrawWindow(Handle(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void EncryptDialog::RunBatch(FileCipher& cipher) {
    log->WriteStart();
    for (int i = 0; i < fileCount; ++i) {
        EncryptInput(cipher, files[i]);
    }
    log->WriteDone();
}

void EncryptDialog::EncryptInput(FileCipher& cipher, const char* path) {
    if (IsFolder(path)) {
        EncryptFolder(cipher, path);
        return;
    }
    // A name that the search finds but whose attributes cannot be read (one
    // with wildcards, for instance) names no single file: it is reported as
    // missing and never encrypted.
    DWORD attributes = PathExists(path) ? GetFileAttributesA(path) : INVALID_FILE_ATTRIBUTES;
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        LogFailure(path, kResultFileMissing);
    } else if ((attributes & kReadOnlyOrSystem) != 0) {
        LogFailure(path, kResultReadOnlyOrSystem);
    } else if (MatchPattern(path, kEncryptedPattern)) {
        LogFailure(path, kResultAlreadyEncrypted);
    } else {
        EncryptOne(cipher, path);
    }
}

void EncryptDialog::EncryptOne(FileCipher& cipher, const char* source) {
    char target[kMaxPath];
    std::size_t length = std::strlen(source);
    if (length >= kMaxPath) {
        LogFailure(source, kResultPathTooLong);
        return;
    }
    std::memcpy(target, source, length + 1);
    // Without room for ".crp" the target would be the source itself, which
    // exists: refused as such, before any work is done.
    if (!AppendLimited(target, ".crp")) {
        LogFailure(source, kResultFileExists);
        return;
    }
    char temp[kMaxPath] = "";
    MakeTempFileName("crp", temp);  // on failure temp stays "", which the transform cannot create
    SourceStamp before;
    before.ReadFrom(source);
    ResultCode rc = cipher.EncryptFile(source, temp);
    if (rc != kResultOk) {
        LogFailure(source, rc);
    } else if ((rc = CopyToFinalName(temp, target)) != kResultOk) {
        LogFailure(target, rc);
    } else {
        // The transform checks its own open source; this also covers the
        // copy. A source written to since its encryption began is kept, and
        // its .crp file, made from what was read, must not pass as complete.
        SourceStamp after;
        after.ReadFrom(source);
        if (!after.SameAs(before)) {
            DeleteFileA(target);
            LogFailure(source, kResultSourceChanged);
        } else {
            FinishSource(source);
        }
    }
    // The temporary file holds nothing but cipher text, complete or partial;
    // a failure to destroy it is not reported.
    if (temp[0] != '\0') {
        SecureDelete(temp);
    }
}

void EncryptDialog::FinishSource(const char* source) {
    if (deleteSource && !SecureDelete(source)) {
        // The .crp file is in place, but the plain file the user asked to
        // destroy is still there (held open elsewhere, or with other names):
        // a failure, so that the dialog stays open and the line is read.
        LogFailure(source, kResultDeleteFailed);
        return;
    }
    log->WriteOk(source);
}

void EncryptDialog::EncryptFolder(FileCipher& cipher, const char* folder) {
    FolderEncryption rule(*this, cipher);
    WalkFolder(folder, rule);
}

void EncryptDialog::EnterReview() {
    log->SetWriting(false);
    HWND closeButton = GetItem(IDCANCEL);
    SetWindowTextA(closeButton, LoadText(IDS_CLOSE));
    ShowWindow(closeButton, SW_SHOW);
    SendMessageA(Handle(), DM_SETDEFID, IDCANCEL, 0);
    SetFocus(closeButton);
}

void EncryptDialog::LogFailure(const char* path, ResultCode code) {
    log->WriteFailure(path, LoadText(code));
    ++failureCount;
}

}  // namespace zorv
