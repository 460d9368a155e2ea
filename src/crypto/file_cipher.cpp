#include "crypto/file_cipher.h"

#include "crypto/file_handle.h"
#include "crypto/file_transform.h"
#include "crypto/secure_zero.h"
#include "crypto/source_state.h"

namespace zorv {
namespace {

using StreamTransform = ResultCode (*)(FileCipher&, ByteSource&, uint64_t, ByteSink&);
using ParallelTransform = ResultCode (*)(const FileCipher&, const FileHandle&, uint64_t,
                                         const FileHandle&, const TransformOptions&);

ResultCode EncryptParallel(const FileCipher& cipher, const FileHandle& source, uint64_t size,
                           const FileHandle& target, const TransformOptions& options) {
    return EncryptToFile(cipher, source, size, target, options);
}

ResultCode DecryptParallel(const FileCipher& cipher, const FileHandle& source, uint64_t size,
                           const FileHandle& target, const TransformOptions& options) {
    return DecryptToFile(cipher, source, size, &target, options);
}

// One direction of the transforms, in both forms, and whether it checks that
// its source did not change meanwhile (85: encryption only).
struct Direction {
    StreamTransform serial;
    ParallelTransform parallel;
    bool checkUnchanged;
};

const Direction kEncryption{EncryptStream, EncryptParallel, true};
const Direction kDecryption{DecryptStream, DecryptParallel, false};

// Where a transform reports, and from which size it runs on how many threads
// (threads 1: always the serial form).
struct Running {
    TransformProgress* progress;
    unsigned threads;
    uint64_t parallelBytes;
};

// The state of the open source as FileCipher compares it: its size and,
// when haveTimes, its last-write time. False when they cannot be read.
bool ReadState(FileHandle& source, bool haveTimes, SourceState* state) {
    const int64_t size = source.Size();
    FileTimes times;
    if (size < 0 || (haveTimes && !source.GetTimes(&times))) {
        return false;
    }
    state->size = static_cast<uint64_t>(size);
    state->lastWrite = haveTimes ? times.lastWrite : 0;
    return true;
}

// True when the open source still has the state read before the transform.
// The size is read once, so bytes appended meanwhile would be missing from
// the target; bytes rewritten in place would leave it a mix of old and new.
bool Unchanged(FileHandle& source, const SourceState& before, bool haveTimes) {
    SourceState now;
    return ReadState(source, haveTimes, &now) && SourceUnchanged(before, now);
}

// The target as the transform's sink: a file the caller holds open, or one
// named by a path and created by the first write. The transforms get their
// buffer before they write anything, so one that has no memory for it (72)
// leaves no named target behind.
class TargetSink : public ByteSink {
public:
    explicit TargetSink(const char* path) : path_(path), target_(&own_) {}
    explicit TargetSink(FileHandle& open) : path_(nullptr), target_(&open) {}

    bool Write(const uint8_t* data, size_t n) override {
        return Create() && target_->Write(data, n) == n;
    }
    // Creates (or truncates) a named target unless that happened or failed
    // before.
    bool Create() {
        if (path_ != nullptr && !own_.IsOpen() && !createFailed_) {
            createFailed_ = !own_.CreateForWrite(path_, false);
        }
        return target_->IsOpen();
    }
    const char* Path() const { return path_; }
    FileHandle& File() { return *target_; }

private:
    const char* path_;  // null for a target held by the caller
    FileHandle own_;
    FileHandle* target_;
    bool createFailed_ = false;
};

// The source as the transform reads it, telling progress (if any) about
// every read. The transforms read a piece at a time, so this costs one
// indirect call per 256 KiB.
class ReportingSource : public ByteSource {
public:
    ReportingSource(FileHandle& file, TransformProgress* progress)
        : file_(file), progress_(progress) {}

