// The platform-independent half of FileHandle: ownership, the read and write
// loops, and the failure-injection seam used by tests.
#include "crypto/file_handle.h"

#include <atomic>

#include "crypto/file_handle_backend.h"
#include "crypto/leftover_names.h"

namespace zorv {
namespace {

// The plan, set while no file work runs, and the counts, shared by the
// threads of a run.
struct FaultState {
    FileFaultPlan plan;
    std::atomic<int64_t> reads{0};
    std::atomic<int64_t> writes{0};
    std::atomic<int64_t> flushes{0};
    std::atomic<uint64_t> bytesWritten{0};
    std::atomic<int64_t> creates{0};
    std::atomic<int64_t> unmarks{0};
    std::atomic<int64_t> renames{0};
    std::atomic<int64_t> removes{0};
};

FaultState& Faults() {
    static FaultState state;
    return state;
}

// Counts one call and applies the plan to it: false when the call is to
// fail, and *n halved when it is to come up short.
bool PlannedLength(std::atomic<int64_t>& calls, int64_t failAt, int64_t shortAt, size_t* n) {
    const int64_t call = calls.fetch_add(1, std::memory_order_relaxed) + 1;
    if (call == failAt) {
        return false;
    }
    if (call == shortAt) {
        *n /= 2;
    }
    return true;
}

// Repeats a single read or write until n bytes have moved or a call moves
// none; returns how many moved.
template <typename Once>
size_t MoveAll(size_t n, Once once) {
    size_t done = 0;
    while (done < n) {
        const int64_t moved = once(done, n - done);
        if (moved <= 0) {
            break;
        }
        done += static_cast<size_t>(moved);
    }
    return done;
}

}  // namespace

void SetFileFaults(const FileFaultPlan& plan) {
    FaultState& f = Faults();
    f.plan = plan;
    f.reads = 0;
    f.writes = 0;
    f.flushes = 0;
    f.bytesWritten = 0;
    f.creates = 0;
    f.unmarks = 0;
    f.renames = 0;
    f.removes = 0;
}

void ClearFileFaults() {
    SetFileFaults(FileFaultPlan{});
}

FileCallCounts GetFileCallCounts() {
    const FaultState& f = Faults();
    return FileCallCounts{f.reads.load(),        f.writes.load(),  f.flushes.load(),
                          f.bytesWritten.load(), f.creates.load(), f.unmarks.load(),
                          f.renames.load(),      f.removes.load()};
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
    if (!PlannedLength(f.reads, f.plan.failReadAt, f.plan.shortReadAt, &n)) {
        return 0;
    }
    auto* p = static_cast<uint8_t*>(buffer);
    return MoveAll(
        n, [&](size_t at, size_t left) { return backend::ReadOnce(handle_, p + at, left); });
}

size_t FileHandle::Write(const void* buffer, size_t n) {
    FaultState& f = Faults();
    if (!PlannedLength(f.writes, f.plan.failWriteAt, f.plan.shortWriteAt, &n)) {
        return 0;
    }
    const auto* p = static_cast<const uint8_t*>(buffer);
    if (f.plan.observe != nullptr) {
        f.plan.observe(f.plan.observeContext, p, n);
    }
    const size_t done = MoveAll(
        n, [&](size_t at, size_t left) { return backend::WriteOnce(handle_, p + at, left); });
    f.bytesWritten += done;
    return done;
}

bool FileHandle::Flush() {
    return FlushWith(false);
}

bool FileHandle::FlushData() {
    return FlushWith(true);
}

bool FileHandle::FlushWith(bool dataOnly) {
    return backend::PlannedFlush(
        [this, dataOnly] { return backend::FlushNative(handle_, dataOnly); });
}

namespace backend {

bool FlushAllowed() {
    FaultState& f = Faults();
    size_t unused = 0;
    return PlannedLength(f.flushes, f.plan.failFlushAt, 0, &unused);
}

void FlushObserved() {
    const FaultState& f = Faults();
    if (f.plan.observe != nullptr) {
        f.plan.observe(f.plan.observeContext, nullptr, 0);
    }
}

}  // namespace backend

// --- Files at offsets --------------------------------------------------------

bool FileHandle::ReadAt(uint64_t offset, void* buffer, size_t n) const {
    FaultState& f = Faults();
    auto* p = static_cast<uint8_t*>(buffer);
    return PlannedLength(f.reads, f.plan.failReadAt, 0, &n) &&
           MoveAll(n, [&](size_t at, size_t left) {
               return backend::ReadOnceAt(handle_, offset + at, p + at, left);
           }) == n;
}

bool FileHandle::WriteAt(uint64_t offset, const void* buffer, size_t n) const {
    FaultState& f = Faults();
    const auto* p = static_cast<const uint8_t*>(buffer);
    if (!PlannedLength(f.writes, f.plan.failWriteAt, 0, &n)) {
        return false;
    }
    const size_t done = MoveAll(n, [&](size_t at, size_t left) {
        return backend::WriteOnceAt(handle_, offset + at, p + at, left);
    });
    f.bytesWritten += done;
    return done == n;
}

}  // namespace zorv

// --- Name steps and temporary files that vanish -----------------------------

