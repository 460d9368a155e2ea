// The batch on its worker thread, driven with a fake rule: the lines reach
// the window's thread in the order written, with few wake-ups; a stop ends
// the run between files; the progress counts what the transforms read; and
// the keyed cipher is gone by the time the end is posted.
#include "batch/batch_worker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "batch/batch_steps.h"
#include "batch/batch_view.h"
#include "crypto/file_cipher.h"
#include "support/win32_test_support.h"

namespace zorv {
namespace {

// A window that only receives posted messages, read with GetMessage.
class MessageWindow {
public:
    MessageWindow()
        : window_(CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleA(nullptr), nullptr)) {}
    ~MessageWindow() { DestroyWindow(window_); }
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    HWND Handle() const { return window_; }
    // How many message messages wait in the queue; takes them out.
    int Drain(UINT message) const {
        int count = 0;
        MSG msg;
        while (PeekMessageA(&msg, window_, message, message, PM_REMOVE)) {
            ++count;
        }
        return count;
    }

private:
    HWND window_;
};

BatchLine Line(BatchLine::Kind kind, const char* path) {
    BatchLine line;
    line.kind = kind;
    line.path = path;
    return line;
}

// The order and the wake-ups of the hand-off, on one thread: a wake-up is
// posted by the first write after a Take, not by every write.
TEST(LineHandOff, LinesComeInOrderWithOneWakeUpPerTake) {
    MessageWindow window;
    ASSERT_NE(window.Handle(), nullptr);
    LineHandOff handOff(window.Handle(), kBatchLinesMessage);
    const struct {
        std::vector<const char*> written;
        int wakeUps;
    } rounds[] = {
        {{"a"}, 1},
        {{"b", "c", "d"}, 1},
        {{}, 0},
        {{"e", "f"}, 1},
    };
    for (const auto& round : rounds) {
        for (const char* path : round.written) {
            handOff.Write(Line(BatchLine::Kind::kOk, path));
        }
        EXPECT_EQ(window.Drain(kBatchLinesMessage), round.wakeUps) << round.written.size();
        std::vector<std::string> taken;
        for (const BatchLine& line : handOff.Take()) {
            taken.push_back(line.path);
        }
        EXPECT_EQ(taken, std::vector<std::string>(round.written.begin(), round.written.end()));
    }
}

// A cipher whose destruction the test can see.
class WatchedCipher : public FileCipher {
public:
    explicit WatchedCipher(std::atomic<bool>* destroyed)
        : FileCipher("password", 8), destroyed_(destroyed) {}
    ~WatchedCipher() override { *destroyed_ = true; }

private:
    std::atomic<bool>* destroyed_;
};

// Each input is a word: "fail" logs a failure, "stop" asks the worker to
// stop and logs its line, "slow" waits a fifth of a second before its line
// (so that lines of later files are made first), "threads" logs "t<N>" for
// the threads its cipher may use, any other word logs OK; "file:<path>"
// encrypts that file into <path>.out with the cipher given.
class FakeRule : public BatchRule {
public:
    FakeRule(FileCipher& cipher, BatchWorker*& worker) : cipher_(cipher), worker_(worker) {}

