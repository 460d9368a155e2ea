#include "app/placeholder_dialog.h"

namespace zorv {

INT_PTR PlaceholderDialog::DlgProc(UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        CentreOn(nullptr);
        return TRUE;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        EndModal(0);
        return TRUE;
    }
    return FALSE;
}

}  // namespace zorv
