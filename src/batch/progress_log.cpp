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

namespace {

// The line breaks (CR LF) in text.
int LineBreaks(const std::string& text) {
    int count = 0;
    for (std::size_t at = text.find("\r\n"); at != std::string::npos;
         at = text.find("\r\n", at + 2)) {
        ++count;
    }
    return count;
}

BatchLine LineOf(BatchLine::Kind kind, const char* path, const char* text) {
    BatchLine line;
    line.kind = kind;
    line.path = path;
    line.text = text;
    return line;
}

}  // namespace

void ProgressLog::Write(BatchLine line) {
    std::string text;
    Compose(line, &text);
    AddText(text.c_str());
}

void ProgressLog::WriteAll(const std::vector<BatchLine>& lines) {
    std::string text;
    for (const BatchLine& line : lines) {
        Compose(line, &text);
    }
    if (!text.empty()) {
        AddText(text.c_str());
    }
}

void ProgressLog::Compose(const BatchLine& line, std::string* text) {
    switch (line.kind) {
        case BatchLine::Kind::kStart:
            *text += LoadText(IDS_PROCESSING_STARTED);
            break;
        case BatchLine::Kind::kDone:
            *text += LoadText(IDS_PROCESSING_DONE);
            break;
        case BatchLine::Kind::kNote:
            *text += line.text;
            break;
        case BatchLine::Kind::kOk:
            *text += line.path + "...OK";
            break;
        case BatchLine::Kind::kFailure:
            if (firstFailureLine_ < 0 && IsWriting()) {
                // Every line ends with CR LF, so the control's last, empty
                // line is where the text composed so far begins.
                firstFailureLine_ = static_cast<int>(SendMessageA(Edit(), EM_GETLINECOUNT, 0, 0)) -
                                    1 + LineBreaks(*text);
            }
            *text += line.path + "\r\n\t->" + line.text;
            break;
    }
    *text += "\r\n";
}

void ProgressLog::WriteStart() {
    Write(LineOf(BatchLine::Kind::kStart, "", ""));
}

void ProgressLog::WriteDone() {
    Write(LineOf(BatchLine::Kind::kDone, "", ""));
}

void ProgressLog::WriteNote(const char* messageText) {
    Write(LineOf(BatchLine::Kind::kNote, "", messageText));
}

void ProgressLog::WriteOk(const char* path) {
    Write(LineOf(BatchLine::Kind::kOk, path, ""));
}

void ProgressLog::WriteFailure(const char* path, const char* messageText) {
    Write(LineOf(BatchLine::Kind::kFailure, path, messageText));
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
