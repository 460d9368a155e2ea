// Reads and answers the message boxes that threads of this process show, as
// a user would: for tests that run a worker which reports in message boxes.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace zorv::test {

// Reads and answers every message box (or other dialog) that a thread of
// this process shows while it lives.
class MessageBoxWatcher {
public:
    MessageBoxWatcher() : thread_([this] { Watch(); }) {}
    ~MessageBoxWatcher() {
        stop_ = true;
        thread_.join();
    }
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    std::vector<std::string> Texts() {
        std::lock_guard<std::mutex> lock(mutex_);
        return texts_;
    }

private:
    static BOOL CALLBACK Visit(HWND window, LPARAM parameter) {
        auto* self = reinterpret_cast<MessageBoxWatcher*>(parameter);
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        char className[16] = {};
        GetClassNameA(window, className, sizeof className);
        if (process == GetCurrentProcessId() && IsWindowVisible(window) &&
            std::string(className) == "#32770" && self->answered_.insert(window).second) {
            char text[1024] = {};
            GetDlgItemTextA(window, 0xFFFF, text, sizeof text);
            {
                std::lock_guard<std::mutex> lock(self->mutex_);
                self->texts_.push_back(text);
            }
            PostMessageA(window, WM_COMMAND, IDOK, 0);
        }
        return TRUE;
    }

    void Watch() {
        while (!stop_) {
            EnumWindows(Visit, reinterpret_cast<LPARAM>(this));
            Sleep(50);
        }
    }

    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<std::string> texts_;
    std::set<HWND> answered_;
    std::thread thread_;
};

}  // namespace zorv::test
