// Process, file and clipboard steps of the end-to-end harness.
#include "support/harness.h"

#include <shlobj.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#ifndef ZORV_E2E_EXE
#error "ZORV_E2E_EXE must name the program under test"
#endif
#ifndef ZORV_E2E_WORK
#error "ZORV_E2E_WORK must name the folder for scenario files"
#endif

namespace zorv::e2e {
namespace {

constexpr DWORD kPollMs = 20;

// The clipboard is filled through a window of ours that owns it afterwards
// (without an owner, EmptyClipboard leaves none and SetClipboardData may
// refuse the data). The window lives on a thread of its own that keeps
// pumping messages: a program reading the clipboard (under Wine, through its
// X11 clipboard bridge) sends the owner a message and waits up to five
// seconds for the reply, which a test thread busy polling for windows would
// never give in time.
class ClipboardOwner {
public:
    static ClipboardOwner& Instance() {
        // Never destroyed: the thread ends with the test process.
        static ClipboardOwner* owner = new ClipboardOwner();
        return *owner;
    }

    // Empties the clipboard and puts block under format (nothing when block
    // is null). The clipboard takes the block over on success, so it is
    // freed here only on failure.
    bool Replace(UINT format, HGLOBAL block) {
        Request request{format, block, false};
        if (window_ != nullptr) {
            SendMessageA(window_, kReplaceMessage, 0, reinterpret_cast<LPARAM>(&request));
        }
        if (!request.ok && block != nullptr) {
            GlobalFree(block);
        }
        return request.ok;
    }

private:
    static constexpr UINT kReplaceMessage = WM_APP + 1;
    static constexpr char kClassName[] = "ZorvE2eClipboardOwner";

    struct Request {
        UINT format;
        HGLOBAL block;
        bool ok;
    };

    ClipboardOwner() {
        HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (ready == nullptr) {
            return;
        }
        Start start{this, ready};
        HANDLE thread = CreateThread(nullptr, 0, &ThreadMain, &start, 0, nullptr);
        if (thread != nullptr) {
            WaitForSingleObject(ready, INFINITE);
            CloseHandle(thread);
        }
        CloseHandle(ready);
    }

    struct Start {
        ClipboardOwner* owner;
        HANDLE ready;
    };

    static DWORD WINAPI ThreadMain(LPVOID parameter) {
        auto* start = static_cast<Start*>(parameter);
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = &WindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kClassName;
        RegisterClassA(&windowClass);
        start->owner->window_ =
            CreateWindowExA(0, kClassName, "zorv-e2e-clipboard", 0, 0, 0, 0, 0, HWND_MESSAGE,
                            nullptr, GetModuleHandleA(nullptr), nullptr);
        const bool created = start->owner->window_ != nullptr;
        SetEvent(start->ready);  // start lives on the caller's stack until now
        if (!created) {
            return 1;
        }
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0) > 0) {
            DispatchMessageA(&message);
        }
        return 0;
    }

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message != kReplaceMessage) {
            return DefWindowProcA(window, message, wParam, lParam);
        }
        auto* request = reinterpret_cast<Request*>(lParam);
        if (!OpenWithRetry(window)) {
            return 0;
        }
        request->ok =
            EmptyClipboard() && (request->block == nullptr ||
                                 SetClipboardData(request->format, request->block) != nullptr);
        CloseClipboard();
        return 0;
    }

    static bool OpenWithRetry(HWND window) {
        for (int attempt = 0; attempt < 50; ++attempt) {
            if (OpenClipboard(window)) {
                return true;
            }
            Sleep(kPollMs);
        }
        return false;
    }

    HWND window_ = nullptr;
};

bool ReplaceClipboard(UINT format, HGLOBAL block) {
    return ClipboardOwner::Instance().Replace(format, block);
}

HGLOBAL BlockWith(const std::string& bytes) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes.size());
    if (block == nullptr) {
        return nullptr;
    }
    std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
    GlobalUnlock(block);
    return block;
}

// With no window manager on the virtual display, Wine's default (windows
// framed by the window manager) leaves captions undrawn; asking Wine to draw
// its own frames makes the screenshots show captions and close boxes. Read by
// each program at its start, so it is set before the first one starts.
void UseWineDrawnFrames() {
    static bool done = false;
    if (done) {
        return;
    }
    done = true;
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\X11 Driver", 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
        RegSetValueExA(key, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
        RegCloseKey(key);
    }
}

}  // namespace

std::string ToWindowsPath(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':') {
        return path;
    }
    std::string result = "Z:" + path;
    for (char& c : result) {
        if (c == '/') {
            c = '\\';
        }
    }
    return result;
}

