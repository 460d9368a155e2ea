#include "decrypt/reencrypt_session.h"

#include <shellapi.h>

#include <cstdio>
#include <cstring>

#include "app/file_system.h"
#include "app/messages.h"
#include "app/module_instance.h"
#include "app/resource_ids.h"
#include "app/settings.h"
#include "crypto/result_code.h"
#include "crypto/secure_delete.h"
#include "decrypt/file_replace.h"
#include "decrypt/reencrypt_session_files.h"
#include "shell/com_ptr.h"

namespace zorv {
namespace {

// Both waits poll in these steps, so a request from the tray takes effect
// within half a second.
constexpr DWORD kPollMilliseconds = 500;

}  // namespace

bool BuildWorkingCopyName(const char* encryptedPath, const char* tempFolder, char* workingCopy) {
    std::memset(workingCopy, 0, kMaxPath);
    const char* base = tempFolder != nullptr ? tempFolder : encryptedPath;
    if (std::strlen(base) >= kMaxPath) {
        return false;
    }
    std::memcpy(workingCopy, base, std::strlen(base));
    if (tempFolder != nullptr) {
        const char* name = GetFileNamePart(encryptedPath);
        // The join refuses what does not fit, leaving the folder alone; that
        // must never pass for the working copy's name.
        if (*name == '\0' || !JoinPath(workingCopy, name)) {
            return false;
        }
    }
    StripExtension(workingCopy);
    return true;
}

bool MakeUniqueName(char* path, bool (*exists)(const char* path)) {
    if (!exists(path)) {
        return true;
    }
    // The first dot of the file-name part, whatever the folder holds: a
    // relative path's folder may have dots of its own (GetExtension would
    // search it too).
    const char* dot = FindCharacter(GetFileNamePart(path), '.');
    const char* extension = dot != nullptr ? dot : "";
    const std::size_t stemLength =
        dot == nullptr ? std::strlen(path) : static_cast<std::size_t>(dot - path);
    char candidate[kMaxPath];
    for (int n = 1; n <= kMaxUniqueNameNumber; ++n) {
        const int length = std::snprintf(candidate, sizeof candidate, "%.*s(%d)%s",
                                         static_cast<int>(stemLength), path, n, extension);
        if (length < 0 || static_cast<std::size_t>(length) >= kMaxPath) {
            return false;
        }
        if (!exists(candidate)) {
            std::memcpy(path, candidate, static_cast<std::size_t>(length) + 1);
            return true;
        }
    }
    return false;
}

void ReencryptSession::SetEncryptedPath(const char* path) {
    if (path == nullptr) {
        return;
    }
    std::memset(encryptedPath_, 0, sizeof encryptedPath_);
    const std::size_t length = std::strlen(path);
    if (length < kMaxPath) {
        std::memcpy(encryptedPath_, path, length);
    }
}

void ReencryptSession::SetRecordFile(const char* iniPath) {
    std::memset(recordFile_, 0, sizeof recordFile_);
    if (iniPath != nullptr && std::strlen(iniPath) < kMaxPath) {
        std::memcpy(recordFile_, iniPath, std::strlen(iniPath));
    }
}

void ReencryptSession::EndQuietly() {
    quiet_ = true;
    Signal();
}

int ReencryptSession::Run() {
    if (!cipher_) {
        return -1;
    }
    char workingCopy[kMaxPath] = {};
    if (ChooseWorkingCopyName(workingCopy)) {
        // Recorded before the copy exists: a crash while it is written
        // leaves a part of the plain text, which the next start destroys.
        Record(workingCopy);
        if (DecryptWorkingCopy(workingCopy)) {
            const bool keep = KeepsEncryptedFile(workingCopy);
            SetSessionStage(recordFile_, recordSlot_,
                            keep ? SessionStage::kFinishing : SessionStage::kEditing);
            ScopedHandle process(OpenWithShell(workingCopy));
            WaitForEditing(process.Get());
            process.Reset();
            if (keep) {
                DestroyWorkingCopy(workingCopy);
            } else {
                ReencryptWorkingCopy(workingCopy);
            }
        }
        ForgetUnlessLeft(workingCopy);
    }
    // Last action: after this post the dialog may end and destroy us.
    PostMessageA(notifyWindow_, notifyMessage_, 0, 0);
    return 0;
}

bool ReencryptSession::ChooseWorkingCopyName(char* workingCopy) const {
    if (encryptedPath_[0] == '\0') {
        Report(kResultOpenFailed);
        return false;
    }
    // Opening as read-only always uses the temporary folder; every other
    // session (a read-only .crp included) follows the setting.
    const bool inTemp = g_settings.useTempDir || openReadOnly_;
    char tempFolder[kMaxPath] = {};
    bool named = true;
    if (inTemp) {
        const DWORD length = GetTempPathA(kMaxPath, tempFolder);
        named = length > 0 && length < kMaxPath;
    }
    named = named &&
            BuildWorkingCopyName(encryptedPath_, inTemp ? tempFolder : nullptr, workingCopy) &&
            MakeUniqueName(workingCopy, PathExists);
    if (!named) {
        // No name that fits: nothing is decrypted and the .crp stays as it is.
        Report(IDS_OPEN_WORKING_COPY_FAILED);
    }
    return named;
}

bool ReencryptSession::DecryptWorkingCopy(const char* workingCopy) {
    const ResultCode rc = cipher_->DecryptFile(encryptedPath_, workingCopy);
    if (rc == kResultOk) {
        return true;
    }
    // Whatever reached the working copy (a wrong password writes it whole)
    // is plain text or noise from the .crp: it goes, securely.
    if (PathExists(workingCopy) && !SecureDeleteTemporary(workingCopy)) {
        ReportWithPath(IDS_TEMP_DELETE_FAILED, workingCopy);
    }
    Report(rc);
    return false;
}

void ReencryptSession::Record(const char* workingCopy) {
    // Full paths: the next start may run in another current folder.
    char fullCopy[kMaxPath] = {};
    char fullCrp[kMaxPath] = {};
    const DWORD copyLength = GetFullPathNameA(workingCopy, kMaxPath, fullCopy, nullptr);
    const DWORD crpLength = GetFullPathNameA(encryptedPath_, kMaxPath, fullCrp, nullptr);
    if (copyLength == 0 || copyLength >= kMaxPath || crpLength == 0 || crpLength >= kMaxPath) {
        return;
    }
    recordSlot_ = AddSessionRecord(recordFile_, fullCopy, fullCrp, SessionStage::kDecrypting);
}

void ReencryptSession::ForgetUnlessLeft(const char* workingCopy) const {
    if (GetFileAttributesA(workingCopy) == INVALID_FILE_ATTRIBUTES) {
        RemoveSessionRecord(recordFile_, recordSlot_);
    }
}

bool ReencryptSession::KeepsEncryptedFile(const char* workingCopy) const {
    const DWORD read = GetFileAttributesA(encryptedPath_);
    const DWORD attributes = read == INVALID_FILE_ATTRIBUTES ? 0 : read;
    if (openReadOnly_) {
        SetFileAttributesA(workingCopy, attributes | FILE_ATTRIBUTE_READONLY);
        return true;
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        SetFileAttributesA(workingCopy, attributes);
        return true;
    }
    // A write-protected medium would refuse the new .crp at the end, with the
    // edits left in plain text: the copy is read-only from the start.
    if (IsOnWriteProtectedMedium(encryptedPath_)) {
        SetFileAttributesA(workingCopy, attributes | FILE_ATTRIBUTE_READONLY);
        return true;
    }
    return false;
}

HANDLE ReencryptSession::OpenWithShell(const char* workingCopy) const {
    // Some file types are opened by handlers that the shell starts through
    // COM; without an apartment on this thread the open fails. OLE1 DDE is
    // off, as the shell's documentation asks of its callers.
    const ScopedComInit com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpFile = workingCopy;
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExA(&info)) {
        Report(IDS_OPEN_WORKING_COPY_FAILED);
        return nullptr;
    }
    // Null when the shell handed the file to a running application.
    return info.hProcess;
}

