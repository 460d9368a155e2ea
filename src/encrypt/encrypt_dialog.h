// The encryption dialog (template 111): asks for the password twice, then
// encrypts every input file into a .crp file beside it, walking folders, and
// reports each outcome in its progress log.
#pragma once

#include <windows.h>

#include <memory>

#include "app/dialog_base.h"
#include "crypto/result_code.h"
#include "encrypt/progress_log.h"

namespace zorv {

class FileCipher;

class EncryptDialog : public DialogBase {
public:
    // files: the inputs (fileCount paths), borrowed from the entry's
    // FileList, which outlives the dialog; never changed nor freed here.
    EncryptDialog(const char* const* files, int fileCount);
    ~EncryptDialog() override;

    // Results of the modal run: 1 after a batch without failures; 2 after
    // Cancel, after closing the review of a batch with failures, and when
    // the log or the cipher could not be created (message 52).
    INT_PTR DlgProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    class FolderEncryption;

    INT_PTR OnInitDialog();
    INT_PTR OnCommand(int id, int notification);
    INT_PTR OnPasswordChange(int notification);
    INT_PTR OnOk();
    void ClearPasswordEdits();
    void ShowProgressView();
    void RunBatch(FileCipher& cipher);
    void EncryptInput(FileCipher& cipher, const char* path);
    void EncryptOne(FileCipher& cipher, const char* source);
    void EncryptFolder(FileCipher& cipher, const char* folder);
    void FinishSource(const char* source);
    void EnterReview();
    // Logs path with the text of code and counts the failure.
    void LogFailure(const char* path, ResultCode code);

    std::unique_ptr<ProgressLog> log;
    HWND passwordEdit = nullptr;
    HWND confirmEdit = nullptr;
    const char* const* files;
    int fileCount;
    int failureCount = 0;
    bool deleteSource = false;
};

}  // namespace zorv
