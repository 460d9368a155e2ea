// End-to-end steps for driving the real zorv.exe under Wine from outside,
// the way a user or an accessibility tool would: start it with a command
// line, find the dialog it opened, read and work its controls, read message
// boxes, and wait for the process to end. Every wait has a time-out, so a
// scenario fails instead of hanging when the program does something else.
//
// All strings are ANSI text in the process's code page (932 under the test
// runner), the same bytes the program sees. See tests/e2e/README.md.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "support/win32_test_support.h"

namespace zorv::e2e {

// Long enough for Wine to start a process and build a dialog on a loaded
// machine; the scenarios normally take a fraction of it.
constexpr DWORD kDefaultTimeoutMs = 15000;

// --- Paths and files --------------------------------------------------------

// "/a/b" becomes "Z:\a\b" (Wine maps drive Z: to the Unix root); a path that
// already has a drive letter is returned unchanged.
std::string ToWindowsPath(const std::string& path);

// UTF-8 text (such as the program's own message texts) in the process's
// ANSI code page, as the program shows it.
std::string FromUtf8(const char* utf8);

// path in double quotes, as one argument of a command line.
std::string Quote(const std::string& path);

// The program under test, as a Windows path.
std::string ZorvExe();

// A fresh, empty folder for one scenario under the build tree (deleted and
// recreated on every call); its Windows path without a trailing backslash.
std::string MakeScenarioFolder(const std::string& scenario);

// Small file helpers for scenarios, beside those of win32_test_support.h;
// paths are Windows paths.
bool MakeFolder(const std::string& path);
DWORD Attributes(const std::string& path);
// size bytes of a repeatable pseudo-random pattern.
std::string PatternBytes(std::size_t size, int seed);

// Saves <build>/screenshots/<name>.png of a screen area straight from the
// screen, without asking any window to repaint: usable while a window's
// thread is busy, or while a menu is open (a repaint request would close it).
bool SaveScreenArea(const RECT& area, const std::string& name);

// --- Clipboard (set up before the program starts) ---------------------------

// Replaces the clipboard's contents with a file-drop list (CF_HDROP, ANSI
// names, DROPFILES layout). An empty list is a valid drop list with no names.
bool PutFileDropOnClipboard(const std::vector<std::string>& names);
// The same with wide names (fWide set), for names the code page lacks.
bool PutWideFileDropOnClipboard(const std::vector<std::wstring>& names);
// Replaces the clipboard's contents with plain text (CF_TEXT).
bool PutTextOnClipboard(const std::string& text);
// Leaves the clipboard empty.
bool ClearClipboard();

// --- Windows of a process ---------------------------------------------------

// A view of a top-level dialog window (class "#32770") in another process.
// Non-owning: the window belongs to the program under test.
class DialogView {
public:
    DialogView() = default;
    explicit DialogView(HWND dialog) : dialog_(dialog) {}

    HWND Handle() const { return dialog_; }
    bool IsValid() const { return dialog_ != nullptr; }
    bool IsOpen() const;  // the window still exists and is visible
    std::string Caption() const;

    bool HasControl(int id) const;
    std::vector<int> ControlIds() const;  // in child-window order
    std::string ClassName(int id) const;
    std::string Text(int id) const;  // WM_GETTEXT; empty for a missing control
    LONG Style(int id) const;        // 0 for a missing control
    bool IsEnabled(int id) const;
    bool IsVisible(int id) const;
    bool IsChecked(int id) const;        // BM_GETCHECK == BST_CHECKED
    bool IsDefaultButton(int id) const;  // BS_DEFPUSHBUTTON in its style

    // Sets an edit's whole text with WM_SETTEXT; a single-line edit then
    // notifies its dialog with EN_CHANGE, as when the user types.
    bool SetEditText(int id, const std::string& text) const;
    // The same as wide text (WM_SETTEXT through SendMessageW).
    bool SetEditText(int id, const std::wstring& text) const;
    // Types ASCII text one WM_CHAR at a time into the control, after an
    // optional select-all (so it replaces the text). Each character's
    // EN_CHANGE has been handled when this returns.
    bool TypeChars(int id, const std::string& text, bool replace = true) const;
    // Clicks a push button, check box or radio button as the mouse would
    // (BM_CLICK, posted so that a dialog the click opens cannot block the
    // harness). Fails without clicking when the control is missing,
    // disabled or hidden, since a user could not click it either.
    bool Click(int id) const;
    // The close box / Escape: WM_CLOSE, which dialogs turn into command 2.
    void Close() const;
    // Presses a key on the dialog as the keyboard would: WM_KEYDOWN and
    // WM_KEYUP posted to the dialog, so its modal loop's dialog-message
    // handling sees them (Tab moves the focus, Enter presses the default).
    bool PressKey(UINT virtualKey) const;

