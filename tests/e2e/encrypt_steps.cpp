#include "e2e/encrypt_steps.h"

#include <algorithm>
#include <cstdint>

#include "app/resource_ids.h"
#include "support/cp932.h"

namespace zorv::e2e {

using test::Cp932;

std::string EncryptCaption() {
    return Cp932(u8"Zorv - 暗号化");
}
std::string CloseText() {
    return Cp932(u8"閉じる");
}

std::string MessageText(int id) {
    switch (id) {
        case 51:
            return Cp932(
                u8"入力したパスワードが正しくありません。CAPSロックがついていないか、"
                u8"大文字小文字の区別を正しく入力しているか確認してください。");
        case 71:
            return Cp932(u8"ファイルが既に存在しています");
        case 73:
            return Cp932(u8"既に暗号化されています");
        case 74:
            return Cp932(u8"読取専用属性またはシステム属性のファイルです");
        case 77:
            return Cp932(u8"処理を実行中です");
        case 78:
            return Cp932(u8"処理を完了しました");
        case 79:
            return Cp932(u8"ファイルが存在しません");
        case 80:
            return Cp932(u8"ファイルサイズがゼロのファイルは扱えません。");
        case 81:
            return Cp932(u8"ファイルを削除できませんでした。");
        case 83:
            return Cp932(u8"ファイルの書き込みに失敗しました");
        case 84:
            return Cp932(u8"パスが長すぎます");
        default:
            return "<no text for " + std::to_string(id) + ">";
    }
}

ExpectedLog::ExpectedLog() : lines_(MessageText(77) + "\r\n") {}

ExpectedLog& ExpectedLog::Ok(const std::string& path) {
    lines_ += path + "...OK\r\n";
    return *this;
}

ExpectedLog& ExpectedLog::Fail(const std::string& path, int messageId) {
    return Fail(path, MessageText(messageId));
}

ExpectedLog& ExpectedLog::Fail(const std::string& path, const std::string& text) {
    lines_ += path + "\r\n\t->" + text + "\r\n";
    return *this;
}

std::string ExpectedLog::Text() const {
    return lines_ + MessageText(78) + "\r\n";
}

bool EncryptRun::Start(const std::string& arguments) {
    if (!process_.Start(arguments)) {
        return false;
    }
    dialog_ = process_.WaitForDialog(DialogQuery(
        EncryptCaption(), {IDC_ENCRYPT_PASSWORD, IDC_ENCRYPT_CONFIRM, IDC_DELETE_SOURCE, IDC_LOG}));
    return dialog_.IsValid();
}

bool EncryptRun::EnterPasswords(const std::string& first, const std::string& second) const {
    return dialog_.SetEditText(IDC_ENCRYPT_PASSWORD, first) &&
           dialog_.SetEditText(IDC_ENCRYPT_CONFIRM, second);
}

bool EncryptRun::Submit() const {
    return EnterPasswords(kPassword, kPassword) && dialog_.Click(IDOK);
}

bool EncryptRun::WaitForReview(DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        // Visibility is read without a message: the dialog's thread is busy
        // while the batch runs.
        if (dialog_.IsVisible(IDCANCEL) && !dialog_.IsVisible(IDOK) &&
            dialog_.Text(IDCANCEL) == CloseText()) {
            return true;
        }
        if (!process_.IsRunning()) {
            return false;
        }
        Sleep(50);
    }
    return false;
}

HWND EncryptRun::FocusedControl() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    DWORD thread = GetWindowThreadProcessId(dialog_.Handle(), nullptr);
    return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

SettingsFile::SettingsFile(const std::string& minimumChars) {
    std::string exe = ZorvExe();
    path_ = exe.substr(0, exe.find_last_of('\\')) + "\\zorv.ini";
    DeleteFileA(path_.c_str());
    if (!minimumChars.empty()) {
        WriteWholeFile(path_, "[config]\r\nMinimumChars=" + minimumChars + "\r\n");
    }
}

SettingsFile::~SettingsFile() {
    DeleteFileA(path_.c_str());
}

bool SetLastWriteTime(const std::string& path, const FILETIME& time) {
    HANDLE file =
        CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    BOOL ok = SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
    return ok != 0;
}

bool GetLastWriteTime(const std::string& path, FILETIME* time) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        return false;
    }
    *time = data.ftLastWriteTime;
    return true;
}

}  // namespace zorv::e2e
