#include "program/mode_select_dialog.h"

#include "app/resource_ids.h"

namespace zorv {

INT_PTR ModeSelectDialog::DlgProc(UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        CentreOn(nullptr);
        return TRUE;  // the platform sets the default focus
    }
    if (message == WM_COMMAND) {
        return OnCommand(LOWORD(wParam));
    }
    return FALSE;
}

INT_PTR ModeSelectDialog::OnCommand(int id) {
    switch (id) {
        case IDOK:
            return OnEnter();
        case IDCANCEL:
            EndModal(0);
            return TRUE;
        case IDC_MODE_ENCRYPT:
            EndModal(1);
            return TRUE;
        case IDC_MODE_DECRYPT:
            EndModal(2);
            return TRUE;
        default:
            return FALSE;
    }
}

INT_PTR ModeSelectDialog::OnEnter() {
    // No button here has ID 1, so Enter reaches the dialog as command 1
    // (the default ID) instead of the focused button, which the dialog
    // manager draws as the default all the same. The user means that button.
    HWND focus = GetFocus();
    if (focus == nullptr || !IsChild(Handle(), focus)) {
        return FALSE;
    }
    const int id = GetDlgCtrlID(focus);
    return id != IDOK ? OnCommand(id) : FALSE;
}

}  // namespace zorv