    size_t Read(uint8_t* buffer, size_t n) override {
        const size_t got = file_.Read(buffer, n);
        if (progress_ != nullptr) {
            progress_->OnBytesRead(got);
        }
        return got;
    }

private:
    FileHandle& file_;
    TransformProgress* progress_;
};

// Runs the parallel transform from the open source into a held target. Both
// forms read the whole source and tell progress of every byte, so the
// caller's checks and reports after it are those of the serial form.
ResultCode RunParallel(const FileCipher& cipher, const Direction& direction, FileHandle& source,
                       uint64_t size, FileHandle& target, const Running& running) {
    TransformOptions options;
    options.threads = running.threads;
    options.minRangeBytes = running.parallelBytes / 2;
    options.report = running.progress;
    return direction.parallel(cipher, source, size, target, options);
}

// Opens the source, runs a transform into the target and gives the target
// the source's times. The source is checked for emptiness before the target
// is created, so an empty or missing source leaves no target. A large source
// into a held target runs on the parallel transform when running allows it.
ResultCode TransformFile(FileCipher& cipher, const Direction& direction, const char* sourcePath,
                         TargetSink& out, const Running& running) {
    TransformProgress* progress = running.progress;
    FileHandle source;
    if (!source.OpenForRead(sourcePath)) {
        return kResultOpenFailed;
    }
    const int64_t size = source.Size();
    if (size < 0) {
        return kResultReadFailed;
    }
    if (size == 0) {
        return kResultEmptyFile;
    }
    // Creating the target truncates it: were it the source under another
    // name, the source would be destroyed before it is read.
    if (out.Path() != nullptr && source.IsSameFileAs(out.Path())) {
        return kResultOpenFailed;
    }
    FileTimes times;
    const bool haveTimes = source.GetTimes(&times);
    const SourceState before{static_cast<uint64_t>(size), haveTimes ? times.lastWrite : 0, 0};
    if (progress != nullptr) {
        progress->OnFileStart(sourcePath, static_cast<uint64_t>(size));
    }
    ResultCode result = kResultOk;
    if (out.Path() == nullptr && running.threads > 1 &&
        static_cast<uint64_t>(size) >= running.parallelBytes) {
        result = RunParallel(cipher, direction, source, static_cast<uint64_t>(size), out.File(),
                             running);
    } else {
        ReportingSource in(source, progress);
        result = direction.serial(cipher, in, static_cast<uint64_t>(size), out);
    }
    if (result == kResultOutOfMemory) {
        return result;
    }
    // A transform that stopped before its first write still leaves the
    // (empty) target, as callers expect of every other result.
    if (!out.Create()) {
        return kResultOpenFailed;
    }
    FileHandle& target = out.File();
    if (result == kResultOk && direction.checkUnchanged && !Unchanged(source, before, haveTimes)) {
        result = kResultSourceChanged;
    }
    const bool complete = result == kResultOk || result == kResultWrongPassword;
    if (complete && haveTimes) {
        // Not examined: the times are a courtesy, the contents are what count.
        (void)target.SetTimes(times);
    }
    // Some file systems report a failed write only when the file is closed.
    // A target held by the caller is flushed by its owner, which sees that.
    if (out.Path() != nullptr && !target.Close() && complete) {
        result = kResultWriteFailed;
    }
    return result;
}

}  // namespace

FileCipher::FileCipher(const void* key, int32_t keyLength) : CfbCipher(key, keyLength, FileIv) {}

// Nothing here is secret, but a destroyed cipher leaves nothing behind at
// all: a test checks its whole storage for a key schedule left uncleared.
FileCipher::~FileCipher() {
    SecureZero(&threads_, sizeof threads_);
    SecureZero(&parallelBytes_, sizeof parallelBytes_);
}

ResultCode FileCipher::EncryptFile(const char* sourcePath, const char* targetPath) {
    TargetSink out(targetPath);
    return TransformFile(*this, kEncryption, sourcePath, out, Running{progress_, 1, 0});
}

ResultCode FileCipher::DecryptFile(const char* sourcePath, const char* targetPath) {
    TargetSink out(targetPath);
    return TransformFile(*this, kDecryption, sourcePath, out, Running{progress_, 1, 0});
}

ResultCode FileCipher::EncryptFile(const char* sourcePath, FileHandle& target) {
    TargetSink out(target);
    return TransformFile(*this, kEncryption, sourcePath, out,
                         Running{progress_, static_cast<unsigned>(threads_), parallelBytes_});
}

ResultCode FileCipher::DecryptFile(const char* sourcePath, FileHandle& target) {
    TargetSink out(target);
    return TransformFile(*this, kDecryption, sourcePath, out,
                         Running{progress_, static_cast<unsigned>(threads_), parallelBytes_});
}

}  // namespace zorv
