#include "shell/settings_dialog.h"

#include <shlobj.h>

#include <cstring>

#include "app/file_system.h"
#include "app/messages.h"
#include "app/module_instance.h"
#include "app/resource_ids.h"
#include "app/settings.h"
#include "shell/shell_folders.h"

namespace zorv {
namespace {

constexpr char kShortcutName[] = "Zorv.lnk";
// The password length that box 1010 stands for; unticked means no minimum.
constexpr int kStrictMinimumChars = 8;
constexpr int kNoMinimumChars = 1;

bool IsTicked(HWND box) {
    return SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetTicked(HWND box, bool ticked) {
    SendMessageA(box, BM_SETCHECK, ticked ? BST_CHECKED : BST_UNCHECKED, 0);
}

}  // namespace

SettingsDialog::SettingsDialog() : roots_(DefaultAssociationRoots()) {
    char folder[kMaxPath] = {};
    if (GetSpecialFolderPath(CSIDL_SENDTO, folder)) {
        SetShortcutFolder(folder);
    }
}

SettingsDialog::SettingsDialog(const char* sendToFolder, const AssociationRoots& roots)
    : roots_(roots) {
    SetShortcutFolder(sendToFolder);
}

void SettingsDialog::SetShortcutFolder(const char* folder) {
    // Without a folder the shortcut would be a bare name, relative to the
    // current folder; the path then stays empty and is never used.
    if (folder == nullptr || folder[0] == '\0' || std::strlen(folder) >= kMaxPath) {
        return;
    }
    std::strcpy(shortcutPath_, folder);
    if (!JoinPath(shortcutPath_, kShortcutName)) {
        shortcutPath_[0] = '\0';
    }
}

INT_PTR SettingsDialog::DlgProc(UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        OnInitDialog();
        return TRUE;
    }
    if (message != WM_COMMAND) {
        return FALSE;
    }
    switch (LOWORD(wParam)) {
        case IDOK:
            OnOk();
            return TRUE;
        case IDCANCEL:
            EndModal(IDCANCEL);
            return TRUE;
        case IDC_VERSION:
            OnVersion();
            return TRUE;
        default:
            return FALSE;
    }
}

void SettingsDialog::OnInitDialog() {
    CentreOn(nullptr);
    ShowSmallIcon();
    associationBox_ = GetItem(IDC_ASSOCIATION);
    sendToBox_ = GetItem(IDC_SEND_TO);
    minimumBox_ = GetItem(IDC_MINIMUM_CHARS);
    tempDirBox_ = GetItem(IDC_USE_TEMP_DIR);
    rememberBox_ = GetItem(IDC_REMEMBER_LAST);

    SetTicked(associationBox_, IsAssociated(roots_));
    SetTicked(sendToBox_, HasShortcutPath() && PathExists(shortcutPath_));
    if (!HasShortcutPath()) {
        EnableWindow(sendToBox_, FALSE);
    }
    SetTicked(minimumBox_, g_settings.minimumChars == kStrictMinimumChars);
    SetTicked(tempDirBox_, g_settings.useTempDir);
    SetTicked(rememberBox_, g_settings.rememberLast);
}

void SettingsDialog::ShowSmallIcon() {
    // A shared icon: the system owns it, so nothing is destroyed afterwards.
    HANDLE icon =
        LoadImageA(ModuleInstance(), MAKEINTRESOURCEA(IDI_PROGRAM), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED);
    if (icon != nullptr) {
        SendMessageA(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    }
}

void SettingsDialog::OnOk() {
    // Written or removed every time, whether or not the box changed; the
    // next opening shows what the registry really holds.
    SetAssociation(IsTicked(associationBox_), roots_);

    // The shortcut is always made afresh: delete, then create when ticked.
    if (HasShortcutPath()) {
        if (PathExists(shortcutPath_)) {
            DeleteFileA(shortcutPath_);
        }
        if (IsTicked(sendToBox_)) {
            CreateSendToShortcut(shortcutPath_);
        }
    }

    g_settings.minimumChars = IsTicked(minimumBox_) ? kStrictMinimumChars : kNoMinimumChars;
    g_settings.useTempDir = IsTicked(tempDirBox_);
    g_settings.rememberLast = IsTicked(rememberBox_);
    SaveSettings();
    EndModal(IDOK);
}

void SettingsDialog::OnVersion() {
    MessageBoxA(Handle(), LoadText(IDS_VERSION), kMessageCaption, MB_OK | MB_ICONINFORMATION);
}

}  // namespace zorv
