// The test editor (test_editor.cpp) as the tests see it: registering it as
// the default action of ".zedit" files, steering it through the environment
// that it inherits, and reading its report.
#pragma once

#include <string>

namespace zorv::test {

// The extension whose default action runs the test editor.
constexpr char kEditorExtension[] = ".zedit";
// An extension that no application is registered for.
constexpr char kUnassociatedExtension[] = ".zorvnone";

// Registers ".zedit" under HKEY_CLASSES_ROOT with the default action
// "<editorPath>" "%1" (a Windows path), and removes any registration of
// kUnassociatedExtension. True on success.
bool RegisterTestEditor(const std::string& editorPath);

// Sets the editor's instructions in this process's environment, which every
// process started from here inherits. action: "append", "empty", "none" or
// "wait" (stays running until stopPath exists).
void SetEditorInstructions(const std::string& action, const std::string& reportPath,
                           const std::string& stopPath = "");

struct EditorReport {
    bool present = false;  // the editor ran and wrote its report
    std::string path;      // the argument it was started with
    bool readOnly = false;
    bool siblingCrp = false;  // "<path>.crp" existed while it ran
    std::string content;      // the file's bytes when it started
};

EditorReport ReadEditorReport(const std::string& reportPath);

// Polls for the report for up to timeoutMs.
bool WaitForEditorReport(const std::string& reportPath, unsigned timeoutMs);

}  // namespace zorv::test
