// Stands in for a front-end dialog whose class has not landed yet: shows the
// template, centred, and ends only on Cancel (command 2, also Escape and the
// close box). Removed once the settings, encryption and decryption dialogs
// are all in place.
#pragma once

#include "app/dialog_base.h"

namespace zorv {

class PlaceholderDialog : public DialogBase {
public:
    PlaceholderDialog() = default;
    ~PlaceholderDialog() override = default;

    INT_PTR DlgProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};

}  // namespace zorv
