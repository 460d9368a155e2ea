// The dialog framework with the test templates 9100 (small) and 9102
// (larger than any screen).
#include "app/dialog_base.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "app/module_instance.h"

namespace zorv {
namespace {

constexpr int kSmallTemplate = 9100;
constexpr int kSmallLabel = 9101;
constexpr int kHugeTemplate = 9102;

// Records every message that reaches the object and runs a step at
// WM_INITDIALOG.
class RecordingDialog : public DialogBase {
public:
    std::vector<UINT> messages;
    std::function<void(RecordingDialog&)> onInit;

    INT_PTR DlgProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        messages.push_back(message);
        if (message == WM_INITDIALOG && onInit) {
            onInit(*this);
            return TRUE;
        }
        return DialogBase::DlgProc(message, wParam, lParam);
    }
};

TEST(DialogBaseTest, BindsAtInitDialogAndReturnsTheEndResult) {
    RecordingDialog dialog;
    HWND seen = nullptr;
    HWND button = nullptr;
    HWND label = nullptr;
    HWND missing = reinterpret_cast<HWND>(1);
    dialog.onInit = [&](RecordingDialog& d) {
        seen = d.Handle();
        button = d.GetItem(IDOK);
        label = d.GetItem(kSmallLabel);
        missing = d.GetItem(4242);
        d.EndModal(42);
    };
    EXPECT_EQ(nullptr, dialog.Handle());
    EXPECT_EQ(42, dialog.RunModal(ModuleInstance(), kSmallTemplate, nullptr));

    ASSERT_FALSE(dialog.messages.empty());
    // WM_SETFONT and the creation messages come first and reach no object.
    EXPECT_EQ(static_cast<UINT>(WM_INITDIALOG), dialog.messages.front());
    EXPECT_EQ(dialog.messages.end(),
              std::find(dialog.messages.begin(), dialog.messages.end(), WM_SETFONT));
    // Messages of the window's destruction after EndModal still reach it.
    EXPECT_NE(dialog.messages.end(),
              std::find(dialog.messages.begin(), dialog.messages.end(), WM_DESTROY));
    EXPECT_NE(nullptr, seen);
    EXPECT_EQ(seen, dialog.Handle());
    EXPECT_NE(nullptr, button);
    EXPECT_NE(nullptr, label);
    EXPECT_EQ(nullptr, missing);
}

TEST(DialogBaseTest, AMissingTemplateGivesMinusOneWithoutCallingTheObject) {
    RecordingDialog dialog;
    EXPECT_EQ(-1, dialog.RunModal(ModuleInstance(), 9999, nullptr));
    EXPECT_TRUE(dialog.messages.empty());
    EXPECT_EQ(nullptr, dialog.Handle());
}

TEST(DialogBaseTest, StaticDlgProcIgnoresWindowsWithoutAnObject) {
    HWND window =
        CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(0, DialogBase::StaticDlgProc(window, WM_SETFONT, 0, 0));
    EXPECT_EQ(0, DialogBase::StaticDlgProc(window, WM_INITDIALOG, 0, 0));
    DestroyWindow(window);
}

RECT WindowRect(HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    return rect;
}

TEST(DialogBaseTest, CentreOnAWindowAndOnTheDesktop) {
    // An area with an odd size and negative coordinates.
    HWND area = CreateWindowExA(0, "STATIC", "", WS_POPUP, -301, -99, 501, 377, nullptr, nullptr,
                                nullptr, nullptr);
    RECT onArea{};
    RECT onDesktop{};
    RecordingDialog dialog;
    dialog.onInit = [&](RecordingDialog& d) {
        d.CentreOn(area);
        onArea = WindowRect(d.Handle());
        d.CentreOn(nullptr);
        onDesktop = WindowRect(d.Handle());
        d.EndModal(1);
    };
    ASSERT_EQ(1, dialog.RunModal(ModuleInstance(), kSmallTemplate, nullptr));
    const RECT a = WindowRect(area);
    DestroyWindow(area);
    const LONG width = onArea.right - onArea.left;
    const LONG height = onArea.bottom - onArea.top;
    EXPECT_EQ(a.left + (a.right - a.left) / 2 - width / 2, onArea.left);
    EXPECT_EQ(a.top + (a.bottom - a.top) / 2 - height / 2, onArea.top);
    const RECT desk = WindowRect(GetDesktopWindow());
    EXPECT_EQ(desk.left + (desk.right - desk.left) / 2 - width / 2, onDesktop.left);
    EXPECT_EQ(desk.top + (desk.bottom - desk.top) / 2 - height / 2, onDesktop.top);
}

TEST(DialogBaseTest, ADialogLargerThanTheDesktopGetsNegativeCentredCoordinates) {
    RECT placed{};
    RecordingDialog dialog;
    dialog.onInit = [&](RecordingDialog& d) {
        d.CentreOn(nullptr);
        placed = WindowRect(d.Handle());
        d.EndModal(1);
    };
    ASSERT_EQ(1, dialog.RunModal(ModuleInstance(), kHugeTemplate, nullptr));
    const RECT desk = WindowRect(GetDesktopWindow());
    const LONG width = placed.right - placed.left;
    const LONG height = placed.bottom - placed.top;
    ASSERT_GT(width, desk.right - desk.left);
    ASSERT_GT(height, desk.bottom - desk.top);
    EXPECT_LT(placed.left, 0);
    EXPECT_LT(placed.top, 0);
    EXPECT_EQ(desk.left + (desk.right - desk.left) / 2 - width / 2, placed.left);
    EXPECT_EQ(desk.top + (desk.bottom - desk.top) / 2 - height / 2, placed.top);
}

}  // namespace
}  // namespace zorv
