// Ctrl+C handling. The first interrupt only raises a flag that the workers
// poll between chunks, so every job can stop where it stands, destroy its
// temporary file and leave the source untouched. A second interrupt takes
// the platform's default action (the process ends at once): a user who
// does not want to wait for the clean-up can still get out.
#pragma once

namespace zorv {

// Installs the handler. Call once, early, from the main thread.
void InstallInterruptHandler();

// True once the user has interrupted the run.
bool Interrupted();

// Raises the flag as an interrupt would (tests, and a failed terminal read).
void RaiseInterruptFlag();

}  // namespace zorv
