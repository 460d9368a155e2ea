// The progress of a batch on the dialog's taskbar button.
#pragma once

#include <windows.h>
#include <shobjidl.h>

#include <cstdint>

#include "shell/com_ptr.h"

namespace zorv {

// Owns the taskbar's progress interface for one window, on the window's
// thread. Where there is none (a system without it, or Wine's taskbar,
// which may refuse it), every call does nothing: the button is a courtesy.
class TaskbarProgress {
public:
    explicit TaskbarProgress(HWND window);
    // Takes the progress off the button.
    ~TaskbarProgress();
    TaskbarProgress(const TaskbarProgress&) = delete;
    TaskbarProgress& operator=(const TaskbarProgress&) = delete;

    // done of total, in the normal colour, or in the error colour once
    // failed (a failure has been logged).
    void Show(uint64_t done, uint64_t total, bool failed);
    // Takes the progress off the button.
    void Clear();

private:
    HWND window_;
    ScopedComInit com_;
    ComPtr<ITaskbarList3> list_;
};

}  // namespace zorv
