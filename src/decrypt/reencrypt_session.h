// The edit-and-re-encrypt session: on its own thread it decrypts one .crp
// file into a plain working copy, opens that with the application the shell
// associates with its type, waits until the editing is over, encrypts the
// working copy back over the .crp file with the same cipher (unless it is
// unchanged) and destroys the working copy. The .crp stays in place
// throughout, until a complete new one replaces it. While it runs, the
// session is recorded in the record file (session_record.h), so that a start
// after a crash finds its working copy. It reports in message boxes owned by
// the notify window and posts the notify message to it when done, whatever
// happened.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>

#include "app/path_utils.h"
#include "app/session_record.h"
#include "crypto/file_cipher.h"
#include "batch/worker_thread.h"

namespace zorv {

// The highest n tried by MakeUniqueName.
constexpr int kMaxUniqueNameNumber = 9999;

// Writes the working copy's name for encryptedPath into workingCopy (kMaxPath
// bytes, zero-filled first): tempFolder joined with the file-name part of
// encryptedPath, or encryptedPath itself when tempFolder is null, cut at the
// last dot of the file-name part. False when the name does not fit in 259
// bytes; workingCopy then holds no usable name.
bool BuildWorkingCopyName(const char* encryptedPath, const char* tempFolder, char* workingCopy);

// When exists(path) holds, replaces path (a kMaxPath buffer) by the first
// "stem(n)extension" with n = 1 ... kMaxUniqueNameNumber for which exists is
// false; the extension runs from the first dot of the file-name part. True
// when path now names a free entry. False, path unchanged, when every number
// is taken or a candidate would not fit in 259 bytes.
bool MakeUniqueName(char* path, bool (*exists)(const char* path));

class ReencryptSession : public WorkerThread {
public:
    ReencryptSession() = default;
    // Destroys the cipher (clearing its key schedule). The owner must not
    // destroy a session whose thread is running.
    ~ReencryptSession() override = default;

    // Configuration, before Start only.
    void SetCipher(std::unique_ptr<FileCipher> newCipher) { cipher_ = std::move(newCipher); }
    // Takes the path when it fits in 259 bytes; a longer one empties the
    // stored path (the session then reports that the file cannot be opened)
    // rather than naming a different file by a cut. Null changes nothing.
    void SetEncryptedPath(const char* path);
    void SetNotifyWindow(HWND window) { notifyWindow_ = window; }
    void SetNotifyMessage(UINT message) { notifyMessage_ = message; }
    void SetWaitForTray(bool flag) { waitForTray_ = flag; }
    void SetReadOnly(bool flag) { openReadOnly_ = flag; }
    // The INI file that records the session while it runs (zorv.ini); null
    // or empty, or a path that does not fit in 259 bytes: none, the session
    // runs unrecorded.
    void SetRecordFile(const char* iniPath);

    const char* EncryptedPath() const { return encryptedPath_; }

    // Asks the worker to re-encrypt now, as Signal does, and to show no more
    // message boxes: the Windows session is ending, and a box would hold up
    // the logoff. A failure then keeps the working copy without a word, as
    // it does after a box. Safe from any thread.
    void EndQuietly();

protected:
    // The whole job; -1 at once without a cipher, else 0 after posting the
    // notify message.
    int Run() override;

private:
    bool ChooseWorkingCopyName(char* workingCopy) const;
    // Records the working copy's and the .crp's full paths, stage decrypting.
    void Record(const char* workingCopy);
    // Drops the record once the working copy is gone; one that is left
    // (the re-encryption or the wipe failed) stays for the next start.
    void ForgetUnlessLeft(const char* workingCopy) const;
    bool DecryptWorkingCopy(const char* workingCopy);
    // True when the .crp is never to be written: the session is read-only,
    // the .crp is read-only or its medium is write-protected. The working
    // copy is then marked read-only (in every case but a read-only .crp's,
    // which gives the copy its own attributes) and is destroyed, not
    // re-encrypted, at the end.
    bool KeepsEncryptedFile(const char* workingCopy) const;
    HANDLE OpenWithShell(const char* workingCopy) const;
    void WaitForEditing(HANDLE process) const;
    // Replaces the .crp with the encryption of the working copy, unless the
    // copy is unchanged, and then destroys the copy. A failed replace keeps
    // the copy (message 54) and the .crp as it was.
    void ReencryptWorkingCopy(const char* workingCopy);
    void DestroyWorkingCopy(const char* workingCopy) const;
    void Report(int messageId) const;
    void ReportWithPath(int messageId, const char* path) const;

    std::unique_ptr<FileCipher> cipher_;
    char encryptedPath_[kMaxPath] = {};
    char recordFile_[kMaxPath] = {};
    int recordSlot_ = 0;  // 0: not recorded
    HWND notifyWindow_ = nullptr;
    UINT notifyMessage_ = 0;
    bool waitForTray_ = false;
    bool openReadOnly_ = false;
    std::atomic<bool> quiet_{false};
};

}  // namespace zorv
