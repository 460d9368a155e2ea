// The platform-independent half of PlatformFile: ownership, the read and
// write loops, and the failure-injection seam used by tests.
#include "cli/platform_file.h"

#include <atomic>
#include <thread>
#include <utility>

#include "cli/platform_backend.h"

namespace zorv {
namespace {

// The plan and the counts, shared by the threads of a run: a counter is
// taken in one step, so exactly one call is the Nth whichever thread makes
// it.
struct FaultState {
    std::atomic<std::int64_t> failReadAt{0};
    std::atomic<std::int64_t> failWriteAt{0};
    std::atomic<std::int64_t> failSyncAt{0};
    std::atomic<std::int64_t> reads{0};
    std::atomic<std::int64_t> writes{0};
    std::atomic<std::int64_t> syncs{0};
};

FaultState& Faults() {
    static FaultState state;
    return state;
}

// Counts a call; true when the plan makes it fail.
bool Fails(std::atomic<std::int64_t>& calls, const std::atomic<std::int64_t>& failAt) {
    const std::int64_t n = calls.fetch_add(1, std::memory_order_relaxed) + 1;
    return n == failAt.load(std::memory_order_relaxed);
}

// Calls once(offset, bytes, n) until all n bytes are moved; false when a
// call fails or moves nothing (the end of the file when reading).
template <typename Byte, typename Once>
bool TransferAll(Byte* bytes, std::size_t n, std::uint64_t offset, Once once) {
    while (n > 0) {
        const std::int64_t moved = once(offset, bytes, n);
        if (moved <= 0) {
            return false;
        }
        bytes += moved;
        n -= static_cast<std::size_t>(moved);
        offset += static_cast<std::uint64_t>(moved);
    }
    return true;
}

}  // namespace

void SetPlatformFaults(const PlatformFaultPlan& plan) {
    FaultState& state = Faults();
    state.failReadAt = plan.failReadAt;
    state.failWriteAt = plan.failWriteAt;
    state.failSyncAt = plan.failSyncAt;
    state.reads = 0;
    state.writes = 0;
    state.syncs = 0;
}

void ClearPlatformFaults() {
    SetPlatformFaults(PlatformFaultPlan{});
}

PlatformCallCounts GetPlatformCallCounts() {
    const FaultState& state = Faults();
    return PlatformCallCounts{state.reads.load(), state.writes.load(), state.syncs.load()};
}

PlatformFile::~PlatformFile() {
    Close();
}

PlatformFile::PlatformFile(PlatformFile&& other) noexcept
    : handle_(std::exchange(other.handle_, platform::NoFile())) {}

PlatformFile& PlatformFile::operator=(PlatformFile&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, platform::NoFile());
    }
    return *this;
}

void PlatformFile::Close() {
    if (handle_ != platform::NoFile()) {
        platform::CloseNative(handle_);
        handle_ = platform::NoFile();
    }
}

bool PlatformFile::IsOpen() const {
    return handle_ != platform::NoFile();
}

bool PlatformFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t n) const {
    return !Fails(Faults().reads, Faults().failReadAt) &&
           TransferAll(static_cast<unsigned char*>(buffer), n, offset,
                       [this](std::uint64_t at, unsigned char* bytes, std::size_t count) {
                           return platform::ReadOnceAt(handle_, at, bytes, count);
                       });
}

bool PlatformFile::WriteAt(std::uint64_t offset, const void* buffer, std::size_t n) const {
    return !Fails(Faults().writes, Faults().failWriteAt) &&
           TransferAll(static_cast<const unsigned char*>(buffer), n, offset,
                       [this](std::uint64_t at, const unsigned char* bytes, std::size_t count) {
                           return platform::WriteOnceAt(handle_, at, bytes, count);
                       });
}

bool PlatformFile::Sync() const {
    return !Fails(Faults().syncs, Faults().failSyncAt) && platform::SyncNative(handle_);
}

std::size_t PathLength(const std::string& path) {
#ifdef _WIN32
    std::size_t units = 0;
    for (char c : path) {
        auto byte = static_cast<unsigned char>(c);
        // A lead byte starts one unit, a four-byte sequence's a pair.
        units += ((byte & 0xC0) != 0x80 ? 1u : 0u) + (byte >= 0xF0 ? 1u : 0u);
    }
    return units;
#else
    return path.size();
#endif
}

unsigned ProcessorCount() {
    unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : n;
}

}  // namespace zorv
