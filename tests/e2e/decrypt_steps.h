// Steps of the decryption and edit-session scenarios: the decryption dialog
// of a running zorv.exe, .crp files made with a known password, the settings
// file, the expected log, and the tray icon as Wine's system tray shows it.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "support/harness.h"

namespace zorv::e2e {

constexpr char kDecryptPassword[] = "decrypt-pw";
// The program's callback message for its tray icon, and the completion
// message of the session (see src/decrypt).
constexpr UINT kTrayCallback = WM_APP + 2;

// Texts of the string table as the program shows them (code page 932).
std::string DecryptCaption();
std::string TableText(int id);
// A text with its "%s" replaced by path.
std::string TableTextWithPath(int id, const std::string& path);

// Encrypts plain into path with password (through a plain file in the
// temporary folder, removed again). False when the cipher fails.
bool MakeCrp(const std::string& path, const std::string& plain,
             const char* password = kDecryptPassword);
// The plain text of a .crp file under kDecryptPassword, or "<rc N>".
std::string DecryptedText(const std::string& crp);

// The log text of a decryption batch, line by line.
class DecryptLog {
public:
    DecryptLog();
    DecryptLog& Ok(const std::string& path);
    DecryptLog& Fail(const std::string& path, int messageId);
    std::string Text() const;  // with the completion line

private:
    std::string lines_;
};

// zorv.ini next to zorv.exe for the life of the object, with RememberLast,
// LastMode and UseTempDir as given; removed at the end.
class DecryptSettings {
public:
    DecryptSettings(bool rememberLast, const std::string& lastMode, bool useTempDir);
    ~DecryptSettings();
    DecryptSettings(const DecryptSettings&) = delete;
    DecryptSettings& operator=(const DecryptSettings&) = delete;

    // LastMode as the file holds it now.
    std::string LastMode() const;

private:
    std::string path_;
};

// zorv.exe started with a command line that opens a decryption dialog:
// template 112 (with the re-encrypt choices) or 114.
class DecryptRun {
public:
    bool Start(const std::string& arguments, bool single);

    ZorvProcess& Process() { return process_; }
    const DialogView& Dialog() const { return dialog_; }
    // The dialog's window, also once it is hidden for a session.
    HWND Window() const { return dialog_.Handle(); }

    // Types the password, clicks radio (0: leave the choice) and then OK.
    bool Submit(const std::string& password = kDecryptPassword, int radio = 0) const;
    // Waits until the batch has ended with failures (button 2 shown as
    // the close button). False when the process ended or time ran out.
    bool WaitForReview(DWORD timeoutMs = kDefaultTimeoutMs);
    // Waits until the dialog is hidden for a session (the process runs on).
    bool WaitUntilHidden(DWORD timeoutMs = kDefaultTimeoutMs);
    // The log control's text.
    std::string LogText() const { return dialog_.Text(IDC_LOG_CONTROL); }

private:
    static constexpr int IDC_LOG_CONTROL = 1018;
    ZorvProcess process_;
    DialogView dialog_;
};

// --- The tray icon ----------------------------------------------------------

// The icon of window (ID 1) is known to the shell: a modification of it is
// accepted.
bool TrayIconPresent(HWND window);
// Asks the shell to forget that icon, as a restarting shell would.
bool RemoveTrayIcon(HWND window);
// Wine's stand-alone system tray window (shown when there is no X tray),
// or null.
HWND StandaloneTray();
// Points the mouse at the first icon of the stand-alone tray and returns the
// tooltip text the shell shows for it; empty when none shows in time.
std::string HoverFirstTrayIcon();
// Clicks the first icon of the stand-alone tray with the right button.
bool RightClickFirstTrayIcon();
// Double-clicks it with the left button.
bool DoubleClickFirstTrayIcon();
// The visible pop-up menu window of a process, or null.
HWND WaitForMenuWindow(DWORD processId, DWORD timeoutMs = kDefaultTimeoutMs);

// Runs "wineboot --end-session" in this Wine session and waits for it, as a
// logoff: every top-level window is sent WM_QUERYENDSESSION and then
// WM_ENDSESSION, and a process that has not ended by itself is ended. False
// when wineboot cannot be started or does not finish in time.
bool EndWindowsSession(DWORD timeoutMs = 60000);

// Visible top-level dialogs of the process are answered with OK until one
// shows text; returns the texts seen. Used where Wine adds its own box.
std::vector<std::string> AnswerBoxesUntil(ZorvProcess& process, const std::string& text,
                                          DWORD timeoutMs = kDefaultTimeoutMs);

}  // namespace zorv::e2e
