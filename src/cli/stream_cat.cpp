#include "cli/stream_cat.h"

#include "cli/interrupt.h"
#include "cli/key_protection.h"
#include "cli/std_streams.h"
#include "crypto/file_handle.h"
#include "crypto/file_transform.h"

namespace zorv {
namespace {

// Reads a file from its start, and stops (as a failed read) once the user
// has interrupted the run.
class InterruptibleFileSource : public ByteSource {
public:
    explicit InterruptibleFileSource(const FileHandle& file) : file_(file) {}

    std::size_t Read(std::uint8_t* buffer, std::size_t n) override {
        if (Interrupted() || !file_.ReadAt(offset_, buffer, n)) {
            failed = true;
            return 0;
        }
        offset_ += n;
        return n;
    }

private:
    const FileHandle& file_;
    std::uint64_t offset_ = 0;
};

ResultCode InterruptedOr(ResultCode result) {
    return Interrupted() && result != kResultOk ? kResultInterrupted : result;
}

}  // namespace

ResultCode StreamFile(Command command, const FileCipher& cipher, const std::string& path,
                      ByteSink& sink) {
    FileHandle file;
    if (!file.OpenRegularForRead(path.c_str())) {
        return WhyNotOpened(path);
    }
    std::int64_t size = file.Size();
    if (size < 0) {
        return kResultReadFailed;
    }
    FileCipher own(cipher);
    LockInMemory(&own, sizeof own);
    InterruptibleFileSource source(file);
    auto bytes = static_cast<std::uint64_t>(size);
    ResultCode result = command == Command::kEncrypt ? EncryptStream(own, source, bytes, sink)
                                                     : DecryptStream(own, source, bytes, sink);
    return InterruptedOr(result);
}

ResultCode StreamStandardInput(Command command, const FileCipher& cipher, ByteSink& sink,
                               unsigned threads) {
    FileCipher own(cipher);
    LockInMemory(&own, sizeof own);
    StandardInputSource source;
    if (command == Command::kEncrypt) {
        return InterruptedOr(EncryptUnsized(own, source, sink, threads > 1));
    }
    DiscardSink discard;
    return InterruptedOr(DecryptUnsized(own, source, command == Command::kVerify ? discard : sink));
}

}  // namespace zorv
