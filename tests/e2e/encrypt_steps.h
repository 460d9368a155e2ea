// Steps of the encryption scenarios: the encryption dialog of a running
// zorv.exe, the expected log text, and file helpers beyond the harness's.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "support/harness.h"

namespace zorv::e2e {

constexpr char kPassword[] = "secret-1";

// The Japanese texts the scenarios compare, as code page 932 bytes.
std::string EncryptCaption();
std::string CloseText();
std::string MessageText(int id);

// The log text of a batch, line by line, framed by the start and
// completion lines.
class ExpectedLog {
public:
    ExpectedLog();
    ExpectedLog& Ok(const std::string& path);
    ExpectedLog& Fail(const std::string& path, int messageId);
    // A failure whose message text is given, for a text that names a path.
    ExpectedLog& Fail(const std::string& path, const std::string& text);
    std::string Text() const;  // with the completion line

private:
    std::string lines_;
};

// zorv.exe started with a command line that opens the encryption dialog.
class EncryptRun {
public:
    bool Start(const std::string& arguments);

    ZorvProcess& Process() { return process_; }
    const DialogView& Dialog() const { return dialog_; }

    bool EnterPasswords(const std::string& first, const std::string& second) const;
    // Both entries kPassword, then OK.
    bool Submit() const;
    // Waits until the batch has ended with failures: button 2 is shown as
    // the close button. False when the process ended or time ran out.
    bool WaitForReview(DWORD timeoutMs = kDefaultTimeoutMs);
    // The control that has the keyboard focus in the dialog's thread.
    HWND FocusedControl() const;

private:
    ZorvProcess process_;
    DialogView dialog_;
};

// zorv.ini next to zorv.exe with the given MinimumChars line for the life of
// the object; none at all when the value is empty.
class SettingsFile {
public:
    explicit SettingsFile(const std::string& minimumChars);
    ~SettingsFile();
    SettingsFile(const SettingsFile&) = delete;
    SettingsFile& operator=(const SettingsFile&) = delete;

private:
    std::string path_;
};

bool SetLastWriteTime(const std::string& path, const FILETIME& time);
bool GetLastWriteTime(const std::string& path, FILETIME* time);

}  // namespace zorv::e2e
