// The progress line on standard error: bytes done of the total, the rate
// and the time left. Shown only when standard error is a terminal and the
// work has gone on for more than a moment; redrawn in place with a carriage
// return, and erased before any other line is written.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace zorv {

class ProgressBar {
public:
    // enabled: standard error is a terminal.
    ProgressBar(bool enabled, std::uint64_t total);

    // Redraws with done bytes, at most ten times a second, from one second
    // after construction on.
    void Update(std::uint64_t done);
    // Erases the line if it is shown (before another line is written).
    void Erase();

    // The line for done of total after elapsed seconds, without control
    // characters; public for tests.
    static std::string Format(std::uint64_t done, std::uint64_t total, double elapsed);

private:
    using Clock = std::chrono::steady_clock;
    bool enabled_;
    bool shown_ = false;
    std::uint64_t total_;
    Clock::time_point start_;
    Clock::time_point lastDraw_;
};

// True when standard error is a terminal.
bool StandardErrorIsTerminal();

}  // namespace zorv
