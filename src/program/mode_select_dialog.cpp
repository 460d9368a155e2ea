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

}  // namespace zorv
