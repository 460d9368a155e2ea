// The program entry's work: single-instance guard, settings, the argument
// and clipboard lists, and the one dialog the dispatch chooses.
#pragma once

#include <windows.h>

namespace zorv {

// Name of the mutex that makes the program single-instance.
constexpr char kInstanceMutexName[] = "Zorv";

// Runs one start of the program; returns the process's exit code: 0, or -1
// when the argument list cannot be allocated (after message 52). A second
// instance brings the running one's visible dialog to the front and returns
// 0, with no window of its own.
int RunProgram(HINSTANCE instance);

}  // namespace zorv
