#include "program/program.h"

#include <string>

#include "app/dialog_base.h"
#include "app/file_list.h"
#include "app/file_system.h"
#include "app/messages.h"
#include "app/module_instance.h"
#include "app/resource_ids.h"
#include "app/settings.h"
#include "app/win32_handles.h"
#include "batch/batch_steps.h"
#include "crypto/result_code.h"
#include "decrypt/orphan_recovery.h"
#include "program/clipboard_list.h"
#include "program/command_line.h"
#include "program/dispatch.h"
#include "program/front_ends.h"

namespace zorv {
namespace {

bool Exists(const char* path) {
    return PathExists(path);
}
bool Folder(const char* path) {
    return IsFolder(path);
}

FileRange ChosenRange(const DispatchDecision& decision, const FileList& arguments,
                      const FileList& clipboard) {
    const FileList& list = decision.list == DispatchList::kClipboard ? clipboard : arguments;
    return list.Range(decision.first, decision.count);
}

void ShowDispatchMessage(const DispatchDecision& decision, const FileList& arguments,
                         const FileList& clipboard) {
    if (decision.list == DispatchList::kNone) {
        ShowMessage(nullptr, decision.messageId, MB_ICONERROR);
        return;
    }
    const FileRange range = ChosenRange(decision, arguments, clipboard);
    ShowMessageWithPath(nullptr, decision.messageId, range.paths[0], MB_ICONERROR);
}

void CarryOut(DispatchDecision decision, const FileList& arguments, const FileList& clipboard) {
    if (decision.leftoversBeside > 0) {
        FinishLeftoversBesideShown(arguments.Item(decision.leftoversBeside));
    }
    if (decision.action == DispatchAction::kAskMode) {
        decision = ApplyModeChoice(decision, RunModeSelect());
    }
    switch (decision.action) {
        case DispatchAction::kSettings:
            RunSettingsFrontEnd();
            break;
        case DispatchAction::kMessage:
            ShowDispatchMessage(decision, arguments, clipboard);
            break;
        case DispatchAction::kEncrypt:
            RunEncryptFrontEnd(ChosenRange(decision, arguments, clipboard));
            break;
        case DispatchAction::kDecrypt: {
            const FileRange files = ChosenRange(decision, arguments, clipboard);
            RunDecryptFrontEnd(files, DecryptTemplateFor(files.paths, files.count, Folder));
            break;
        }
        case DispatchAction::kAskMode:
        case DispatchAction::kNothing:
            break;
    }
}

BOOL CALLBACK FindVisibleDialog(HWND window, LPARAM found) {
    if (GetPropA(window, kDialogMark) == nullptr || !IsWindowVisible(window)) {
        return TRUE;
    }
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// A second start: the user asked for Zorv, so the running instance's dialog
// (or the message box over it) comes to the front. A dialog hidden behind
// the tray icon is left alone.
void BringRunningDialogForward() {
    HWND dialog = nullptr;
    EnumWindows(FindVisibleDialog, reinterpret_cast<LPARAM>(&dialog));
    if (dialog == nullptr) {
        return;
    }
    HWND front = GetLastActivePopup(dialog);
    if (SetForegroundWindow(front)) {
        return;
    }
    // Refused when this process may not take the foreground: the taskbar
    // button flashes instead.
    FLASHWINFO flash{};
    flash.cbSize = sizeof flash;
    flash.hwnd = front;
    flash.dwFlags = FLASHW_ALL | FLASHW_TIMERNOFG;
    FlashWindowEx(&flash);
}

// Past the single-instance guard no session can still be running, so every
// session recorded in zorv.ini is one that never ended.
void RecoverAfterACrash() {
    char settingsPath[kMaxPath];
    if (GetSettingsPath(settingsPath)) {
        RecoverOrphanedSessions(settingsPath);
    }
}

}  // namespace

int RunProgram(HINSTANCE instance) {
    SetModuleInstance(instance);
    HANDLE mutex = CreateMutexA(nullptr, FALSE, kInstanceMutexName);
    bool anotherInstance = mutex != nullptr && GetLastError() == ERROR_ALREADY_EXISTS;
    // Kept open until the end of the run; closing it is the release.
    ScopedHandle mutexOwner(mutex);
    if (anotherInstance) {
        BringRunningDialogForward();
        return 0;
    }
    LoadSettings();
    RecoverAfterACrash();
    // Split in its wide form: the ANSI command line has every name the code
    // page lacks already replaced by a look-alike.
    FileList arguments = SplitCommandLine(GetCommandLineW());
    if (!arguments.IsValid()) {
        ShowMessage(nullptr, IDS_OUT_OF_MEMORY, MB_ICONERROR);
        return -1;
    }
    // Read on every start, whatever the arguments; only "-c" uses it.
    FileList clipboard = ReadClipboardFileList();
    DispatchInput input;
    input.arguments = arguments.Items();
    input.argumentsRefused = arguments.RefusedFlags();
    input.argumentCount = arguments.Count();
    input.clipboard = clipboard.IsValid() ? clipboard.Items() : nullptr;
    input.clipboardCount = clipboard.Count();
    CarryOut(DecideDispatch(input, PathProbe{Exists, Folder}), arguments, clipboard);
    // The lists are freed here (clipboard first), then the mutex is closed.
    return 0;
}

}  // namespace zorv
