// Interruption: Ctrl+C, and on POSIX every signal whose default action ends
// the process but for the faults (SIGTERM, SIGHUP, SIGQUIT, SIGUSR1,
// SIGALRM, the real-time signals...; SIGPIPE and SIGXFSZ are ignored, so a
// write fails instead). The first signal only raises a flag that the
// workers poll between chunks, so every job can stop where it stands,
// destroy its temporary file (a plain text one is overwritten once, flushed
// and removed: quick, so the program ends within about a second) and leave
// the source untouched. A second
// signal ends the process at once (POSIX: status 128 + the signal's
// number), after removing every temporary file still registered, so that
// no plain text stays behind under a name.
#pragma once

#include <string>

namespace zorv {

// Installs the handlers, and has the file seam report the temporary names
// it gives on its own (WatchTemporaryNames), which a second signal then
// removes as it removes registered ones. Call once, early, from the main
// thread.
void InstallInterruptHandler();

// True once the user has interrupted the run.
bool Interrupted();

// The exit status for an interrupted run: 128 + the first signal's number
// (130 for Ctrl+C, and when the flag was raised by RaiseInterruptFlag).
int InterruptedExitStatus();

// Raises the flag as an interrupt would (tests, and a failed terminal read).
void RaiseInterruptFlag();

// Temporary files that a second signal removes before the process ends:
// those with a name (a file system without files that have none); the
// others vanish with the process anyway. Register right after creating
// one, unregister once it is renamed or destroyed. A path that does not
// fit, or more files at once than there are places, goes unregistered (the
// first signal still destroys it). Thread-safe.
class TemporaryRegistration {
public:
    explicit TemporaryRegistration(const std::string& path);
    ~TemporaryRegistration();
    TemporaryRegistration(const TemporaryRegistration&) = delete;
    TemporaryRegistration& operator=(const TemporaryRegistration&) = delete;

private:
    int slot_;
};

}  // namespace zorv
