#include "decrypt/tray_icon.h"

#include <cstring>

#include "app/dbcs.h"
#include "app/messages.h"
#include "app/module_instance.h"
#include "app/path_utils.h"
#include "app/resource_ids.h"
#include "app/win32_handles.h"

namespace zorv {
namespace {

constexpr std::size_t kTipSize = sizeof(NOTIFYICONDATAA{}.szTip);
static_assert(kTipSize == 128 || kTipSize == 64, "unexpected tip field");
constexpr std::size_t kTipLimit = 63;  // the original record's tip, less its terminator

// Copies at most kTipLimit bytes of text into tip, stopping before a
// double-byte character that would be cut in two.
void CopyTip(const char* text, char* tip) {
    std::size_t length = 0;
    for (const char* p = text; *p != '\0';) {
        const char* next = NextCharacter(p);
        const auto end = static_cast<std::size_t>(next - text);
        if (end > kTipLimit) {
            break;
        }
        length = end;
        p = next;
    }
    std::memcpy(tip, text, length);
    tip[length] = '\0';
}

}  // namespace

void MakeTrayTip(const char* const* files, int count, char* tip) {
    if (files == nullptr || count < 1 || files[0] == nullptr) {
        CopyTip(kMessageCaption, tip);
        return;
    }
    CopyTip(GetFileNamePart(files[0]), tip);
}

void FillTrayIconData(NOTIFYICONDATAA& data, HWND window, HICON icon, const char* tip) {
    data = NOTIFYICONDATAA{};
    data.cbSize = kTrayRecordSize;
    data.hWnd = window;
    data.uID = kTrayIconId;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kTrayNotifyMessage;
    data.hIcon = icon;
    CopyTip(tip, data.szTip);
}

HICON LoadTrayIcon() {
    return static_cast<HICON>(LoadImageA(ModuleInstance(), MAKEINTRESOURCEA(IDI_PROGRAM),
                                         IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                         GetSystemMetrics(SM_CYSMICON), LR_SHARED));
}

bool ShowTrayMenu(HWND window) {
    ScopedMenu menu(LoadMenuA(ModuleInstance(), MAKEINTRESOURCEA(IDM_TRAY)));
    if (menu.Get() == nullptr) {
        return false;
    }
    HMENU popup = GetSubMenu(menu.Get(), 0);
    if (popup == nullptr) {
        return false;
    }
    SetMenuDefaultItem(popup, IDM_REENCRYPT, FALSE);
    POINT cursor = {};
    GetCursorPos(&cursor);
    // The menu only closes when the user clicks elsewhere if its owner is the
    // foreground window, hidden or not; the WM_NULL afterwards makes the
    // owner process its queue so that a second click opens the menu again.
    SetForegroundWindow(window);
    TrackPopupMenu(popup, 0, cursor.x, cursor.y, 0, window, nullptr);
    PostMessageA(window, WM_NULL, 0, 0);
    return true;
}

}  // namespace zorv
