#include "cli/stream_cat.h"

#include <cstdio>

#include "cli/interrupt.h"
#include "cli/parallel_transform.h"
#include "cli/platform_file.h"
#include "crypto/file_transform.h"

namespace zorv {
namespace {

// Reads a file from its start, and stops (as a failed read) once the user
// has interrupted the run.
class InterruptibleFileSource : public ByteSource {
public:
    explicit InterruptibleFileSource(const PlatformFile& file) : file_(file) {}

    std::size_t Read(std::uint8_t* buffer, std::size_t n) override {
        if (Interrupted() || !file_.ReadAt(offset_, buffer, n)) {
            failed = true;
            return 0;
        }
        offset_ += n;
        return n;
    }

private:
    const PlatformFile& file_;
    std::uint64_t offset_ = 0;
};

// The C library's buffer of standard output is not cleared: the plain text
// is on its way to whoever reads the pipe anyway, and it is overwritten by
// the next data or released with the process.
class StandardOutputSink : public ByteSink {
public:
    bool Write(const std::uint8_t* data, std::size_t n) override {
        return std::fwrite(data, 1, n, stdout) == n;
    }
};

}  // namespace

ResultCode CatFile(const FileCipher& cipher, const std::string& path) {
    PlatformFile file;
    if (!file.OpenForRead(path)) {
        return kResultOpenFailed;
    }
    std::int64_t size = file.Size();
    if (size < 0) {
        return kResultReadFailed;
    }
    FileCipher own(cipher);
    InterruptibleFileSource source(file);
    StandardOutputSink sink;
    ResultCode result = DecryptStream(own, source, static_cast<std::uint64_t>(size), sink);
    if (std::fflush(stdout) != 0 && result == kResultOk) {
        result = kResultWriteFailed;
    }
    return Interrupted() && result != kResultOk ? kResultInterrupted : result;
}

}  // namespace zorv
