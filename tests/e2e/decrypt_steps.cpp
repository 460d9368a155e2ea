#include "e2e/decrypt_steps.h"

#include <shellapi.h>

#include <cstdint>
#include <cstring>

#include "app/message_texts.h"
#include "app/resource_ids.h"
#include "support/cp932.h"
// After <windows.h>, whose names for the system's calls it takes back.
#include "crypto/file_cipher.h"

namespace zorv::e2e {
namespace {

constexpr DWORD kPollMs = 50;

NOTIFYICONDATAA IconRecord(HWND window) {
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = window;
    data.uID = 1;
    return data;
}

// The centre of the first icon cell of the stand-alone tray, on screen.
bool FirstIconPoint(POINT* point) {
    HWND tray = StandaloneTray();
    RECT client;
    if (tray == nullptr || !GetClientRect(tray, &client)) {
        return false;
    }
    const int cell = client.bottom - client.top;  // the cells are square
    point->x = cell / 2;
    point->y = cell / 2;
    return ClientToScreen(tray, point) != 0;
}

void SendMouse(DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}

struct TooltipSearch {
    std::string text;
};

BOOL CALLBACK FindTooltip(HWND window, LPARAM parameter) {
    char className[32] = {};
    GetClassNameA(window, className, sizeof className);
    if (std::string(className) != "tooltips_class32" || !IsWindowVisible(window)) {
        return TRUE;
    }
    char text[256] = {};
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 2000, nullptr);
    if (text[0] != '\0') {
        reinterpret_cast<TooltipSearch*>(parameter)->text = text;
        return FALSE;
    }
    return TRUE;
}

struct MenuSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindMenu(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<MenuSearch*>(parameter);
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && std::string(className) == "#32768" &&
        IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

std::string DecryptCaption() {
    return test::Cp932(u8"Zorv - 復号");
}

std::string TableText(int id) {
    return test::Cp932(MessageTextUtf8(id));
}

std::string TableTextWithPath(int id, const std::string& path) {
    std::string text = TableText(id);
    const std::size_t slot = text.find("%s");
    return slot == std::string::npos ? text : text.replace(slot, 2, path);
}

bool MakeCrp(const std::string& path, const std::string& plain, const char* password) {
    const std::string source =
        TemporaryFolderPath() + "zorv-e2e-plain-" + std::to_string(GetCurrentProcessId());
    if (!WriteWholeFile(source, plain)) {
        return false;
    }
    FileCipher cipher(password, static_cast<int32_t>(std::strlen(password)));
    const bool ok = cipher.EncryptFile(source.c_str(), path.c_str()) == 0;
    DeleteFileA(source.c_str());
    return ok;
}

std::string DecryptedText(const std::string& crp) {
    const std::string target =
        TemporaryFolderPath() + "zorv-e2e-check-" + std::to_string(GetCurrentProcessId());
    FileCipher cipher(kDecryptPassword, static_cast<int32_t>(sizeof kDecryptPassword - 1));
    const int rc = cipher.DecryptFile(crp.c_str(), target.c_str());
    const std::string text =
        rc == 0 ? ReadFileOrMissing(target) : "<rc " + std::to_string(rc) + ">";
    DeleteFileA(target.c_str());
    return text;
}

DecryptLog::DecryptLog() : lines_(TableText(77) + "\r\n") {}

DecryptLog& DecryptLog::Ok(const std::string& path) {
    lines_ += path + "...OK\r\n";
    return *this;
}

DecryptLog& DecryptLog::Fail(const std::string& path, int messageId) {
    lines_ += path + "\r\n\t->" + TableText(messageId) + "\r\n";
    return *this;
}

std::string DecryptLog::Text() const {
    return lines_ + TableText(78) + "\r\n";
}

DecryptSettings::DecryptSettings(bool rememberLast, const std::string& lastMode, bool useTempDir) {
    const std::string exe = ZorvExe();
    path_ = exe.substr(0, exe.find_last_of('\\')) + "\\zorv.ini";
    WriteWholeFile(path_, std::string("[config]\r\nRememberLast=") +
                              (rememberLast ? "true" : "false") + "\r\nLastMode=" + lastMode +
                              "\r\nUseTempDir=" + (useTempDir ? "true" : "false") + "\r\n");
}

DecryptSettings::~DecryptSettings() {
    DeleteFileA(path_.c_str());
}

std::string DecryptSettings::LastMode() const {
    char value[64] = {};
    GetPrivateProfileStringA("config", "LastMode", "", value, sizeof value, path_.c_str());
    return value;
}

bool DecryptRun::Start(const std::string& arguments, bool single) {
    if (!process_.Start(arguments)) {
        return false;
    }
    const std::vector<int> choices = {IDC_REENCRYPT_AUTO, IDC_REENCRYPT_TRAY, IDC_REENCRYPT_NONE,
                                      IDC_READ_ONLY};
    std::vector<int> present = {IDC_DECRYPT_PASSWORD, IDC_LOG_CONTROL};
    if (single) {
        present.insert(present.end(), choices.begin(), choices.end());
    }
    // Template 114 lacks the choices.
    const DialogQuery query{DecryptCaption(), present, single ? std::vector<int>{} : choices};
    dialog_ = process_.WaitForDialog(query);
    return dialog_.IsValid();
}

bool DecryptRun::Submit(const std::string& password, int radio) const {
    if (!dialog_.SetEditText(IDC_DECRYPT_PASSWORD, password)) {
        return false;
    }
    if (radio != 0) {
        if (!dialog_.Click(radio)) {
            return false;
        }
        // The click is posted: wait until the dialog has taken it.
        const DWORD start = GetTickCount();
        while (!dialog_.IsChecked(radio)) {
            if (GetTickCount() - start >= kDefaultTimeoutMs) {
                return false;
            }
            Sleep(kPollMs);
        }
    }
    return dialog_.Click(IDOK);
}

bool DecryptRun::WaitForReview(DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        if (dialog_.IsVisible(IDCANCEL) && !dialog_.IsVisible(IDOK) &&
            dialog_.Text(IDCANCEL) == TableText(IDS_CLOSE)) {
            return true;
        }
        if (!process_.IsRunning()) {
            return false;
        }
        Sleep(kPollMs);
    }
    return false;
}

bool DecryptRun::WaitUntilHidden(DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        if (!IsWindowVisible(dialog_.Handle())) {
            return process_.IsRunning();
        }
        Sleep(kPollMs);
    }
    return false;
}

