// Base of every dialog: a modal run from a template with the object as the
// creation parameter, and every message from WM_INITDIALOG on routed to the
// object's virtual DlgProc. The window handle is a non-owning value; the
// platform destroys the window when the modal loop ends.
#pragma once

#include <windows.h>

namespace zorv {

// The window property every DialogBase dialog carries while it exists, so
// that a second start of the program can find the running one's dialog.
constexpr char kDialogMark[] = "Zorv.Dialog";

class DialogBase {
public:
    DialogBase() = default;
    virtual ~DialogBase() = default;
    DialogBase(const DialogBase&) = delete;
    DialogBase& operator=(const DialogBase&) = delete;

    // Runs the dialog of template templateId (low 16 bits, an integer
    // resource ID) from instance, owned by owner (may be null). Returns the
    // value given to EndModal, or -1 when the template cannot be loaded or
    // the window cannot be created; DlgProc is then never called. The object
    // must outlive the call; it runs one modal loop at a time.
    int RunModal(HINSTANCE instance, int templateId, HWND owner);

    // The dialog's window; meaningful from WM_INITDIALOG until RunModal
    // returns, null before.
    HWND Handle() const { return handle_; }

    // The control id of the dialog; null when the template has no such
    // control (callers rely on that when one class serves two templates).
    HWND GetItem(int id) const;

    // Ends the modal loop; RunModal returns result.
    void EndModal(int result);

    // Centres the dialog over window's rectangle, or over the desktop when
    // window is null, keeping its size, z-order and activation. The
    // coordinates may be negative when the dialog is larger than the area.
    void CentreOn(HWND window);

    // The dialog procedure registered for every dialog. Binds the object at
    // WM_INITDIALOG (window handle into the object, object into DWLP_USER);
    // before that every message gets 0 and reaches no object.
    static INT_PTR CALLBACK StaticDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // The object's dialog procedure: non-zero when the message was handled,
    // 0 for the platform's default handling. For WM_INITDIALOG non-zero lets
    // the platform set the focus. The base handles nothing.
    virtual INT_PTR DlgProc(UINT message, WPARAM wParam, LPARAM lParam);

private:
    HWND handle_ = nullptr;
};

}  // namespace zorv
