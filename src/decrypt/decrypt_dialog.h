// The decryption dialog on both of its templates: 112 for one file, with the
// re-encrypt choices, and 114 for several items or a folder. It asks for the
// password once, then either decrypts every input beside its .crp file (the
// batch, reported in the progress log) or, for one file with a re-encrypt
// choice, hides itself behind a tray icon and runs an edit session.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <memory>

#include "app/dialog_base.h"
#include "app/file_list.h"
#include "batch/batch_view.h"
#include "crypto/file_cipher.h"
#include "decrypt/reencrypt_session.h"

namespace zorv {

// Posted by the session to the hidden dialog as its last action.
constexpr UINT kSessionDoneMessage = WM_APP + 1;

class DecryptDialog : public DialogBase {
public:
    // files: the paths of the entry's list (borrowed, never changed or freed;
    // they must outlive the dialog); the range may be empty. A single file
    // whose name was refused is never edited: the batch reports it.
    explicit DecryptDialog(const FileRange& files);
    // Waits for a session's thread to end if it has not yet (it has posted
    // its last message by then), destroys the session and with it the
    // cipher, and removes the tray icon, whether or not it was added.
    ~DecryptDialog() override;

    // Modal results: 1 after a batch without failures or a finished session;
    // 2 on Cancel, on closing the review, after a close asked for during a
    // batch (once the file at hand is complete, BatchView::DeferClose), and
    // when the log, the cipher, the session or its thread could not be
    // created.
    INT_PTR DlgProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    INT_PTR OnInitDialog();
    INT_PTR OnCommand(WORD id, WORD notification);
    INT_PTR OnOk();
    INT_PTR OnCancel();
    INT_PTR OnSessionDone();
    INT_PTR OnTrayNotify(WPARAM iconId, LPARAM mouseMessage);
    INT_PTR OnQueryEndSession();
    INT_PTR OnEndSession(bool ending);
    INT_PTR Answer(LRESULT result);
    void CheckInitialMode();
    int ChosenMode() const;
    void RememberMode(int mode) const;
    INT_PTR RunBatch(std::unique_ptr<FileCipher> cipher);

    // The session road.
    INT_PTR StartSession(std::unique_ptr<FileCipher> cipher, int mode, bool readOnly);
    void SetTrayIcon(const char* tip, bool add);
    void AddTrayIconAgain();

    UINT taskbarCreatedMessage_;
    std::unique_ptr<BatchView> batch_;
    HWND passwordEdit_ = nullptr;
    FileRange files_;
    int fileCount_;
    NOTIFYICONDATAA trayData_ = {};
    std::unique_ptr<ReencryptSession> session_;
};

}  // namespace zorv
