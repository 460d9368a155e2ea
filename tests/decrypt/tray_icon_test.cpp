// The tray icon's record and tip, and its menu as the shell user meets it.
#include "decrypt/tray_icon.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "app/resource_ids.h"

namespace zorv {
namespace {

std::string Tip(const char* const* files, int count) {
    char tip[64];
    std::memset(tip, '#', sizeof tip);
    MakeTrayTip(files, count, tip);
    return tip;
}

TEST(TrayIcon, TipIsTheFileNameCutAt63Bytes) {
    const std::string long100 = "C:\\data\\" + std::string(100, 'q') + ".xls.crp";
    // 62 ASCII bytes and then a double-byte character: the character would
    // end at byte 64, so the tip stops before it rather than halve it.
    const std::string split = "C:\\d\\" + std::string(62, 'a') + "\x95\x5c" + "z.crp";
    const char* quarterly[] = {"C:\\data\\quarterly report.xls.crp"};
    const char* longList[] = {long100.c_str()};
    const char* splitList[] = {split.c_str()};
    const char* bare[] = {"memo.txt.crp"};
    EXPECT_EQ(Tip(quarterly, 1), "quarterly report.xls.crp");
    EXPECT_EQ(Tip(longList, 1), std::string(63, 'q'));
    EXPECT_EQ(Tip(splitList, 1), std::string(62, 'a'));
    EXPECT_EQ(Tip(bare, 1), "memo.txt.crp");
    // An empty list has no first path: the program's name.
    EXPECT_EQ(Tip(nullptr, 0), "Zorv");
    EXPECT_EQ(Tip(quarterly, 0), "Zorv");
}

TEST(TrayIcon, RecordHasTheOriginalLayout) {
    NOTIFYICONDATAA data;
    std::memset(&data, 0x5A, sizeof data);
    const std::string tip(70, 't');
    HWND window = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1234));
    HICON icon = reinterpret_cast<HICON>(static_cast<INT_PTR>(0x5678));
    FillTrayIconData(data, window, icon, tip.c_str());
    if (sizeof(void*) == 4) {
        EXPECT_EQ(data.cbSize, 88u);
    }
    EXPECT_EQ(data.cbSize, static_cast<DWORD>(offsetof(NOTIFYICONDATAA, szTip) + 64));
    EXPECT_EQ(data.hWnd, window);
    EXPECT_EQ(data.uID, 1u);
    EXPECT_EQ(data.uFlags, 7u);
    EXPECT_EQ(data.uCallbackMessage, 0x8002u);
    EXPECT_EQ(data.hIcon, icon);
    EXPECT_EQ(std::string(data.szTip), std::string(63, 't'));
    EXPECT_EQ(data.dwState, 0u);  // the rest of the record is cleared
}

TEST(TrayIcon, ProgramIconLoads) {
    EXPECT_NE(LoadTrayIcon(), nullptr);
}

// What the helper thread saw of the open menu.
struct MenuSeen {
    std::atomic<bool> found{false};
    UINT defaultItem = 0;
    std::string text;
};

// Waits for the tray menu's window, reads its menu, then either chooses the
// item (Down, Enter) or dismisses the menu (Escape).
void WorkMenu(DWORD threadId, bool choose, MenuSeen* seen) {
    for (int i = 0; i < 200 && !seen->found; ++i) {
        HWND menuWindow = FindWindowA("#32768", nullptr);
        auto menu = menuWindow != nullptr && IsWindowVisible(menuWindow)
                        ? reinterpret_cast<HMENU>(SendMessageA(menuWindow, MN_GETHMENU, 0, 0))
                        : nullptr;
        // The window may show before its menu is attached.
        if (menu != nullptr && GetMenuItemCount(menu) > 0) {
            seen->defaultItem = GetMenuDefaultItem(menu, FALSE, 0);
            char text[64] = {};
            GetMenuStringA(menu, IDM_REENCRYPT, text, sizeof text, MF_BYCOMMAND);
            seen->text = text;
            seen->found = true;
            break;
        }
        Sleep(25);
    }
    Sleep(100);  // let the menu's loop settle before the keys arrive
    const WPARAM keys[] = {VK_DOWN, VK_RETURN};
    if (choose) {
        for (WPARAM key : keys) {
            PostThreadMessageA(threadId, WM_KEYDOWN, key, 0);
        }
    } else {
        PostThreadMessageA(threadId, WM_KEYDOWN, VK_ESCAPE, 0);
    }
}

// Collects the commands that reach the window after the menu has closed.
int CommandsQueued(HWND window) {
    int reencrypt = 0;
    MSG message;
    while (PeekMessageA(&message, window, 0, 0, PM_REMOVE)) {
        if (message.message == WM_COMMAND && LOWORD(message.wParam) == IDM_REENCRYPT) {
            ++reencrypt;
        }
    }
    return reencrypt;
}

TEST(TrayIcon, MenuShowsTheBoldItemAndSendsItsCommand) {
    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    // TrackPopupMenu posts the chosen command to the owner; the static
    // control ignores it, so it waits in the queue to be counted.
    for (bool choose : {true, false}) {
        MenuSeen seen;
        std::thread helper(WorkMenu, GetCurrentThreadId(), choose, &seen);
        EXPECT_TRUE(ShowTrayMenu(window));
        helper.join();
        ASSERT_TRUE(seen.found);
        EXPECT_EQ(seen.defaultItem, static_cast<UINT>(IDM_REENCRYPT));
        EXPECT_EQ(seen.text, "\x8d\xc4\x88\xc3\x8d\x86\x89\xbb(&N)");  // 再暗号化(&N)
        EXPECT_EQ(CommandsQueued(window), choose ? 1 : 0) << (choose ? "chosen" : "dismissed");
    }
    DestroyWindow(window);
}

}  // namespace
}  // namespace zorv