std::string FromUtf8(const char* utf8) {
    int wideLength = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    if (wideLength <= 0) {
        return std::string();
    }
    std::vector<wchar_t> wide(static_cast<size_t>(wideLength));
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide.data(), wideLength);
    int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0) {
        return std::string();
    }
    std::vector<char> text(static_cast<size_t>(length));
    WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, text.data(), length, nullptr, nullptr);
    return std::string(text.data());
}

std::string Quote(const std::string& path) {
    return "\"" + path + "\"";
}

std::string ZorvExe() {
    return ToWindowsPath(ZORV_E2E_EXE);
}

std::string MakeScenarioFolder(const std::string& scenario) {
    std::string root = ToWindowsPath(ZORV_E2E_WORK);
    MakeFolder(root);
    std::string folder = root + "\\" + scenario;
    test::RemoveTree(folder);
    MakeFolder(folder);
    return folder;
}

bool MakeFolder(const std::string& path) {
    return CreateDirectoryA(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

DWORD Attributes(const std::string& path) {
    return GetFileAttributesA(path.c_str());
}

std::string PatternBytes(std::size_t size, int seed) {
    std::string bytes(size, '\0');
    std::uint32_t state = static_cast<std::uint32_t>(seed) * 2654435761u + 1;
    for (char& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<char>(state >> 24);
    }
    return bytes;
}

bool PutFileDropOnClipboard(const std::vector<std::string>& names) {
    DROPFILES header{};
    header.pFiles = sizeof header;
    header.fWide = FALSE;
    std::string bytes(reinterpret_cast<const char*>(&header), sizeof header);
    for (const std::string& name : names) {
        bytes += name;
        bytes += '\0';
    }
    // The list ends with an empty name; an empty list is just that.
    bytes.append(2, '\0');
    HGLOBAL block = BlockWith(bytes);
    return block != nullptr && ReplaceClipboard(CF_HDROP, block);
}

bool PutWideFileDropOnClipboard(const std::vector<std::wstring>& names) {
    DROPFILES header{};
    header.pFiles = sizeof header;
    header.fWide = TRUE;
    std::string bytes(reinterpret_cast<const char*>(&header), sizeof header);
    for (const std::wstring& name : names) {
        bytes.append(reinterpret_cast<const char*>(name.c_str()),
                     (name.size() + 1) * sizeof(wchar_t));
    }
    bytes.append(2 * sizeof(wchar_t), '\0');
    HGLOBAL block = BlockWith(bytes);
    return block != nullptr && ReplaceClipboard(CF_HDROP, block);
}

bool PutTextOnClipboard(const std::string& text) {
    HGLOBAL block = BlockWith(text + '\0');
    return block != nullptr && ReplaceClipboard(CF_TEXT, block);
}

bool ClearClipboard() {
    return ReplaceClipboard(0, nullptr);
}

// --- ZorvProcess ------------------------------------------------------------

ZorvProcess::~ZorvProcess() {
    Release();
}

ZorvProcess::ZorvProcess(ZorvProcess&& other) noexcept
    : process_(other.process_),
      processId_(other.processId_),
      exitCode_(other.exitCode_),
      sawWindow_(other.sawWindow_) {
    other.process_ = nullptr;
}

ZorvProcess& ZorvProcess::operator=(ZorvProcess&& other) noexcept {
    if (this != &other) {
        Release();
        process_ = other.process_;
        processId_ = other.processId_;
        exitCode_ = other.exitCode_;
        sawWindow_ = other.sawWindow_;
        other.process_ = nullptr;
    }
    return *this;
}

void ZorvProcess::Release() {
    if (process_ != nullptr) {
        if (IsRunning()) {
            Kill();
        }
        CloseHandle(process_);
        process_ = nullptr;
    }
}

namespace {

constexpr int kStartAttempts = 2;

// Wine now and then fails a process start with ERROR_INTERNAL_ERROR: the new
// process ended before its start was complete, inside Wine's own loader,
// before any of the program's code ran (seen once in a whole run of these
// tests, between two starts that went well). Such a start is tried once
// more, and said; any other failure is final.
bool StartMayBeRetried(int attempt) {
    const DWORD error = GetLastError();
    if (error != ERROR_INTERNAL_ERROR || attempt + 1 >= kStartAttempts) {
        SetLastError(error);
        return false;
    }
    std::fprintf(stderr, "CreateProcess failed with error %lu inside Wine; started again\n", error);
    Sleep(200);
    return true;
}

}  // namespace

bool ZorvProcess::Start(const std::string& arguments, const std::string& exe) {
    std::string commandLine = "\"" + exe + "\"";
    if (!arguments.empty()) {
        commandLine += " " + arguments;
    }
    return StartCommandLine(commandLine);
}

namespace {

// CreateProcessA or CreateProcessW over a writable copy of commandLine, with
// the retry of StartMayBeRetried.
template <typename Char, typename StartupInfo, typename Create>
BOOL CreateWithRetry(const std::basic_string<Char>& commandLine, Create create,
                     PROCESS_INFORMATION* info) {
    std::vector<Char> text(commandLine.begin(), commandLine.end());
    text.push_back(Char());
    StartupInfo startup{};
    startup.cb = sizeof startup;
    BOOL created = FALSE;
    for (int attempt = 0; attempt < kStartAttempts && !created; ++attempt) {
        created = create(nullptr, text.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                         &startup, info);
        if (!created && !StartMayBeRetried(attempt)) {
            break;
        }
    }
    return created;
}

}  // namespace

bool ZorvProcess::StartCommandLine(const std::string& commandLine) {
    Release();
    UseWineDrawnFrames();
    PROCESS_INFORMATION info{};
    return Started(CreateWithRetry<char, STARTUPINFOA>(commandLine, CreateProcessA, &info), info);
}

bool ZorvProcess::StartCommandLine(const std::wstring& commandLine) {
    Release();
    UseWineDrawnFrames();
    PROCESS_INFORMATION info{};
    return Started(CreateWithRetry<wchar_t, STARTUPINFOW>(commandLine, CreateProcessW, &info),
                   info);
}

bool ZorvProcess::Started(BOOL created, const PROCESS_INFORMATION& info) {
    if (!created) {
        // Said here, so that a failed start in any scenario names its cause.
        std::fprintf(stderr, "CreateProcess failed with error %lu\n", GetLastError());
        return false;
    }
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    processId_ = info.dwProcessId;
    exitCode_ = STILL_ACTIVE;
    sawWindow_ = false;
    return true;
}

bool ZorvProcess::IsRunning() const {
    return process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

std::vector<HWND> ZorvProcess::Dialogs() const {
    return VisibleDialogsOf(processId_);
}

DialogView ZorvProcess::WaitForDialog(const DialogQuery& query, DWORD timeoutMs) const {
    DWORD start = GetTickCount();
    do {
        for (HWND window : Dialogs()) {
            DialogView view(window);
            if (query.Matches(view)) {
                return view;
            }
        }
        Sleep(kPollMs);
    } while (GetTickCount() - start < timeoutMs);
    return DialogView();
}

MessageBoxView ZorvProcess::WaitForMessageBox(DWORD timeoutMs) const {
    DWORD start = GetTickCount();
    do {
        for (HWND window : Dialogs()) {
            if (MessageBoxView::Matches(window)) {
                return MessageBoxView(window);
            }
        }
        Sleep(kPollMs);
    } while (GetTickCount() - start < timeoutMs);
    return MessageBoxView();
}

bool ZorvProcess::WaitForExit(DWORD timeoutMs) {
    if (process_ == nullptr) {
        return false;
    }
    DWORD start = GetTickCount();
    for (;;) {
        if (WaitForSingleObject(process_, kPollMs) == WAIT_OBJECT_0) {
            GetExitCodeProcess(process_, &exitCode_);
            return true;
        }
        sawWindow_ = sawWindow_ || HasVisibleWindow(processId_);
        if (GetTickCount() - start >= timeoutMs) {
            return false;
        }
    }
}

void ZorvProcess::Kill() {
    if (process_ != nullptr) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, kDefaultTimeoutMs);
        GetExitCodeProcess(process_, &exitCode_);
    }
}

// --- Window enumeration -----------------------------------------------------

namespace {

struct WindowSearch {
    DWORD processId;
    bool dialogsOnly;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !IsWindowVisible(window)) {
        return TRUE;
    }
    char className[32] = {};
    GetClassNameA(window, className, sizeof className);
    if (!search->dialogsOnly || std::strcmp(className, "#32770") == 0) {
        search->found.push_back(window);
    }
    return TRUE;
}

std::vector<HWND> VisibleWindowsOf(DWORD processId, bool dialogsOnly) {
    WindowSearch search{processId, dialogsOnly, {}};
    if (processId != 0) {
        EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    }
    return search.found;
}

}  // namespace

std::vector<HWND> VisibleDialogsOf(DWORD processId) {
    return VisibleWindowsOf(processId, true);
}

bool HasVisibleWindow(DWORD processId) {
    return !VisibleWindowsOf(processId, false).empty();
}

}  // namespace zorv::e2e
