// The encryption dialog (template 111): asks for the password twice, then
// encrypts every input file into a .crp file beside it, walking folders, and
// reports each outcome in its progress log.
#pragma once

#include <windows.h>

#include <memory>

#include "app/dialog_base.h"
#include "app/file_list.h"
#include "batch/batch_view.h"

namespace zorv {

class FileCipher;

class EncryptDialog : public DialogBase {
public:
    // files: the inputs, borrowed from the entry's FileList, which outlives
    // the dialog; never changed nor freed here.
    explicit EncryptDialog(const FileRange& files);
    ~EncryptDialog() override;

    // Results of the modal run: 1 after a batch without failures; 2 after
    // Cancel, after closing the review of a batch with failures, and when
    // the log or the cipher could not be created (message 52).
    // A close asked for while the batch runs waits for the file at hand
    // (BatchView::DeferClose), then ends with 2.
    INT_PTR DlgProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    INT_PTR OnInitDialog();
    INT_PTR OnCommand(int id, int notification);
    INT_PTR OnPasswordChange(int notification);
    INT_PTR OnOk();
    void ClearPasswordEdits();
    void RunBatch(std::unique_ptr<FileCipher> cipher);

    std::unique_ptr<BatchView> batch_;
    HWND passwordEdit_ = nullptr;
    HWND confirmEdit_ = nullptr;
    FileRange files_;
    bool deleteSource_ = false;
};

}  // namespace zorv
