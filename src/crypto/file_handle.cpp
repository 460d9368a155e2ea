// The platform-independent half of FileHandle: ownership, the read and write
// loops, and the failure-injection seam used by tests.
#include "crypto/file_handle.h"

#include "crypto/file_handle_backend.h"

namespace zorv {
namespace {

enum class Fault { kNone, kFail, kShort };

struct FaultState {
    FileFaultPlan plan;
    FileCallCounts counts;
};

FaultState& Faults() {
    static FaultState state;
    return state;
}

Fault NextFault(int64_t& calls, int64_t failAt, int64_t shortAt) {
    ++calls;
    if (calls == failAt) {
        return Fault::kFail;
    }
    return calls == shortAt ? Fault::kShort : Fault::kNone;
}

}  // namespace

void SetFileFaults(const FileFaultPlan& plan) {
    Faults().plan = plan;
    Faults().counts = FileCallCounts{};
}

void ClearFileFaults() {
    SetFileFaults(FileFaultPlan{});
}

FileCallCounts GetFileCallCounts() {
    return Faults().counts;
}

bool BuffersRefused() {
    return Faults().plan.refuseBuffers;
}

FileHandle::FileHandle(FileHandle&& other) noexcept : handle_(other.handle_), owns_(other.owns_) {
    other.handle_ = kNone;
    other.owns_ = false;
}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = other.handle_;
        owns_ = other.owns_;
        other.handle_ = kNone;
        other.owns_ = false;
    }
    return *this;
}

FileHandle::~FileHandle() {
    Close();
}

bool FileHandle::Close() {
    bool ok = true;
    if (handle_ != kNone && owns_) {
        ok = backend::CloseNative(handle_);
    }
    handle_ = kNone;
    owns_ = false;
    return ok;
}

size_t FileHandle::Read(void* buffer, size_t n) {
    FaultState& f = Faults();
    switch (NextFault(f.counts.reads, f.plan.failReadAt, f.plan.shortReadAt)) {
        case Fault::kFail:
            return 0;
        case Fault::kShort:
            n /= 2;
            break;
        case Fault::kNone:
            break;
    }
    auto* p = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < n) {
        const int64_t got = backend::ReadOnce(handle_, p + done, n - done);
        if (got <= 0) {
            break;
        }
        done += static_cast<size_t>(got);
    }
    return done;
}

size_t FileHandle::Write(const void* buffer, size_t n) {
    FaultState& f = Faults();
    switch (NextFault(f.counts.writes, f.plan.failWriteAt, f.plan.shortWriteAt)) {
        case Fault::kFail:
            return 0;
        case Fault::kShort:
            n /= 2;
            break;
        case Fault::kNone:
            break;
    }
    const auto* p = static_cast<const uint8_t*>(buffer);
    if (f.plan.observe != nullptr) {
        f.plan.observe(f.plan.observeContext, p, n);
    }
    size_t done = 0;
    while (done < n) {
        const int64_t put = backend::WriteOnce(handle_, p + done, n - done);
        if (put <= 0) {
            break;
        }
        done += static_cast<size_t>(put);
    }
    f.counts.bytesWritten += done;
    return done;
}

bool FileHandle::Flush() {
    return FlushWith(false);
}

bool FileHandle::FlushData() {
    return FlushWith(true);
}

bool FileHandle::FlushWith(bool dataOnly) {
    FaultState& f = Faults();
    if (NextFault(f.counts.flushes, f.plan.failFlushAt, 0) == Fault::kFail) {
        return false;
    }
    if (!backend::FlushNative(handle_, dataOnly)) {
        return false;
    }
    if (f.plan.observe != nullptr) {
        f.plan.observe(f.plan.observeContext, nullptr, 0);
    }
    return true;
}

}  // namespace zorv
