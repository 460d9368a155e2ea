// Dialog and message-box views of the end-to-end harness.
#include "support/harness.h"

#include <cstring>

namespace zorv::e2e {
namespace {

constexpr DWORD kPollMs = 20;
// A control that does not answer within this time is taken as a hung program.
constexpr UINT kSendTimeoutMs = 5000;

// Wine's message box puts its icon static at ID 0x440 (stc1), Windows at 20.
constexpr int kMessageBoxIconIds[] = {0x440, 20};
constexpr int kMessageBoxTextId = 0xFFFF;

std::string WindowText(HWND window) {
    if (window == nullptr) {
        return std::string();
    }
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             &length)) {
        return std::string();
    }
    // The length is in characters of the control's own text; a double-byte
    // text can need up to twice as many bytes in ANSI.
    std::vector<char> text(2 * length + 2, '\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                        SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied);
    return std::string(text.data());
}

bool IsIconStatic(HWND control) {
    char className[16] = {};
    GetClassNameA(control, className, sizeof className);
    LONG style = GetWindowLongA(control, GWL_STYLE);
    return _stricmp(className, "Static") == 0 && (style & SS_TYPEMASK) == SS_ICON;
}

}  // namespace

bool DialogView::IsOpen() const {
    return IsWindow(dialog_) && IsWindowVisible(dialog_);
}

std::string DialogView::Caption() const {
    return WindowText(dialog_);
}

HWND DialogView::Control(int id) const {
    return dialog_ == nullptr ? nullptr : GetDlgItem(dialog_, id);
}

bool DialogView::HasControl(int id) const {
    return Control(id) != nullptr;
}

std::vector<int> DialogView::ControlIds() const {
    std::vector<int> ids;
    for (HWND child = GetWindow(dialog_, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        ids.push_back(GetDlgCtrlID(child));
    }
    return ids;
}

std::string DialogView::ClassName(int id) const {
    char className[64] = {};
    HWND control = Control(id);
    if (control != nullptr) {
        GetClassNameA(control, className, sizeof className);
    }
    return className;
}

std::string DialogView::Text(int id) const {
    return WindowText(Control(id));
}

LONG DialogView::Style(int id) const {
    HWND control = Control(id);
    return control == nullptr ? 0 : GetWindowLongA(control, GWL_STYLE);
}

bool DialogView::IsEnabled(int id) const {
    HWND control = Control(id);
    return control != nullptr && IsWindowEnabled(control);
}

bool DialogView::IsVisible(int id) const {
    HWND control = Control(id);
    return control != nullptr && IsWindowVisible(control);
}

bool DialogView::IsChecked(int id) const {
    HWND control = Control(id);
    DWORD_PTR state = 0;
    return control != nullptr &&
           SendMessageTimeoutA(control, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                               &state) &&
           state == BST_CHECKED;
}

bool DialogView::IsDefaultButton(int id) const {
    return (Style(id) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
}

bool DialogView::SetEditText(int id, const std::string& text) const {
    HWND control = Control(id);
    DWORD_PTR result = 0;
    return control != nullptr &&
           SendMessageTimeoutA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                               SMTO_ABORTIFHUNG, kSendTimeoutMs, &result) &&
           result == TRUE;
}

bool DialogView::SetEditText(int id, const std::wstring& text) const {
    HWND control = Control(id);
    DWORD_PTR result = 0;
    return control != nullptr &&
           SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                               SMTO_ABORTIFHUNG, kSendTimeoutMs, &result) &&
           result == TRUE;
}

bool DialogView::TypeChars(int id, const std::string& text, bool replace) const {
    HWND control = Control(id);
    if (control == nullptr) {
        return false;
    }
    DWORD_PTR result = 0;
    if (replace && !SendMessageTimeoutA(control, EM_SETSEL, 0, -1, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                                        &result)) {
        return false;
    }
    for (char c : text) {
        // Sent, not posted: a sent message is handled before the posted ones,
        // so posting would let a later read overtake the typing.
        if (!SendMessageTimeoutA(control, WM_CHAR, static_cast<unsigned char>(c), 1,
                                 SMTO_ABORTIFHUNG, kSendTimeoutMs, &result)) {
            return false;
        }
    }
    return true;
}

bool DialogView::Click(int id) const {
    HWND control = Control(id);
    if (control == nullptr || !IsWindowEnabled(control) || !IsWindowVisible(control)) {
        return false;
    }
    return PostMessageA(control, BM_CLICK, 0, 0) != 0;
}

void DialogView::Close() const {
    PostMessageA(dialog_, WM_CLOSE, 0, 0);
}

bool DialogView::PressKey(UINT virtualKey) const {
    // Key-up: repeat count 1, the key was down (bit 30), released (bit 31).
    const auto keyUp = static_cast<LPARAM>(static_cast<LONG>(0xC0000001u));
    return PostMessageA(dialog_, WM_KEYDOWN, virtualKey, 1) != 0 &&
           PostMessageA(dialog_, WM_KEYUP, virtualKey, keyUp) != 0;
}

bool DialogView::WaitUntilClosed(DWORD timeoutMs) const {
    DWORD start = GetTickCount();
    while (IsOpen()) {
        if (GetTickCount() - start >= timeoutMs) {
            return false;
        }
        Sleep(kPollMs);
    }
    return true;
}

bool DialogQuery::Matches(const DialogView& dialog) const {
    if (!caption.empty() && dialog.Caption() != caption) {
        return false;
    }
    for (int id : controls) {
        if (!dialog.HasControl(id)) {
            return false;
        }
    }
    for (int id : absent) {
        if (dialog.HasControl(id)) {
            return false;
        }
    }
    return true;
}

// --- MessageBoxView ---------------------------------------------------------

bool MessageBoxView::Matches(HWND dialog) {
    if (GetDlgItem(dialog, kMessageBoxTextId) == nullptr) {
        return false;
    }
    for (int id : kMessageBoxIconIds) {
        HWND icon = GetDlgItem(dialog, id);
        if (icon != nullptr && IsIconStatic(icon)) {
            return true;
        }
    }
    return false;
}

std::string MessageBoxView::Message() const {
    return Text(kMessageBoxTextId);
}

std::vector<int> MessageBoxView::Buttons() const {
    std::vector<int> ids;
    for (int id : ControlIds()) {
        if (ClassName(id) == "Button" && IsVisible(id)) {
            ids.push_back(id);
        }
    }
    return ids;
}

const char* IconKindName(IconKind kind) {
    switch (kind) {
        case IconKind::kNone:
            return "none";
        case IconKind::kError:
            return "error";
        case IconKind::kWarning:
            return "warning";
        case IconKind::kInformation:
            return "information";
        case IconKind::kQuestion:
            return "question";
        case IconKind::kUnknown:
            break;
    }
    return "unknown";
}

}  // namespace zorv::e2e
