#include "support/editor_support.h"

#include <windows.h>

namespace zorv::test {
namespace {

bool SetDefaultValue(const std::string& key, const std::string& value) {
    HKEY handle = nullptr;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &handle, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const LONG status =
        RegSetValueExA(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
    RegCloseKey(handle);
    return status == ERROR_SUCCESS;
}

std::string Field(const std::string& report, const std::string& name) {
    const std::string key = name + "=";
    const std::size_t start = report.find(key);
    if (start == std::string::npos) {
        return "";
    }
    const std::size_t end = report.find('\n', start);
    return report.substr(start + key.size(),
                         end == std::string::npos ? std::string::npos : end - start - key.size());
}

}  // namespace

bool RegisterTestEditor(const std::string& editorPath) {
    const std::string documentClass = "ZorvTestEditor.Document";
    RegDeleteKeyA(HKEY_CLASSES_ROOT, kUnassociatedExtension);
    return SetDefaultValue(kEditorExtension, documentClass) &&
           SetDefaultValue(documentClass + "\\shell\\open\\command",
                           "\"" + editorPath + "\" \"%1\"");
}

void SetEditorInstructions(const std::string& action, const std::string& reportPath,
                           const std::string& stopPath) {
    DeleteFileA(reportPath.c_str());
    SetEnvironmentVariableA("ZORV_TEST_EDITOR_ACTION", action.c_str());
    SetEnvironmentVariableA("ZORV_TEST_EDITOR_REPORT", reportPath.c_str());
    SetEnvironmentVariableA("ZORV_TEST_EDITOR_STOP", stopPath.c_str());
}

EditorReport ReadEditorReport(const std::string& reportPath) {
    EditorReport report;
    HANDLE file = CreateFileA(reportPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return report;
    }
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        text.append(buffer, got);
    }
    CloseHandle(file);
    report.present = true;
    report.path = Field(text, "path");
    report.readOnly = Field(text, "readonly") == "1";
    report.siblingCrp = Field(text, "sibling") == "1";
    const std::size_t content = text.find("\ncontent=");
    if (content != std::string::npos) {
        report.content = text.substr(content + 9);
    }
    return report;
}

bool WaitForEditorReport(const std::string& reportPath, unsigned timeoutMs) {
    for (unsigned waited = 0;; waited += 50) {
        if (GetFileAttributesA(reportPath.c_str()) != INVALID_FILE_ATTRIBUTES) {
            return true;
        }
        if (waited >= timeoutMs) {
            return false;
        }
        Sleep(50);
    }
}

}  // namespace zorv::test
