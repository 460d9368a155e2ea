// The progress log over a real multi-line edit control, as the batch dialogs
// use it: the exact text of a batch, the two states, and the repaint rule.
#include "batch/progress_log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/cp932.h"

namespace zorv {
namespace {

int g_paintMessages = 0;
WNDPROC g_editProc = nullptr;

LRESULT CALLBACK CountingEditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT || message == WM_ERASEBKGND) {
        ++g_paintMessages;
    }
    return CallWindowProcA(g_editProc, window, message, wParam, lParam);
}

// A visible top-level window holding an edit control styled like the
// dialogs' control 1018, whose paint messages are counted.
class LogWindow : public ::testing::Test {
protected:
    void SetUp() override {
        host = CreateWindowExA(0, "STATIC", "log", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 300,
                               nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(host, nullptr);
        edit = CreateWindowExA(0, "EDIT", "",
                               WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_HSCROLL |
                                   ES_MULTILINE | ES_AUTOHSCROLL | ES_AUTOVSCROLL,
                               10, 10, 360, 240, host, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(edit, nullptr);
        g_editProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingEditProc)));
        UpdateWindow(host);
    }
    void TearDown() override { DestroyWindow(host); }

    std::string Text() const {
        std::string text(static_cast<size_t>(GetWindowTextLengthA(edit)) + 1, '\0');
        int length = GetWindowTextA(edit, text.data(), static_cast<int>(text.size()));
        text.resize(static_cast<size_t>(length));
        return text;
    }
    bool IsReadOnly() const { return (GetWindowLongA(edit, GWL_STYLE) & ES_READONLY) != 0; }

    HWND host = nullptr;
    HWND edit = nullptr;
};

TEST_F(LogWindow, ANewLogIsWritingReadOnlyDisabledAndUnlimited) {
    ProgressLog log(edit);
    EXPECT_TRUE(log.IsWriting());
    EXPECT_TRUE(IsReadOnly());
    EXPECT_FALSE(IsWindowEnabled(edit));
    EXPECT_GT(SendMessageA(edit, EM_GETLIMITTEXT, 0, 0), 30000) << "the default limit was kept";
    EXPECT_EQ(Text(), "");

    log.SetWriting(false);
    EXPECT_TRUE(IsWindowEnabled(edit));
    EXPECT_TRUE(IsReadOnly());
    EXPECT_EQ(Text(), "");
}

TEST_F(LogWindow, ABatchGivesItsLinesInTheirExactShapes) {
    const std::string dbcsPath = "C:\\" + test::Cp932(u8"表示\\データ") + ".doc";
    ProgressLog log(edit);
    log.WriteStart();
    log.WriteOk("C:\\data\\report.doc");
    log.WriteFailure("C:\\a\\B.CRP", test::Cp932(u8"既に暗号化されています").c_str());
    log.WriteOk(dbcsPath.c_str());
    log.WriteFailure("C:\\a\\empty", "");
    log.WriteDone();

    const std::string expected = test::Cp932(u8"処理を実行中です") + "\r\n" +
                                 "C:\\data\\report.doc...OK\r\n" + "C:\\a\\B.CRP\r\n" + "\t->" +
                                 test::Cp932(u8"既に暗号化されています") + "\r\n" + dbcsPath +
                                 "...OK\r\n" + "C:\\a\\empty\r\n" + "\t->\r\n" +
                                 test::Cp932(u8"処理を完了しました") + "\r\n";
    EXPECT_EQ(Text(), expected);
}

TEST_F(LogWindow, TextIsDroppedInReviewAndAcceptedAgainWhenWriting) {
    ProgressLog log(edit);
    log.WriteOk("first");
    log.SetWriting(false);
    log.WriteOk("dropped");
    log.WriteFailure("dropped", "text");
    log.AddText("dropped");
    log.AddLine();
    EXPECT_EQ(Text(), "first...OK\r\n");

    log.SetWriting(true);
    EXPECT_FALSE(IsWindowEnabled(edit));
    log.WriteOk("second");
    EXPECT_EQ(Text(), "first...OK\r\nsecond...OK\r\n");
}

// The review opens on the first failure, wherever it is, with the caret on
// its path line; a log without a failure stays at its end. Lines come one
// by one or (together) in one insertion, as the batch's hand-off gives them.
TEST_F(LogWindow, TheReviewShowsTheFirstFailure) {
    const struct {
        int okBefore;
        int failures;
        bool together;
    } cases[] = {{40, 3, false}, {0, 3, false}, {40, 0, false}, {40, 3, true}, {0, 3, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.okBefore + 100 * c.failures + 1000 * c.together);
        SetWindowTextA(edit, "");
        ProgressLog log(edit);
        log.WriteStart();
        std::vector<BatchLine> lines;
        auto add = [&lines](BatchLine::Kind kind, const std::string& path) {
            BatchLine line;
            line.kind = kind;
            line.path = path;
            line.text = "text";
            lines.push_back(line);
        };
        for (int i = 0; i < c.okBefore; ++i) {
            add(BatchLine::Kind::kOk, "C:\\before\\" + std::to_string(i));
        }
        for (int i = 0; i < c.failures; ++i) {
            add(BatchLine::Kind::kFailure, "C:\\failed\\" + std::to_string(i));
        }
        for (int i = 0; i < 40; ++i) {
            add(BatchLine::Kind::kOk, "C:\\after\\" + std::to_string(i));
        }
        if (c.together) {
            log.WriteAll(lines);
        } else {
            for (const BatchLine& line : lines) {
                log.Write(line);
            }
        }
        log.WriteDone();
        const LRESULT endTop = SendMessageA(edit, EM_GETFIRSTVISIBLELINE, 0, 0);
        const LRESULT lastLine = SendMessageA(edit, EM_GETLINECOUNT, 0, 0) - 1;
        ASSERT_GT(endTop, 0) << "the log must be taller than its window";
        log.SetWriting(false);
        log.ShowFirstFailure();
        const LRESULT failureLine = 1 + c.okBefore;  // after the start line
        DWORD caret = 0;
        SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&caret), 0);
        EXPECT_EQ(SendMessageA(edit, EM_GETFIRSTVISIBLELINE, 0, 0),
                  c.failures > 0 ? failureLine : endTop);
        EXPECT_EQ(SendMessageA(edit, EM_LINEFROMCHAR, caret, 0),
                  c.failures > 0 ? failureLine : lastLine);
    }
}

TEST_F(LogWindow, OnlyAChangeOfStateRepaintsTheControl) {
    ProgressLog log(edit);
    ValidateRect(edit, nullptr);
    g_paintMessages = 0;
    log.SetWriting(true);
    EXPECT_EQ(g_paintMessages, 0);
    log.WriteOk("no forced repaint for text");
    EXPECT_EQ(g_paintMessages, 0);

    log.SetWriting(false);
    EXPECT_GT(g_paintMessages, 0) << "the state change was not painted at once";
    g_paintMessages = 0;
    log.SetWriting(false);
    EXPECT_EQ(g_paintMessages, 0);
}

}  // namespace
}  // namespace zorv
