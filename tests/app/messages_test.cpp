// The string table through LoadText and ShowMessage, under Wine with code
// page 932. The strings 9000-9002 come from the test's own resources.
#include "app/messages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "app/message_texts.h"
#include "crypto/result_code.h"
#include "support/cp932.h"
#include "support/win32_test_support.h"

namespace zorv {
namespace {

constexpr int kLongAscii = 9000;          // 600 x
constexpr int kLongEndingInTable = 9001;  // 509 x, U+8868 (0x95 0x5C), yy
constexpr int kLongCutInTable = 9002;     // 510 x, U+8868

TEST(LoadTextTest, EveryEntryMatchesThePortableTable) {
    for (int id = 0; id < 200; ++id) {
        EXPECT_EQ(test::Cp932(MessageTextUtf8(id)), LoadText(id)) << id;
    }
    for (int id : {1,  10, 30, 31, 32, 50, 51, 52, 53, 54, 55, 56, 70, 71,
                   72, 73, 74, 75, 76, 77, 78, 79, 80, 81, 82, 83, 84, 85}) {
        EXPECT_STRNE("", LoadText(id)) << id;
    }
    EXPECT_EQ(test::Cp932("パスが長すぎます"), LoadText(kResultPathTooLong));
    EXPECT_EQ(test::Cp932("閉じる"), LoadText(10));
}

TEST(LoadTextTest, LineFeedsOfTheLongMessagesSurvive) {
    const struct {
        int id;
        long lineFeeds;
    } cases[] = {{52, 1}, {53, 1}, {54, 1}, {55, 1}, {56, 2}};
    for (const auto& c : cases) {
        const std::string text = LoadText(c.id);
        EXPECT_EQ(c.lineFeeds, std::count(text.begin(), text.end(), '\n')) << c.id;
        EXPECT_EQ(std::string::npos, text.find('\r')) << c.id;
    }
}

TEST(LoadTextTest, MissingIdsGiveEmptyTextAndLongTextsAreCutAt511Bytes) {
    EXPECT_STREQ("", LoadText(kResultOk));
    LoadText(52);
    EXPECT_STREQ("", LoadText(69));  // the previous text does not linger

    const std::string ascii = LoadText(kLongAscii);
    EXPECT_EQ(std::string(511, 'x'), ascii);
    EXPECT_EQ(std::string(509, 'x') + "\x95\x5C", LoadText(kLongEndingInTable));
    // No half character at the end: the lone lead byte is dropped.
    EXPECT_EQ(std::string(510, 'x'), LoadText(kLongCutInTable));
}

// Reads the text, caption and owner of the next message box of this thread
// and closes it.
struct MessageBoxSpy {
    static MessageBoxSpy* current;
    HHOOK hook = nullptr;
    bool seen = false;
    std::string text;
    std::string caption;
    HWND owner = nullptr;

    MessageBoxSpy() {
        current = this;
        hook = SetWindowsHookExA(WH_CBT, Hook, nullptr, GetCurrentThreadId());
    }
    ~MessageBoxSpy() {
        UnhookWindowsHookEx(hook);
        current = nullptr;
    }
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
        if (code == HCBT_ACTIVATE && current != nullptr && !current->seen) {
            const auto box = reinterpret_cast<HWND>(wParam);
            char buffer[1024] = "";
            // The message is the box's one static control that is not its icon.
            current->text.clear();
            for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
                 child = GetWindow(child, GW_HWNDNEXT)) {
                GetClassNameA(child, buffer, sizeof buffer);
                const LONG_PTR style = GetWindowLongPtrA(child, GWL_STYLE);
                if (lstrcmpiA(buffer, "Static") == 0 && (style & SS_TYPEMASK) != SS_ICON) {
                    GetWindowTextA(child, buffer, sizeof buffer);
                    current->text += buffer;
                }
            }
            GetWindowTextA(box, buffer, sizeof buffer);
            current->caption = buffer;
            current->owner = GetWindow(box, GW_OWNER);
            current->seen = true;
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
};
MessageBoxSpy* MessageBoxSpy::current = nullptr;

TEST(ShowMessageTest, ShowsTheTextWithTheCaptionAndOwner) {
    {
        MessageBoxSpy spy;
        ShowMessage(nullptr, 52, MB_ICONERROR);
        ASSERT_TRUE(spy.seen);
        // Wine's message box may turn the line feed into CR LF for its control.
        std::string text = spy.text;
        text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
        EXPECT_EQ(test::Cp932(MessageTextUtf8(52)), text);
        EXPECT_EQ("Zorv", spy.caption);
        EXPECT_EQ(nullptr, spy.owner);
    }
    HWND owner = CreateWindowA("STATIC", "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                               nullptr);
    {
        MessageBoxSpy spy;
        ShowMessage(owner, kResultFileMissing, MB_ICONEXCLAMATION);
        ASSERT_TRUE(spy.seen);
        EXPECT_EQ(LoadText(kResultFileMissing), spy.text);
        EXPECT_EQ(owner, spy.owner);
    }
    DestroyWindow(owner);
    {
        MessageBoxSpy spy;
        ShowMessage(nullptr, 69, MB_ICONERROR);
        ASSERT_TRUE(spy.seen);
        EXPECT_EQ("", spy.text);
    }
    {
        MessageBoxSpy spy;
        ShowMessage(nullptr, kLongAscii, MB_ICONERROR);
        ASSERT_TRUE(spy.seen);
        EXPECT_EQ(std::string(255, 'x'), spy.text);
    }
}

}  // namespace
}  // namespace zorv
