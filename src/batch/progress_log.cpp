#include "batch/progress_log.h"

#include "app/messages.h"
#include "app/resource_ids.h"

namespace zorv {

TextLog::TextLog(HWND editControl) : edit_(editControl) {
    SendMessageA(edit_, EM_SETREADONLY, TRUE, 0);
    SendMessageA(edit_, EM_LIMITTEXT, 0, 0);
    SetWriting(true);
}

void TextLog::SetWriting(bool flag) {
    if (flag == writing_) {
        return;
    }
    writing_ = flag;
    EnableWindow(edit_, !flag);
    InvalidateRect(edit_, nullptr, TRUE);
    UpdateWindow(edit_);
}

void TextLog::AddText(const char* text) {
    if (!writing_) {
        return;
    }
    // The caret sits at the end: it starts there in the empty control, each
    // insertion leaves it after the inserted text, and a disabled control
    // cannot be clicked. Dropping the selection keeps it from replacing text.
    SendMessageA(edit_, EM_SETSEL, static_cast<WPARAM>(-1), -1);
    SendMessageA(edit_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text));
    SendMessageA(edit_, EM_SETSEL, static_cast<WPARAM>(-1), -1);
}

void TextLog::AddLine() {
    AddText("\r\n");
}

void ProgressLog::Write(BatchLine line) {
    switch (line.kind) {
        case BatchLine::Kind::kStart:
            WriteStart();
            break;
        case BatchLine::Kind::kDone:
            WriteDone();
            break;
        case BatchLine::Kind::kNote:
            WriteNote(line.text.c_str());
            break;
        case BatchLine::Kind::kOk:
            WriteOk(line.path.c_str());
            break;
        case BatchLine::Kind::kFailure:
            WriteFailure(line.path.c_str(), line.text.c_str());
            break;
    }
}

void ProgressLog::WriteStart() {
    AddText(LoadText(IDS_PROCESSING_STARTED));
    AddLine();
}

void ProgressLog::WriteDone() {
    AddText(LoadText(IDS_PROCESSING_DONE));
    AddLine();
}

void ProgressLog::WriteNote(const char* messageText) {
    AddText(messageText);
    AddLine();
}

void ProgressLog::WriteOk(const char* path) {
    AddText(path);
    AddText("...OK");
    AddLine();
}

void ProgressLog::WriteFailure(const char* path, const char* messageText) {
    if (firstFailureLine_ < 0 && IsWriting()) {
        // Every line ends with CR LF, so the path starts the last, empty line.
        firstFailureLine_ = static_cast<int>(SendMessageA(Edit(), EM_GETLINECOUNT, 0, 0)) - 1;
    }
    AddText(path);
    AddLine();
    AddText("\t->");
    AddText(messageText);
    AddLine();
}

void ProgressLog::ShowFirstFailure() {
    if (firstFailureLine_ < 0) {
        return;
    }
    // The caret goes there too: a focused edit scrolls back to its caret.
    const LRESULT start =
        SendMessageA(Edit(), EM_LINEINDEX, static_cast<WPARAM>(firstFailureLine_), 0);
    SendMessageA(Edit(), EM_SETSEL, static_cast<WPARAM>(start), start);
    const LRESULT top = SendMessageA(Edit(), EM_GETFIRSTVISIBLELINE, 0, 0);
    SendMessageA(Edit(), EM_LINESCROLL, 0, firstFailureLine_ - top);
}

}  // namespace zorv