bool TrayIconPresent(HWND window) {
    NOTIFYICONDATAA data = IconRecord(window);
    return Shell_NotifyIconA(NIM_MODIFY, &data) != 0;
}

bool RemoveTrayIcon(HWND window) {
    NOTIFYICONDATAA data = IconRecord(window);
    return Shell_NotifyIconA(NIM_DELETE, &data) != 0;
}

HWND StandaloneTray() {
    HWND tray = FindWindowA("__winex11_standalone_tray", nullptr);
    return tray != nullptr && IsWindowVisible(tray) ? tray : nullptr;
}

std::string HoverFirstTrayIcon() {
    POINT point;
    if (!FirstIconPoint(&point)) {
        return "";
    }
    // Away and back, so that the shell sees the mouse arrive; then the
    // mouse must rest on the icon for the tooltip's delay.
    TooltipSearch search;
    for (int attempt = 0; attempt < 3 && search.text.empty(); ++attempt) {
        SetCursorPos(point.x + 300, point.y + 300);
        Sleep(200);
        SetCursorPos(point.x, point.y + attempt);
        for (int poll = 0; poll < 20 && search.text.empty(); ++poll) {
            Sleep(100);
            EnumWindows(FindTooltip, reinterpret_cast<LPARAM>(&search));
        }
    }
    return search.text;
}

bool RightClickFirstTrayIcon() {
    POINT point;
    if (!FirstIconPoint(&point) || !SetCursorPos(point.x, point.y)) {
        return false;
    }
    Sleep(200);
    SendMouse(MOUSEEVENTF_RIGHTDOWN);
    SendMouse(MOUSEEVENTF_RIGHTUP);
    return true;
}

bool DoubleClickFirstTrayIcon() {
    POINT point;
    if (!FirstIconPoint(&point) || !SetCursorPos(point.x, point.y)) {
        return false;
    }
    Sleep(200);
    for (int click = 0; click < 2; ++click) {
        SendMouse(MOUSEEVENTF_LEFTDOWN);
        SendMouse(MOUSEEVENTF_LEFTUP);
    }
    return true;
}

bool EndWindowsSession(DWORD timeoutMs) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    char command[] = "wineboot.exe --end-session";
    if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info)) {
        return false;
    }
    const bool ended = WaitForSingleObject(info.hProcess, timeoutMs) == WAIT_OBJECT_0;
    if (!ended) {
        TerminateProcess(info.hProcess, 1);
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return ended;
}

HWND WaitForMenuWindow(DWORD processId, DWORD timeoutMs) {
    MenuSearch search{processId, nullptr};
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        EnumWindows(FindMenu, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) {
            return search.found;
        }
        Sleep(kPollMs);
    }
    return nullptr;
}

std::vector<std::string> AnswerBoxesUntil(ZorvProcess& process, const std::string& text,
                                          DWORD timeoutMs) {
    std::vector<std::string> seen;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        MessageBoxView box = process.WaitForMessageBox(timeoutMs);
        if (!box.IsValid()) {
            break;
        }
        seen.push_back(box.Message());
        box.PressOk();
        box.WaitUntilClosed();
        if (seen.back() == text) {
            break;
        }
    }
    return seen;
}

}  // namespace zorv::e2e
