// The session road of the decryption dialog: hidden behind the tray icon
// while a ReencryptSession edits the one file on its worker thread.
#include <new>
#include <utility>

#include "app/messages.h"
#include "app/resource_ids.h"
#include "decrypt/decrypt_dialog.h"
#include "decrypt/tray_icon.h"

namespace zorv {

INT_PTR DecryptDialog::StartSession(std::unique_ptr<FileCipher> cipher, int mode, bool readOnly) {
    ShowWindow(Handle(), SW_HIDE);
    char tip[64] = {};
    MakeTrayTip(files, fileCount, tip);
    SetTrayIcon(tip, true);
    session.reset(new (std::nothrow) ReencryptSession);
    if (!session) {
        ShowMessage(Handle(), IDS_OUT_OF_MEMORY, MB_ICONERROR);
        EndModal(IDCANCEL);
        return TRUE;  // the cipher goes with this frame
    }
    session->SetCipher(std::move(cipher));
    session->SetEncryptedPath(files[0]);
    session->SetNotifyWindow(Handle());
    session->SetNotifyMessage(kSessionDoneMessage);
    session->SetWaitForTray(mode == kModeTray);
    session->SetReadOnly(readOnly);
    if (!session->Start()) {
        ShowMessage(Handle(), IDS_OUT_OF_MEMORY, MB_ICONERROR);
        session.reset();
        EndModal(IDCANCEL);
    }
    return TRUE;
}

void DecryptDialog::SetTrayIcon(const char* tip, bool add) {
    if (!add) {
        Shell_NotifyIconA(NIM_DELETE, &trayData);
        return;
    }
    FillTrayIconData(trayData, Handle(), LoadTrayIcon(), tip);
    Shell_NotifyIconA(NIM_ADD, &trayData);
}

void DecryptDialog::AddTrayIconAgain() {
    char tip[64] = {};
    MakeTrayTip(files, fileCount, tip);
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

}  // namespace zorv
