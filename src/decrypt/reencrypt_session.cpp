#include "decrypt/reencrypt_session.h"

#include <shellapi.h>

#include <cstdio>
#include <cstring>

#include "app/file_system.h"
#include "app/messages.h"
#include "app/module_instance.h"
#include "app/resource_ids.h"
#include "app/settings.h"
#include "batch/batch_steps.h"
#include "crypto/result_code.h"
#include "crypto/secure_delete.h"
#include "shell/com_ptr.h"

namespace zorv {
namespace {

// Both waits poll in these steps, so a request from the tray takes effect
// within half a second.
constexpr DWORD kPollMilliseconds = 500;

// Has the system create a new, empty, uniquely named file crpXXXX.tmp in the
// folder of path and writes its name into temp (kMaxPath bytes). The folder
// is taken from the full path, cut after its last separator, so that a drive
// root stays "C:\" rather than "C:" (the drive's current folder).
bool MakeTempFileBeside(const char* path, char* temp) {
    char folder[kMaxPath] = {};
    const DWORD length = GetFullPathNameA(path, kMaxPath, folder, nullptr);
    if (length == 0 || length >= kMaxPath) {
        return false;
    }
    char* name = GetFileNamePart(folder);
    if (name == folder) {
        return false;
    }
    *name = '\0';
    return GetTempFileNameA(folder, "crp", 0, temp) != 0;
}

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

void ReencryptSession::EndQuietly() {
    quiet_ = true;
    Signal();
}

int ReencryptSession::Run() {
    if (!cipher_) {
        return -1;
    }
    char workingCopy[kMaxPath] = {};
    if (ChooseWorkingCopyName(workingCopy) && DecryptWorkingCopy(workingCopy)) {
        const bool keep = DeleteEncryptedFileUnlessKept(workingCopy);
        ScopedHandle process(OpenWithShell(workingCopy));
        WaitForEditing(process.Get());
        process.Reset();
        if (keep) {
            DestroyWorkingCopy(workingCopy);
        } else {
            ReencryptWorkingCopy(workingCopy);
        }
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

bool ReencryptSession::DeleteEncryptedFileUnlessKept(const char* workingCopy) const {
    const DWORD read = GetFileAttributesA(encryptedPath_);
    const DWORD attributes = read == INVALID_FILE_ATTRIBUTES ? 0 : read;
    bool keep = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (openReadOnly_) {
        SetFileAttributesA(workingCopy, attributes | FILE_ATTRIBUTE_READONLY);
        return true;
    }
    if (keep) {
        SetFileAttributesA(workingCopy, attributes);
        return true;
    }
    // The .crp holds only cipher text, so an ordinary delete will do. On a
    // write-protected medium the system would ask the user to insert a disk;
    // the error mode turns that box off.
    const UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    if (!DeleteFileA(encryptedPath_) && GetLastError() == ERROR_WRITE_PROTECT) {
        keep = true;
        SetFileAttributesA(workingCopy, attributes | FILE_ATTRIBUTE_READONLY);
    }
    SetErrorMode(previousMode);
    // Any other failure leaves the .crp for the re-encryption to overwrite.
    return keep;
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

ResultCode ReencryptSession::WriteEncryptedFile(const char* workingCopy) {
    // The new .crp is written under a temporary name in its own folder and
    // moved to its name only once it is complete and on the disk: a write
    // that fails half-way (a full disk) must not leave a truncated .crp,
    // which would later read as a wrong password, and a power cut must not
    // find the working copy wiped before the cipher text has reached the disk.
    char temp[kMaxPath] = {};
    if (!MakeTempFileBeside(encryptedPath_, temp)) {
        return kResultOpenFailed;
    }
    ResultCode rc = cipher_->EncryptFile(workingCopy, temp);
    if (rc == kResultOk &&
        !(FlushToDisk(temp) &&
          MoveFileExA(temp, encryptedPath_, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))) {
        rc = kResultWriteFailed;
    }
    if (rc != kResultOk) {
        // It holds cipher text at most: an ordinary delete will do.
        DeleteFileA(temp);
    }
    return rc;
}

void ReencryptSession::ReencryptWorkingCopy(const char* workingCopy) {
    if (WriteEncryptedFile(workingCopy) != kResultOk) {
        // The edited plain text stays where it is for the user to encrypt.
        ReportWithPath(IDS_REENCRYPT_FAILED, workingCopy);
        return;
    }
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
