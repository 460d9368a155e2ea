#include "app/dialog_base.h"

namespace zorv {

int DialogBase::RunModal(HINSTANCE instance, int templateId, HWND owner) {
    const INT_PTR result = DialogBoxParamA(instance, MAKEINTRESOURCEA(templateId & 0xFFFF), owner,
                                           StaticDlgProc, reinterpret_cast<LPARAM>(this));
    return static_cast<int>(result);
}

HWND DialogBase::GetItem(int id) const {
    return GetDlgItem(handle_, id);
}

void DialogBase::EndModal(int result) {
    EndDialog(handle_, result);
}

void DialogBase::CentreOn(HWND window) {
    RECT dialog;
    RECT area;
    if (!GetWindowRect(handle_, &dialog) ||
        !GetWindowRect(window != nullptr ? window : GetDesktopWindow(), &area)) {
        return;
    }
    // Signed division rounding toward zero: a dialog larger than the area
    // gets negative coordinates and stays centred.
    const LONG x = area.left + (area.right - area.left) / 2 - (dialog.right - dialog.left) / 2;
    const LONG y = area.top + (area.bottom - area.top) / 2 - (dialog.bottom - dialog.top) / 2;
    SetWindowPos(handle_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK DialogBase::StaticDlgProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
    auto* dialog = reinterpret_cast<DialogBase*>(GetWindowLongPtrA(window, DWLP_USER));
    if (message == WM_INITDIALOG) {
        // The creation parameter is the object that RunModal passed.
        dialog = reinterpret_cast<DialogBase*>(lParam);
        if (dialog == nullptr) {
            return 0;
        }
        dialog->handle_ = window;
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        SetPropA(window, kDialogMark, reinterpret_cast<HANDLE>(1));
    } else if (message == WM_NCDESTROY) {
        RemovePropA(window, kDialogMark);
    } else if (dialog == nullptr) {
        // Messages of the dialog's construction (WM_SETFONT, WM_NCCREATE,
        // ...) come before the object is bound.
        return 0;
    }
    return dialog->DlgProc(message, wParam, lParam);
}

INT_PTR DialogBase::DlgProc(UINT, WPARAM, LPARAM) {
    return 0;
}

}  // namespace zorv
