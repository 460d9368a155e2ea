#include "cli/interrupt.h"

#include <atomic>
#include <csignal>
#include <cstring>

#ifdef _WIN32
#include <windows.h>

#include <string>

#include "crypto/wide_path.h"
#else
#include <unistd.h>
#endif

#include "crypto/file_handle.h"

namespace zorv {
namespace {

// Lock-free, so they may be written from a signal handler.
std::atomic<bool> interruptFlag{false};
std::atomic<int> firstSignal{0};
static_assert(std::atomic<bool>::is_always_lock_free, "flag must be usable in a signal handler");
static_assert(std::atomic<int>::is_always_lock_free, "signal must be usable in a signal handler");

constexpr int kInterruptSignal = 2;  // SIGINT's number, and Ctrl+C's status on Windows

// Places for the paths of the temporary files in use. A place is taken with
// `state` going from kFree to kWriting, filled, then published as kReady; the
// handler removes only kReady paths, whose bytes no thread changes.
constexpr int kSlots = 64;
constexpr std::size_t kSlotBytes = 4096;
enum SlotState { kFree, kWriting, kReady };
struct Slot {
    std::atomic<int> state{kFree};
    char path[kSlotBytes];
};
Slot slots[kSlots];

void RemoveRegisteredTemporaries() {
    for (Slot& slot : slots) {
        if (slot.state.load() == kReady) {
#ifdef _WIN32
            // A console control handler runs as a thread of its own, so it
            // may convert the path (allocating) as any thread does.
            std::wstring wide;
            if (WidePath(slot.path, &wide)) {
                DeleteFileW(wide.c_str());
            }
#else
            unlink(slot.path);  // async-signal-safe
#endif
        }
    }
}

// Takes a place for path: its number, or -1 when the path does not fit or
// every place is taken.
int TakeSlot(const char* path) {
    const std::size_t bytes = std::strlen(path) + 1;
    if (bytes > kSlotBytes) {
        return -1;
    }
    for (int i = 0; i < kSlots; ++i) {
        int expected = kFree;
        if (slots[i].state.compare_exchange_strong(expected, kWriting)) {
            std::memcpy(slots[i].path, path, bytes);
            slots[i].state.store(kReady);
            return i;
        }
    }
    return -1;
}

void FreeSlot(int slot) {
    if (slot >= 0) {
        slots[slot].state.store(kFree);
    }
}

#ifdef _WIN32
BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
        return FALSE;
    }
    if (interruptFlag.exchange(true)) {
        // Second press: remove what can be (a file still open in a job
        // cannot be deleted from here); the default handler ends the process.
        RemoveRegisteredTemporaries();
        return FALSE;
    }
    firstSignal.store(kInterruptSignal);
    return TRUE;
}
#else
// Every signal whose default action ends the process, but for the faults
// (a crash is no request to stop) and SIGPIPE and SIGXFSZ (ignored, so the
// write fails and the job with it): each ends the run as Ctrl+C does, so
// the jobs destroy their temporary files. The real-time signals follow.
constexpr int kHandledSignals[] = {
    SIGINT,    SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU,
#ifdef SIGPOLL
    SIGPOLL,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
};

template <typename Each>
void ForEachHandledSignal(Each each) {
    for (int number : kHandledSignals) {
        each(number);
    }
#ifdef SIGRTMIN
    for (int number = SIGRTMIN; number <= SIGRTMAX; ++number) {
        each(number);
    }
#endif
}

void OnSignal(int number) {
    if (!interruptFlag.exchange(true)) {
        firstSignal.store(number);
        return;
    }
    RemoveRegisteredTemporaries();
    _exit(128 + number);
}
#endif

}  // namespace

void InstallInterruptHandler() {
    // The names the file seam gives temporaries while placing them, which
    // the jobs never see, are remembered too.
    TemporaryNameWatch watch;
    watch.named = TakeSlot;
    watch.dropped = FreeSlot;
    WatchTemporaryNames(watch);
#ifdef _WIN32
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
#else
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // One handler at a time.
    ForEachHandledSignal([&](int number) { sigaddset(&action.sa_mask, number); });
    // No SA_RESTART: a blocking terminal read returns EINTR so the password
    // prompt can restore the echo and leave.
    action.sa_flags = 0;
    ForEachHandledSignal([&](int number) { sigaction(number, &action, nullptr); });
    // A closed pipe (cat into head) should be a failed write, not a kill
    // that skips clearing the plain-text buffers; a file grown past the
    // size limit (ulimit -f) a failed write (EFBIG) too, not a kill that
    // leaves the partial temporary file.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

bool Interrupted() {
    return interruptFlag.load(std::memory_order_relaxed);
}

int InterruptedExitStatus() {
    const int number = firstSignal.load();
    return 128 + (number != 0 ? number : kInterruptSignal);
}

void RaiseInterruptFlag() {
    interruptFlag.store(true);
}

TemporaryRegistration::TemporaryRegistration(const std::string& path)
    : slot_(TakeSlot(path.c_str())) {}

TemporaryRegistration::~TemporaryRegistration() {
    FreeSlot(slot_);
}

}  // namespace zorv
