// A stand-in for the application that the shell opens a working copy with.
// Registered by the tests as the default action of the file type ".zedit".
// It is started with the file's path as its one argument and is steered by
// its environment (inherited from the test through zorv.exe):
//
//   ZORV_TEST_EDITOR_REPORT  a file that receives what the editor found when
//                            it started, once it has done its editing:
//                            "path=<argument>\nreadonly=<0|1>\nsibling=<0|1>\n"
//                            "content=<bytes>"; sibling tells whether
//                            "<argument>.crp" existed
//   ZORV_TEST_EDITOR_ACTION  append (default): append the line and exit
//                            empty:  save the file empty and exit
//                            none:   change nothing and exit
//                            wait:   append the line, then stay running until
//                                    ZORV_TEST_EDITOR_STOP exists
//                            hold:   as wait, but keep the file open for
//                                    reading meanwhile, sharing only reads
//   ZORV_TEST_EDITOR_LINE    the line to append ("edited by the test editor")
//
// Writing may fail (a read-only working copy); the report then tells.
#include <windows.h>

#include <string>

namespace {

std::string Environment(const char* name, const char* fallback) {
    char value[1024] = {};
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length == 0 || length >= sizeof value ? std::string(fallback)
                                                 : std::string(value, length);
}

// Its own reader, not the tests' support library: the editor is a program of
// its own, and it shares writing, as an editor holding the file open would.
std::string ReadAll(const char* path) {
    std::string bytes;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return bytes;
    }
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        bytes.append(buffer, got);
    }
    CloseHandle(file);
    return bytes;
}

// What the editor found when it started: its argument, the file's read-only
// attribute, whether "<argument>.crp" existed, and the file's bytes.
std::string DescribeFile(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    const bool readOnly =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    const std::string sibling = std::string(path) + ".crp";
    const bool siblingExists = GetFileAttributesA(sibling.c_str()) != INVALID_FILE_ATTRIBUTES;
    return std::string("path=") + path + "\nreadonly=" + (readOnly ? "1" : "0") +
           "\nsibling=" + (siblingExists ? "1" : "0") + "\ncontent=" + ReadAll(path);
}

// Written aside and renamed, so that a test polling for the report never
// reads half of it. Published once the editing is done, so that a test that
// sees the report may act on the edited file.
void PublishReport(const std::string& reportPath, const std::string& report) {
    if (reportPath.empty()) {
        return;
    }
    const std::string partial = reportPath + ".partial";
    HANDLE file =
        CreateFileA(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, report.data(), static_cast<DWORD>(report.size()), &written, nullptr);
        CloseHandle(file);
        MoveFileExA(partial.c_str(), reportPath.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
}

// Opens the file for writing as an editor saving it would: truncated when
// emptying, at its end when appending.
void Save(const char* path, bool empty, const std::string& line) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr,
                              empty ? TRUNCATE_EXISTING : OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    if (!empty) {
        SetFilePointer(file, 0, nullptr, FILE_END);
        const std::string text = line + "\r\n";
        DWORD written = 0;
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
    CloseHandle(file);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return 2;
    }
    const char* path = argv[1];
    const std::string report = DescribeFile(path);
    const std::string reportPath = Environment("ZORV_TEST_EDITOR_REPORT", "");
    const std::string action = Environment("ZORV_TEST_EDITOR_ACTION", "append");
    const std::string line = Environment("ZORV_TEST_EDITOR_LINE", "edited by the test editor");
    if (action != "none") {
        Save(path, action == "empty", line);
    }
    HANDLE held = action == "hold" ? CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                 OPEN_EXISTING, 0, nullptr)
                                   : INVALID_HANDLE_VALUE;
    PublishReport(reportPath, report);
    if (action == "wait" || action == "hold") {
        const std::string stop = Environment("ZORV_TEST_EDITOR_STOP", "");
        // Bounded, so that a failed test never leaves the editor behind.
        for (int i = 0; i < 1200 && GetFileAttributesA(stop.c_str()) == INVALID_FILE_ATTRIBUTES;
             ++i) {
            Sleep(100);
        }
    }
    if (held != INVALID_HANDLE_VALUE) {
        CloseHandle(held);
    }
    return 0;
}