    void ProcessInput(BatchRun& run, const char* path) override {
        if (std::strncmp(path, "file:", 5) == 0) {
            const std::string target = std::string(path + 5) + ".out";
            const ResultCode rc = cipher_.EncryptFile(path + 5, target.c_str());
            if (rc != kResultOk) {
                run.LogFailure(path + 5, rc);
            } else {
                run.LogOk(path + 5);
            }
            return;
        }
        if (std::strcmp(path, "stop") == 0) {
            worker_->RequestStop();
        }
        if (std::strcmp(path, "slow") == 0) {
            Sleep(200);
        }
        if (std::strcmp(path, "threads") == 0) {
            run.LogOk(("t" + std::to_string(cipher_.Threads())).c_str());
        } else if (std::strcmp(path, "fail") == 0) {
            run.LogFailure(path, kResultOpenFailed);
        } else {
            run.LogOk(path);
        }
    }
    InputRules Rules() const override { return DesktopRules(Command::kEncrypt); }
    void ProcessFile(BatchRun& run, const char* path) override { run.LogOk(path); }

private:
    FileCipher& cipher_;
    BatchWorker*& worker_;
};

struct Outcome {
    std::string lines;  // one letter per kind and the path: "S", "Oa", "Fb", "D"
    bool cipherGoneAtEnd = false;
    bool stopped = false;
    int failures = 0;
    BatchProgress progress;
};

// Runs the fake rule over inputs on a worker with jobs threads for the
// files, reading its messages as the dialog does until the end is posted.
Outcome RunFake(const std::vector<const char*>& inputs, unsigned jobs = 1) {
    Outcome outcome;
    MessageWindow window;
    FileRange range;
    range.paths = inputs.data();
    range.count = static_cast<int>(inputs.size());
    BatchWorker worker(window.Handle(), range);
    BatchWorker* self = &worker;
    std::atomic<bool> destroyed{false};
    std::unique_ptr<FileCipher> cipher(new WatchedCipher(&destroyed));
    EXPECT_TRUE(worker.StartRun(
        std::move(cipher),
        [&self](FileCipher& own) { return std::unique_ptr<BatchRule>(new FakeRule(own, self)); },
        jobs));
    const char kinds[] = "SDNOF";
    for (MSG msg; GetMessageA(&msg, window.Handle(), 0, 0) > 0;) {
        if (msg.message == kBatchEndMessage) {
            outcome.cipherGoneAtEnd = destroyed.load();
            break;
        }
    }
    EXPECT_TRUE(worker.WaitForEnd(10000));
    for (const BatchLine& line : worker.TakeLines()) {
        outcome.lines += kinds[static_cast<int>(line.kind)] + line.path + " ";
    }
    outcome.stopped = worker.Outcome().Stopped();
    outcome.failures = worker.Outcome().FailureCount();
    outcome.progress = worker.Progress();
    return outcome;
}

// In list order whatever the number of jobs, even when a later file is
// done first; a stop (with one job, where "later" is certain) begins no
// further file. A file alone at work may use every job's thread; one that
// starts beside another, one.
TEST(BatchWorker, RunsTheRuleInListOrderAndStopsBetweenFiles) {
    const struct {
        std::vector<const char*> inputs;
        unsigned jobs;
        const char* lines;
        bool stopped;
        int failures;
    } cases[] = {
        {{"a", "fail", "b"}, 1, "S Oa Ffail Ob D ", false, 1},
        {{"slow", "a", "fail", "b", "slow", "c"}, 3, "S Oslow Oa Ffail Ob Oslow Oc D ", false, 1},
        {{"a", "slow", "fail"}, 2, "S Oa Oslow Ffail D ", false, 1},
        {{"a", "stop", "b", "c"}, 1, "S Oa Ostop ", true, 0},
        {{"stop"}, 1, "S Ostop ", true, 0},
        {{}, 1, "S D ", false, 0},
        {{}, 2, "S D ", false, 0},
        {{"threads"}, 3, "S Ot3 D ", false, 0},
        {{"threads"}, 1, "S Ot1 D ", false, 0},
        {{"slow", "threads"}, 2, "S Oslow Ot1 D ", false, 0},
    };
    for (const auto& c : cases) {
        const Outcome outcome = RunFake(c.inputs, c.jobs);
        EXPECT_EQ(outcome.lines, c.lines);
        EXPECT_EQ(outcome.stopped, c.stopped) << c.lines;
        EXPECT_EQ(outcome.failures, c.failures) << c.lines;
        EXPECT_TRUE(outcome.cipherGoneAtEnd) << "the key outlived the run: " << c.lines;
    }
}

// Records the paths it is given.
class PathSink : public LineSink {
public:
    void Write(BatchLine line) override { paths += line.path; }
    std::string paths;
};

// The places of OrderedLines, step by step: what reaches the sink after
// each step. "o" opens the next place; "wN<c>" writes line c in place N;
// "cN" closes place N.
TEST(OrderedLines, EachLineWaitsForThePlacesBeforeIt) {
    const struct {
        std::vector<const char*> steps;
        std::vector<const char*> out;  // the sink's paths after each step
    } cases[] = {
        {{"o", "w0a", "c0", "o", "w1b"}, {"", "a", "a", "a", "ab"}},
        {{"o", "o", "w1b", "w0a", "c1", "c0"}, {"", "", "", "a", "a", "ab"}},
        {{"o", "o", "o", "w2c", "c2", "w1b", "c1", "w0a", "c0"},
         {"", "", "", "", "", "", "", "a", "abc"}},
        {{"o", "o", "w1b", "c0", "w1d", "c1"}, {"", "", "", "b", "bd", "bd"}},
    };
    for (const auto& c : cases) {
        PathSink sink;
        OrderedLines lines(sink);
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            const char* step = c.steps[i];
            if (step[0] == 'o') {
                lines.Open();
            } else if (step[0] == 'w') {
                lines.Write(step[1] - '0', Line(BatchLine::Kind::kOk, step + 2));
            } else {
                lines.Close(step[1] - '0');
            }
            EXPECT_EQ(sink.paths, c.out[i]) << "step " << i << " of " << c.steps.size();
        }
    }
}

