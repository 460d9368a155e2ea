// The notification-area (tray) icon shown while an edit session runs, and its
// context menu. The icon record belongs to the decryption dialog; these are
// the shell actions on it.
#pragma once

#include <windows.h>
#include <shellapi.h>

namespace zorv {

// The icon's ID within its window and the callback message it sends there.
constexpr UINT kTrayIconId = 1;
constexpr UINT kTrayNotifyMessage = WM_APP + 2;

// Bytes of the record the shell is given: the original layout with its
// 64-byte tip, whose size is the platform's own (88 bytes on 32-bit Windows).
constexpr DWORD kTrayRecordSize = NOTIFYICONDATAA_V1_SIZE;

// Writes the tip (a buffer of 64 bytes) for the first of count paths: its
// file-name part, cut to at most 63 bytes without splitting a double-byte
// character. "Zorv" when there is no path (an empty list); nothing beyond
// the list is read.
void MakeTrayTip(const char* const* files, int count, char* tip);

// Fills data (zeroed first) for icon kTrayIconId of window: record size
// kTrayRecordSize, callback message, icon and tip (copied as MakeTrayTip
// made it, cut to 63 bytes).
void FillTrayIconData(NOTIFYICONDATAA& data, HWND window, HICON icon, const char* tip);

// The program's icon at the small-icon size, shared (never destroyed).
// Null when the resource is missing.
HICON LoadTrayIcon();

// Shows the tray menu (menu resource 114) at the cursor, owned by window,
// with its one item in bold; a chosen item reaches window as command
// 40001. Returns when the menu closes; false when the menu could not be
// loaded.
bool ShowTrayMenu(HWND window);

}  // namespace zorv
