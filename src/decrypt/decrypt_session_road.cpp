// The session road of the decryption dialog: hidden behind the tray icon
// while a ReencryptSession edits the one file on its worker thread.
#include <new>
#include <utility>

#include "app/messages.h"
#include "app/module_instance.h"
#include "app/resource_ids.h"
#include "app/settings.h"
#include "batch/batch_steps.h"
#include "decrypt/decrypt_dialog.h"
#include "decrypt/tray_icon.h"

namespace zorv {
namespace {

// How often the wait for the worker at the end of the Windows session lets
// messages that other threads send to the dialog through.
constexpr DWORD kEndWaitStepMs = 50;

}  // namespace

INT_PTR DecryptDialog::StartSession(std::unique_ptr<FileCipher> cipher, int mode, bool readOnly) {
    // No batch runs here to finish what a killed run left beside the file.
    FinishLeftoversBesideShown(files_.paths[0]);
    ShowWindow(Handle(), SW_HIDE);
    char tip[64] = {};
    MakeTrayTip(files_.paths, fileCount_, tip);
    SetTrayIcon(tip, true);
    session_.reset(new (std::nothrow) ReencryptSession);
    if (!session_) {
        ShowMessage(Handle(), IDS_OUT_OF_MEMORY, MB_ICONERROR);
        EndModal(IDCANCEL);
        return TRUE;  // the cipher goes with this frame
    }
    session_->SetCipher(std::move(cipher));
    session_->SetEncryptedPath(files_.paths[0]);
    session_->SetNotifyWindow(Handle());
    session_->SetNotifyMessage(kSessionDoneMessage);
    session_->SetWaitForTray(mode == kLastModeSemiAuto);
    session_->SetReadOnly(readOnly);
    char recordFile[kMaxPath] = {};
    if (GetSettingsPath(recordFile)) {
        session_->SetRecordFile(recordFile);
    }
    if (!session_->Start()) {
        ShowMessage(Handle(), IDS_OUT_OF_MEMORY, MB_ICONERROR);
        session_.reset();
        EndModal(IDCANCEL);
    }
    return TRUE;
}

void DecryptDialog::SetTrayIcon(const char* tip, bool add) {
    if (!add) {
        Shell_NotifyIconA(NIM_DELETE, &trayData_);
        return;
    }
    FillTrayIconData(trayData_, Handle(), LoadTrayIcon(), tip);
    Shell_NotifyIconA(NIM_ADD, &trayData_);
}

void DecryptDialog::AddTrayIconAgain() {
    char tip[64] = {};
    MakeTrayTip(files_.paths, fileCount_, tip);
    SetTrayIcon(tip, true);
}

INT_PTR DecryptDialog::OnTrayNotify(WPARAM iconId, LPARAM mouseMessage) {
    if (iconId != kTrayIconId) {
        return TRUE;
    }
    switch (LOWORD(mouseMessage)) {
        case WM_LBUTTONDBLCLK:
            // Exactly as if the menu item had been chosen.
            PostMessageA(Handle(), WM_COMMAND, MAKEWPARAM(IDM_REENCRYPT, 0), 0);
            break;
        case WM_RBUTTONDOWN:
            ShowTrayMenu(Handle());
            break;
        default:
            break;
    }
    return TRUE;
}

// Windows asks whether it may end the session (a logoff or a shutdown). The
// answer is yes: the editor may still ask its user to save, and the end may
// yet be cancelled, so nothing is re-encrypted here; the reason only tells
// the user why Zorv will take a moment once the end is confirmed.
INT_PTR DecryptDialog::OnQueryEndSession() {
    if (!session_ || !session_->IsRunning()) {
        return FALSE;  // the default answer, yes
    }
    wchar_t reason[256] = {};
    if (LoadStringW(ModuleInstance(), IDS_SESSION_ENDING, reason, 256) > 0) {
        ShutdownBlockReasonCreate(Handle(), reason);
    }
    return Answer(TRUE);
}

// The end is confirmed or cancelled. Once this returns after a confirmed
// end, Windows may end the process at any moment, so the working copy is
// re-encrypted and wiped before that: the worker is asked to do it now and
// waited for. It shows no message box meanwhile.
INT_PTR DecryptDialog::OnEndSession(bool ending) {
    if (!session_) {
        return FALSE;
    }
    if (ending && session_->IsRunning()) {
        session_->EndQuietly();
        // A worker that still sends the dialog a message (a box it was
        // already showing, say) must get its answer, or both would wait.
        while (!session_->WaitForEnd(kEndWaitStepMs)) {
            MSG message;
            PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
    }
    ShutdownBlockReasonDestroy(Handle());
    return Answer(0);
}

INT_PTR DecryptDialog::Answer(LRESULT result) {
    SetWindowLongPtrA(Handle(), DWLP_MSGRESULT, result);
    return TRUE;
}

}  // namespace zorv