// The progress in bytes is what the transforms read, against the sizes of
// the files the rule would keep; the label's file is the one read last.
TEST(BatchWorker, ProgressCountsTheBytesTheTransformsRead) {
    TempFolder folder;
    const std::string first = folder.Join("first.bin");
    const std::string second = folder.Join("second.bin");
    ASSERT_TRUE(WriteLongFile(first, std::string(700000, 'x')));
    ASSERT_TRUE(WriteLongFile(second, std::string(5000, 'y')));
    const std::string firstInput = "file:" + first;
    const std::string secondInput = "file:" + second;
    // The "file:" words name no file when sizing: the sizes come from the
    // folder, as a walk would give them.
    const Outcome outcome =
        RunFake({firstInput.c_str(), secondInput.c_str(), folder.Path().c_str()});
    EXPECT_EQ(outcome.failures, 0) << outcome.lines;
    EXPECT_EQ(outcome.progress.doneBytes, 705000u);
    EXPECT_EQ(outcome.progress.totalBytes, 705000u);
    EXPECT_EQ(outcome.progress.currentPath, second);
}

// The leftovers beside every named input are finished before the first
// input is worked on, not as the run reaches each folder: once jobs run, a
// wipe name in a later input's folder may be an earlier job's own.
TEST(BatchWorker, LeftoversBesideEveryInputGoBeforeTheFirstInput) {
    TempFolder first;
    TempFolder second;
    ASSERT_TRUE(WriteLongFile(second.Join(".zorv-0123abcd.wipe"), "half"));
    const std::string a = first.Join("a");
    const std::string b = second.Join("b");
    const Outcome outcome = RunFake({a.c_str(), b.c_str()}, 2);
    EXPECT_EQ(outcome.lines, "S F" + second.Path() + "\\ O" + a + " O" + b + " D ");
    EXPECT_FALSE(FileExists(second.Join(".zorv-0123abcd.wipe")));
}

// The label's text: the percentage, then the path shortened in its middle
// so that the whole fits, keeping the file's name.
TEST(ProgressLabel, ThePercentageAndAPathThatFits) {
    HDC dc = GetDC(nullptr);
    ASSERT_NE(dc, nullptr);
    const std::string deep =
        "C:\\" + std::string(40, 'd') + "\\" + std::string(40, 'e') + "\\name.bin";
    const struct {
        std::string path;
        uint64_t done;
        uint64_t total;
        const char* begins;
        bool whole;  // the path is shown in full
    } cases[] = {
        {"C:\\a.txt", 0, 0, "0%  ", true},
        {"C:\\a.txt", 50, 200, "25%  ", true},
        {"C:\\a.txt", 300, 200, "100%  ", true},
        {deep, 1, 3, "33%  ", false},
    };
    for (const auto& c : cases) {
        char text[400];
        const int width = 300;
        FormatProgressLabel(dc, width, c.path.c_str(), c.done, c.total, text, sizeof text);
        const std::string shown = text;
        EXPECT_EQ(shown.rfind(c.begins, 0), 0u) << shown;
        EXPECT_EQ(shown == c.begins + c.path, c.whole) << shown;
        const size_t end = std::min<size_t>(c.path.size(), 9);
        EXPECT_EQ(shown.substr(shown.size() - end), c.path.substr(c.path.size() - end))
            << "the name's end is kept: " << shown;
        SIZE extent = {};
        GetTextExtentPoint32A(dc, text, static_cast<int>(shown.size()), &extent);
        EXPECT_LE(extent.cx, width) << shown;
    }
    ReleaseDC(nullptr, dc);
}

}  // namespace
}  // namespace zorv
