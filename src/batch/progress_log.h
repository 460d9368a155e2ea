// The running report of a batch, written into a dialog's read-only
// multi-line edit control.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace zorv {

// One line of a batch's log as a run gives it, before it becomes text: the
// texts are message texts already loaded, so that a worker thread can make
// a line and the thread of the log's control write it.
struct BatchLine {
    enum class Kind { kStart, kDone, kNote, kOk, kFailure };
    Kind kind = Kind::kNote;
    std::string path;  // kOk, kFailure
    std::string text;  // kNote, kFailure: the message text
};

// Where a run's lines go, in the order they are given.
class LineSink {
public:
    LineSink() = default;
    virtual ~LineSink() = default;
    LineSink(const LineSink&) = delete;
    LineSink& operator=(const LineSink&) = delete;

    virtual void Write(BatchLine line) = 0;
};

// Append-only text sink over an edit control. While writing, text is
// accepted and the control is disabled, so the user cannot move the caret
// and every insertion lands at the end; in review the control is enabled
// for scrolling and copying and further text is dropped. The dialog owns the
// control; neither this class nor its destructor touches its lifetime.
class TextLog {
public:
    // Makes the control read-only, lifts its text limit and enters the
    // writing state.
    explicit TextLog(HWND editControl);
    virtual ~TextLog() = default;

    TextLog(const TextLog&) = delete;
    TextLog& operator=(const TextLog&) = delete;

    // Switches between writing (true) and review (false). Setting the
    // current state again neither invalidates nor repaints the control.
    void SetWriting(bool flag);
    bool IsWriting() const { return writing_; }

    // Appends text as it is at the end of the control; ignored in review.
    virtual void AddText(const char* text);
    // Appends a line break (CR LF).
    virtual void AddLine();

protected:
    HWND Edit() const { return edit_; }

private:
    HWND edit_;
    bool writing_ = false;
};

// The batch lines in their fixed shapes:
//   start/done:  the message text of 77 / 78
//   note:        a message text alone
//   success:     <path>...OK
//   failure:     <path>  then  \t-><message text>
// As a LineSink it writes each line at once; only the control's thread may
// use it.
class ProgressLog : public TextLog, public LineSink {
public:
    explicit ProgressLog(HWND editControl) : TextLog(editControl) {}

    // The line in its shape below, in one insertion.
    void Write(BatchLine line) override;
    // The lines in one insertion. A hand-off holds every line made since
    // the last, so a batch of small files costs the control one insertion
    // (each laid out and repainted anew) per hand-off rather than three per
    // line.
    void WriteAll(const std::vector<BatchLine>& lines);

    void WriteStart();
    void WriteDone();
    void WriteNote(const char* messageText);
    void WriteOk(const char* path);
    void WriteFailure(const char* path, const char* messageText);

    // For the review: puts the caret at the start of the first failure's
    // path line and scrolls that line to the top, so the review opens on
    // what went wrong rather than on the done line. Without a failure line
    // the control is left as it is.
    void ShowFirstFailure();

private:
    // Appends the line's text, with its line break, to text, which is to be
    // added at the end of the control.
    void Compose(const BatchLine& line, std::string* text);

    int firstFailureLine_ = -1;  // the line the first failure's path is on
};

}  // namespace zorv