void ReencryptSession::WaitForEditing(HANDLE process) const {
    if (waitForTray_) {
        while (!IsSignalled()) {
            Sleep(kPollMilliseconds);
        }
        return;
    }
    // Without a process handle the wait fails at once and so does the loop.
    while (WaitForSingleObject(process, kPollMilliseconds) == WAIT_TIMEOUT && !IsSignalled()) {
    }
}

void ReencryptSession::ReencryptWorkingCopy(const char* workingCopy) {
    // An unchanged copy leaves the .crp as it is, times and all.
    if (!MatchesEncryptedFile(*cipher_, workingCopy, encryptedPath_) &&
        ReplaceEncryptedFile(*cipher_, workingCopy, encryptedPath_) != kResultOk) {
        // The edited plain text stays where it is, and in the record, for
        // the user to encrypt.
        ReportWithPath(IDS_REENCRYPT_FAILED, workingCopy);
        return;
    }
    // From here the .crp holds all the copy does: a crash during the wipe
    // must not offer a half-wiped copy for re-encryption.
    SetSessionStage(recordFile_, recordSlot_, SessionStage::kFinishing);
    DestroyWorkingCopy(workingCopy);
}

void ReencryptSession::DestroyWorkingCopy(const char* workingCopy) const {
    // Deleted even when the wipe fails part-way, so that no plain text stays
    // readable under its name; the message still says it was not destroyed.
    if (!SecureDeleteTemporary(workingCopy)) {
        ReportWithPath(IDS_TEMP_DELETE_FAILED, workingCopy);
    }
}

void ReencryptSession::Report(int messageId) const {
    if (quiet_) {
        return;
    }
    ShowMessage(notifyWindow_, messageId, MB_ICONERROR);
}

void ReencryptSession::ReportWithPath(int messageId, const char* path) const {
    if (quiet_) {
        return;
    }
    char text[512 + kMaxPath] = {};
    FormatPathMessage(messageId, path, text, sizeof text);
    MessageBoxA(notifyWindow_, text, kMessageCaption, MB_ICONERROR);
}

}  // namespace zorv
