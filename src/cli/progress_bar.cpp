#include "cli/progress_bar.h"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace zorv {
namespace {

constexpr auto kDelay = std::chrono::seconds(1);
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr int kBarWidth = 20;
constexpr int kLineWidth = 79;

std::string Bytes(double n) {
    static const char* const kUnits[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    int unit = 0;
    while (n >= 1024.0 && unit < 4) {
        n /= 1024.0;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", n, kUnits[unit]);
    return text;
}

std::string Duration(double seconds) {
    auto s = static_cast<unsigned long>(seconds + 0.5);
    char text[32];
    if (s >= 3600) {
        std::snprintf(text, sizeof text, "%lu:%02lu:%02lu", s / 3600, s / 60 % 60, s % 60);
    } else {
        std::snprintf(text, sizeof text, "%lu:%02lu", s / 60, s % 60);
    }
    return text;
}

}  // namespace

ProgressBar::ProgressBar(bool enabled, std::uint64_t total)
    : enabled_(enabled), total_(total), start_(Clock::now()), lastDraw_(start_) {}

std::string ProgressBar::Format(std::uint64_t done, std::uint64_t total, double elapsed) {
    double fraction = total == 0 ? 1.0 : static_cast<double>(done) / static_cast<double>(total);
    fraction = fraction > 1.0 ? 1.0 : fraction;
    int filled = static_cast<int>(fraction * kBarWidth);
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(kBarWidth - filled), ' ');
    double rate = elapsed > 0 ? static_cast<double>(done) / elapsed : 0;
    std::string left =
        rate > 0 ? Duration(static_cast<double>(total - (done < total ? done : total)) / rate)
                 : "-:--";
    char text[160];
    std::snprintf(text, sizeof text, "%3d%% [%s] %s / %s  %s/s  %s left",
                  static_cast<int>(fraction * 100), bar.c_str(),
                  Bytes(static_cast<double>(done)).c_str(),
                  Bytes(static_cast<double>(total)).c_str(), Bytes(rate).c_str(), left.c_str());
    return text;
}

void ProgressBar::Update(std::uint64_t done) {
    Clock::time_point now = Clock::now();
    if (!enabled_ || now - start_ < kDelay || (shown_ && now - lastDraw_ < kRedrawInterval)) {
        return;
    }
    double elapsed = std::chrono::duration<double>(now - start_).count();
    // Padded with spaces rather than erased with an escape sequence, which
    // older Windows consoles print as text.
    std::fprintf(stderr, "\r%-*s", kLineWidth, Format(done, total_, elapsed).c_str());
    std::fflush(stderr);
    shown_ = true;
    lastDraw_ = now;
}

void ProgressBar::Erase() {
    if (shown_) {
        std::fprintf(stderr, "\r%*s\r", kLineWidth, "");
        std::fflush(stderr);
        shown_ = false;
    }
}

bool StandardErrorIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

}  // namespace zorv