namespace zorv {
namespace {

// Attempts at a free name before giving up: a taken one is a rare collision.
constexpr int kNameAttempts = 16;

TemporaryNameWatch& Watch() {
    static TemporaryNameWatch watch;
    return watch;
}

}  // namespace

void WatchTemporaryNames(const TemporaryNameWatch& watch) {
    Watch() = watch;
}

bool StepFails(FileStep step) {
    FaultState& f = Faults();
    switch (step) {
        case FileStep::kCreate:
            return ++f.creates == f.plan.failCreateAt;
        case FileStep::kUnmark:
            return ++f.unmarks == f.plan.failUnmarkAt;
        case FileStep::kRename:
            return ++f.renames == f.plan.failRenameAt;
        case FileStep::kRemove:
            return ++f.removes == f.plan.failRemoveAt;
    }
    return false;
}

ResultCode VanishingFile::Create(const char* finalPath) {
    (void)Discard();
    if (StepFails(FileStep::kCreate)) {
        return kResultOpenFailed;
    }
    final_ = finalPath;
    const std::string folder = final_.substr(0, backend::NameOffset(finalPath));
    const FileHandle::Native unnamed = backend::CreateUnnamed(folder);
    if (unnamed != FileHandle::kNone) {
        // Held from the start: it may get a temporary name while placed.
        (void)backend::HoldAlone(unnamed);
        file_ = FileHandle(unnamed, true);
        return kResultOk;
    }
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        char name[kLeftoverNameBytes];
        MakeLeftoverName(LeftoverKind::kTemporary, name);
        const std::string path = folder + name;
        FileHandle::Native handle = FileHandle::kNone;
        switch (backend::CreateNamed(path.c_str(), &handle, &marked_)) {
            case backend::Created::kOk:
                // Nobody else knows the name yet: nobody else holds it.
                (void)backend::HoldAlone(handle);
                file_ = FileHandle(handle, true);
                temporary_ = path;
                return kResultOk;
            case backend::Created::kTaken:
                continue;
            case backend::Created::kTooLong:
                return kResultPathTooLong;
            case backend::Created::kFailed:
                return kResultOpenFailed;
        }
    }
    return kResultOpenFailed;
}

ResultCode VanishingFile::Place(const Placing& placing) {
    // On the disk before it has the name: a power cut must never leave a
    // short file under the final name, and the caller may wipe the source
    // next.
    if (!placing.flushed && !file_.FlushData()) {
        return kResultWriteFailed;
    }
    const FileHandle::Native handle = file_.native();
    const bool wasMarked = marked_;
    if (StepFails(FileStep::kUnmark) || (marked_ && !backend::SetDeleteMark(handle, false))) {
        return kResultWriteFailed;
    }
    marked_ = false;
    const ResultCode result = GiveFinalName(placing.replace);
    if (result != kResultOk) {
        // Marked again, so that it still vanishes with the process; should
        // that fail, Discard removes it by name.
        marked_ = wasMarked && backend::SetDeleteMark(handle, true);
        return result;
    }
    DropWatch();
    if (placing.mode >= 0) {
        backend::SetMode(handle, static_cast<unsigned>(placing.mode));
    }
    if (!placing.flushed) {
        (void)backend::FlushFolder(final_.substr(0, backend::NameOffset(final_.c_str())));
    }
    // Flushed above: a late error of the close cannot concern the contents.
    (void)file_.Close();
    temporary_.clear();
    return kResultOk;
}

ResultCode VanishingFile::GiveFinalName(bool replace) {
    // One rename step under the fault plan per name given: a file without a
    // name that replaces another takes two (its temporary name, then the
    // final one).
    const FileHandle::Native handle = file_.native();
    if (temporary_.empty()) {
        if (StepFails(FileStep::kRename)) {
            return kResultWriteFailed;
        }
        const ResultCode linked = backend::LinkUnnamed(handle, final_.c_str());
        if (!replace || linked != kResultFileExists) {
            return linked;
        }
        // A link never replaces a name: the file is first given a temporary
        // name beside the final one (which a kill before the rename leaves
        // for later runs to finish), then renamed over it.
        const std::string folder = final_.substr(0, backend::NameOffset(final_.c_str()));
        ResultCode named = kResultFileExists;
        for (int attempt = 0; attempt < kNameAttempts && named == kResultFileExists; ++attempt) {
            char name[kLeftoverNameBytes];
            MakeLeftoverName(LeftoverKind::kTemporary, name);
            temporary_ = folder + name;
            named = backend::LinkUnnamed(handle, temporary_.c_str());
        }
        if (named != kResultOk) {
            temporary_.clear();
            return named;
        }
        if (Watch().named != nullptr) {
            watch_ = Watch().named(temporary_.c_str());
        }
    }
    if (StepFails(FileStep::kRename)) {
        return kResultWriteFailed;
    }
    return backend::RenameOpenFile(handle, temporary_.c_str(), final_.c_str(), replace);
}

void VanishingFile::DropWatch() {
    if (watch_ >= 0 && Watch().dropped != nullptr) {
        Watch().dropped(watch_);
    }
    watch_ = -1;
}

bool VanishingFile::Discard() {
    const bool named = !temporary_.empty() && file_.IsOpen();
    bool removed = !named || marked_;
    const bool refused = !removed && StepFails(FileStep::kRemove);
    // Removed while held: closed first, a named file could be taken by
    // another run for a leftover before its name is gone. By name once
    // closed where that fails (Windows, when the mark cannot be set).
    if (!removed && !refused) {
        removed = backend::RemoveHeldName(file_.native(), temporary_.c_str());
    }
    (void)file_.Close();
    if (!removed && !refused) {
        removed = backend::RemoveName(temporary_.c_str());
    }
    DropWatch();
    temporary_.clear();
    marked_ = false;
    return removed;
}

}  // namespace zorv
