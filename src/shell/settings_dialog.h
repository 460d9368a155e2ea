// The settings dialog (template 110), shown when the program starts without
// arguments: the .crp association, the Send To shortcut, three options of the
// settings file, and the version box. Only OK changes anything, in this
// order: association, shortcut, options, settings file.
#pragma once

#include <windows.h>

#include "app/dialog_base.h"
#include "app/path_utils.h"
#include "shell/association.h"

namespace zorv {

class SettingsDialog : public DialogBase {
public:
    // The shortcut is Zorv.lnk in the user's Send To folder, fixed here.
    SettingsDialog();
    // The same with the Send To folder given (null or "" when it cannot be
    // determined) and the association written to roots.
    SettingsDialog(const char* sendToFolder, const AssociationRoots& roots);

    // Full path of the shortcut; "" when the Send To folder could not be
    // determined or the path would be too long. The shortcut box is then
    // unticked and disabled, and OK touches no shortcut file.
    const char* ShortcutPath() const { return shortcutPath_; }

    INT_PTR DlgProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void SetShortcutFolder(const char* folder);
    void OnInitDialog();
    void OnOk();
    void OnVersion();
    void ShowSmallIcon();
    bool HasShortcutPath() const { return shortcutPath_[0] != '\0'; }

    HWND associationBox_ = nullptr;
    HWND sendToBox_ = nullptr;
    HWND minimumBox_ = nullptr;
    HWND tempDirBox_ = nullptr;
    HWND rememberBox_ = nullptr;
    char shortcutPath_[kMaxPath] = {};
    AssociationRoots roots_;
};

}  // namespace zorv
