// A worker thread with a manual-reset event through which the user-interface
// thread can ask the worker to stop waiting.
#pragma once

#include <windows.h>

#include "app/win32_handles.h"

namespace zorv {

// Base of a job that runs once on its own thread. The event is manual-reset
// and starts set; Start resets it, Signal sets it for good (nothing resets it
// again), and the job polls it with IsSignalled.
//
// Neither copyable nor movable: the running thread holds the object's
// address. The destructor closes both handles but neither waits for nor stops
// the thread, so the owner must not destroy the object while IsRunning.
class WorkerThread {
public:
    WorkerThread();
    virtual ~WorkerThread() = default;
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Resets the event and starts a thread that calls Run and ends with its
    // result as exit code. False when the event or the thread could not be
    // created (Run then never runs). Call at most once.
    bool Start();

    // Sets the event; later calls change nothing.
    void Signal();
    // The event is set (a wait with time-out 0 finds it signalled).
    bool IsSignalled() const;
    // A thread was started and has not ended yet.
    bool IsRunning() const;
    // Waits up to milliseconds for the thread to end; true when it has ended
    // or was never started.
    bool WaitForEnd(DWORD milliseconds) const;

protected:
    // The job. The base does nothing and returns 0.
    virtual int Run();

private:
    static DWORD WINAPI ThreadRoutine(void* parameter);

    ScopedHandle threadHandle_;
    ScopedHandle event_;
};

}  // namespace zorv
