#include "cli/interrupt.h"

#include <atomic>
#include <csignal>

#ifdef _WIN32
#include <windows.h>
#endif

namespace zorv {
namespace {

// Lock-free, so it may be written from a signal handler.
std::atomic<bool> interruptFlag{false};
static_assert(std::atomic<bool>::is_always_lock_free, "flag must be usable in a signal handler");

#ifdef _WIN32
BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
        return FALSE;
    }
    if (interruptFlag.exchange(true)) {
        return FALSE;  // second press: let the default handler end the process
    }
    return TRUE;
}
#else
void OnSigint(int) {
    interruptFlag.store(true);
}
#endif

}  // namespace

void InstallInterruptHandler() {
#ifdef _WIN32
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
#else
    struct sigaction action = {};
    action.sa_handler = OnSigint;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a blocking terminal read returns EINTR so the password
    // prompt can restore the echo and leave. SA_RESETHAND: the second
    // interrupt gets the default action.
    action.sa_flags = static_cast<int>(SA_RESETHAND);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A closed pipe (cat into head) should be a failed write, not a kill
    // that skips clearing the plain-text buffers.
    std::signal(SIGPIPE, SIG_IGN);
#endif
}

bool Interrupted() {
    return interruptFlag.load(std::memory_order_relaxed);
}

void RaiseInterruptFlag() {
    interruptFlag.store(true);
}

}  // namespace zorv
