// The mode-select dialog (template 113): asks whether to encrypt or decrypt
// when the command line does not decide.
#pragma once

#include "app/dialog_base.h"

namespace zorv {

// Run with RunModal(instance, IDD_MODE_SELECT, nullptr); returns 0 (Cancel,
// Escape or the close box), 1 (Encrypt) or 2 (Decrypt). Enter presses the
// button that has the focus.
class ModeSelectDialog : public DialogBase {
public:
    ModeSelectDialog() = default;
    ~ModeSelectDialog() override = default;

    INT_PTR DlgProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    INT_PTR OnCommand(int id);
    // Enter: presses the focused button.
    INT_PTR OnEnter();
};

}  // namespace zorv
