// The batch road of the decryption dialog: every input decrypted beside its
// .crp file, each outcome a line of the progress log.
#include <cstring>

#include "app/file_system.h"
#include "app/messages.h"
#include "app/path_utils.h"
#include "app/resource_ids.h"
#include "crypto/secure_delete.h"
#include "decrypt/decrypt_dialog.h"
#include "encrypt/batch_steps.h"

namespace zorv {
namespace {

constexpr char kEncryptedPattern[] = "*.crp";
constexpr DWORD kRefusedAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM;

}  // namespace

// The folder walk's rule for decryption: "*.crp" files are decrypted once the
// folder's search is closed, everything else is passed over silently.
class DecryptDialog::FolderRule : public FolderVisitor {
public:
    FolderRule(DecryptDialog& dialog, FileCipher& cipher) : dialog_(dialog), cipher_(cipher) {}

    ResultCode ClassifyFile(const char* name) override {
        return MatchPattern(name, kEncryptedPattern) ? kResultOk : kPassOver;
    }
    void ProcessFile(const char* path) override { dialog_.DecryptOne(cipher_, path); }
    void ReportFailure(const char* path, ResultCode code) override {
        dialog_.LogFailure(path, code);
    }

private:
    DecryptDialog& dialog_;
    FileCipher& cipher_;
};

INT_PTR DecryptDialog::RunBatch(FileCipher& cipher) {
    log->WriteStart();
    for (int i = 0; i < fileCount; ++i) {
        DecryptInput(cipher, files[i]);
    }
    log->WriteDone();
    if (failureCount == 0) {
        EndModal(IDOK);
        return TRUE;
    }
    return ShowReview();
}

void DecryptDialog::DecryptInput(FileCipher& cipher, const char* path) {
    if (std::strlen(path) >= kMaxPath) {
        // Every step below works in kMaxPath buffers; a cut name would be
        // another file.
        LogFailure(path, kResultPathTooLong);
    } else if (!PathExists(path)) {
        LogFailure(path, kResultFileMissing);
    } else if (IsFolder(path)) {
        DecryptFolder(cipher, path);
    } else if ((GetFileAttributesA(path) & kRefusedAttributes) != 0) {
        // Also unreadable attributes (all bits set): such an input is never
        // decrypted.
        LogFailure(path, kResultReadOnlyOrSystem);
    } else if (MatchPattern(path, kEncryptedPattern)) {
        DecryptOne(cipher, path);
    } else {
        LogFailure(path, kResultNotEncrypted);
    }
}

void DecryptDialog::DecryptOne(FileCipher& cipher, const char* encryptedPath) {
    char target[kMaxPath] = {};
    std::memcpy(target, encryptedPath, std::strlen(encryptedPath));
    StripExtension(target);
    char temporary[kMaxPath] = {};
    // On failure the name stays empty and the transform reports that it
    // cannot create its output.
    MakeTempFileName("crp", temporary);
    ResultCode rc = cipher.DecryptFile(encryptedPath, temporary);
    if (rc != kResultOk) {
        LogFailure(encryptedPath, rc);
    } else if ((rc = CopyToFinalName(temporary, target)) != kResultOk) {
        LogFailure(target, rc);
    } else if (SecureDelete(encryptedPath)) {
        log->WriteOk(encryptedPath);
    } else {
        // The plain file is in place; a .crp that will not go is reported
        // but is no failure of the decryption.
        log->WriteFailure(encryptedPath, LoadText(kResultDeleteFailed));
    }
    // The temporary file held plain text (or noise after a wrong password).
    if (temporary[0] != '\0' && !SecureDeleteTemporary(temporary)) {
        LogFailure(temporary, kResultDeleteFailed);
    }
}

void DecryptDialog::DecryptFolder(FileCipher& cipher, const char* folderPath) {
    FolderRule rule(*this, cipher);
    WalkFolder(folderPath, rule);
}

void DecryptDialog::LogFailure(const char* path, ResultCode code) {
    log->WriteFailure(path, LoadText(code));
    ++failureCount;
}

INT_PTR DecryptDialog::ShowReview() {
    log->SetWriting(false);
    HWND close = GetItem(IDCANCEL);
    SetWindowTextA(close, LoadText(IDS_CLOSE));
    ShowWindow(close, SW_SHOW);
    SendMessageA(Handle(), DM_SETDEFID, IDCANCEL, 0);
    SendMessageA(Handle(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(close), TRUE);
    return TRUE;
}

}  // namespace zorv
