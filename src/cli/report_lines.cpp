#include "cli/report_lines.h"

#include "crypto/wide_path.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace zorv {
namespace {

bool IsTerminal(std::FILE* stream) {
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

void AppendEscape(std::string* out, unsigned char byte) {
    static const char kDigits[] = "0123456789abcdef";
    *out += "\\x";
    *out += kDigits[byte >> 4];
    *out += kDigits[byte & 0xF];
}

}  // namespace

std::string ShownName(const std::string& path, bool terminal) {
    std::string out;
    out.reserve(path.size());
    for (std::size_t i = 0; i < path.size();) {
        auto byte = static_cast<unsigned char>(path[i]);
        bool control = byte < 0x20 || byte == 0x7F;
        if (byte == '\n' || byte == '\r' || (terminal && control)) {
            AppendEscape(&out, byte);
            ++i;
            continue;
        }
        std::size_t length = terminal ? Utf8SequenceAt(path, i) : 1;
        if (length == 0) {
            AppendEscape(&out, byte);
            ++i;
            continue;
        }
        out.append(path, i, length);
        i += length;
    }
    return out;
}

LineReporter::LineReporter(std::FILE* stream, Language language, bool quiet, ProgressBar* progress,
                           const std::atomic<std::uint64_t>* done)
    : stream_(stream),
      language_(language),
      quiet_(quiet),
      terminal_(IsTerminal(stream)),
      progress_(progress),
      done_(done) {}

void LineReporter::Report(const Outcome& outcome) {
    if (outcome.code == kResultOk) {
        ++successes_;
        if (quiet_) {
            return;
        }
    }
    if (progress_ != nullptr) {
        progress_->Erase();
    }
    WriteText(stream_, ShownName(outcome.path, terminal_));
    if (outcome.code == kResultOk) {
        std::fputs("...OK\n", stream_);
    } else {
        std::fputs("\n\t->", stream_);
        WriteText(stream_, MessageText(language_, outcome.code) + "\n");
    }
    std::fflush(stream_);
}

void LineReporter::Tick() {
    if (progress_ != nullptr && done_ != nullptr) {
        progress_->Update(done_->load(std::memory_order_relaxed));
    }
}

}  // namespace zorv