    // Waits until the window is gone or hidden.
    bool WaitUntilClosed(DWORD timeoutMs = kDefaultTimeoutMs) const;
    // Saves <build>/screenshots/<name>.png from the screen.
    bool SaveScreenshot(const std::string& name) const;

protected:
    HWND Control(int id) const;

private:
    HWND dialog_ = nullptr;
};

enum class IconKind { kNone, kError, kWarning, kInformation, kQuestion, kUnknown };
const char* IconKindName(IconKind kind);

// A message box (a "#32770" dialog with the platform's message text static
// 0xFFFF and an icon static).
class MessageBoxView : public DialogView {
public:
    MessageBoxView() = default;
    explicit MessageBoxView(HWND box) : DialogView(box) {}

    static bool Matches(HWND dialog);
    std::string Message() const;
    // Which system icon the box shows, judged from its pixels on screen
    // against the stock icons drawn here (icon handles of another process
    // cannot be inspected under Wine).
    IconKind Icon() const;
    std::vector<int> Buttons() const;  // IDs of the visible push buttons
    bool PressOk() const { return Click(IDOK); }
};

// What a scenario waits for: every control of `controls` must be present,
// none of `absent`, and the caption must be equal when one is given.
struct DialogQuery {
    DialogQuery(std::string wantedCaption, std::vector<int> present, std::vector<int> missing = {})
        : caption(std::move(wantedCaption)),
          controls(std::move(present)),
          absent(std::move(missing)) {}

    bool Matches(const DialogView& dialog) const;

    std::string caption;
    std::vector<int> controls;
    std::vector<int> absent;
};

// The program under test: one process started with a command line.
// The destructor ends a process that is still running, so a failed scenario
// does not leave an instance behind that holds the single-instance mutex.
class ZorvProcess {
public:
    ZorvProcess() = default;
    ~ZorvProcess();
    ZorvProcess(ZorvProcess&& other) noexcept;
    ZorvProcess& operator=(ZorvProcess&& other) noexcept;
    ZorvProcess(const ZorvProcess&) = delete;
    ZorvProcess& operator=(const ZorvProcess&) = delete;

    // Starts `"<exe>"` followed by a space and `arguments` (nothing when the
    // arguments are empty), exactly as written: quoting is the caller's.
    bool Start(const std::string& arguments, const std::string& exe = ZorvExe());
    // Starts the exact command line given.
    bool StartCommandLine(const std::string& commandLine);
    // The same with a wide command line (CreateProcessW), for names the
    // code page lacks.
    bool StartCommandLine(const std::wstring& commandLine);

    DWORD Id() const { return processId_; }
    bool IsRunning() const;

    // Visible top-level dialogs of the process right now.
    std::vector<HWND> Dialogs() const;
    // Waits for a visible dialog that satisfies the query.
    DialogView WaitForDialog(const DialogQuery& query, DWORD timeoutMs = kDefaultTimeoutMs) const;
    MessageBoxView WaitForMessageBox(DWORD timeoutMs = kDefaultTimeoutMs) const;

    // Waits for the process to end; false on time-out. Records whether any
    // visible top-level window of the process was seen meanwhile.
    bool WaitForExit(DWORD timeoutMs = kDefaultTimeoutMs);
    bool SawWindowWhileWaiting() const { return sawWindow_; }
    DWORD ExitCode() const { return exitCode_; }

    // Ends the process at once (exit code 1) and waits for it.
    void Kill();

private:
    void Release();
    bool Started(BOOL created, const PROCESS_INFORMATION& info);

    HANDLE process_ = nullptr;
    DWORD processId_ = 0;
    DWORD exitCode_ = STILL_ACTIVE;
    bool sawWindow_ = false;
};

// Visible top-level "#32770" windows of a process.
std::vector<HWND> VisibleDialogsOf(DWORD processId);
// Any visible top-level window of a process.
bool HasVisibleWindow(DWORD processId);

}  // namespace zorv::e2e
