#include "program/front_ends.h"

#include "app/module_instance.h"
#include "app/resource_ids.h"
#include "decrypt/decrypt_dialog.h"
#include "encrypt/encrypt_dialog.h"
#include "program/mode_select_dialog.h"
#include "shell/settings_dialog.h"

namespace zorv {

void RunSettingsFrontEnd() {
    SettingsDialog dialog;
    dialog.RunModal(ModuleInstance(), IDD_SETTINGS, nullptr);
}

void RunEncryptFrontEnd(const FileRange& files) {
    EncryptDialog dialog(files);
    dialog.RunModal(ModuleInstance(), IDD_ENCRYPT, nullptr);
}

void RunDecryptFrontEnd(const FileRange& files, int templateId) {
    DecryptDialog dialog(files);
    dialog.RunModal(ModuleInstance(), templateId, nullptr);
}

int RunModeSelect() {
    ModeSelectDialog dialog;
    return dialog.RunModal(ModuleInstance(), IDD_MODE_SELECT, nullptr);
}

}  // namespace zorv
