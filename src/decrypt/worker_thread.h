// A worker thread with a manual-reset event through which the user-interface
// thread can ask the worker to stop waiting, and the owner of the kernel
// handles involved.
#pragma once

#include <windows.h>

namespace zorv {

// Owner of a kernel handle whose "none" is null: threads, events and
// processes (file handles use INVALID_HANDLE_VALUE and are not meant here).
// Move-only; closes the handle on destruction.
class ScopedWaitableHandle {
public:
    ScopedWaitableHandle() = default;
    explicit ScopedWaitableHandle(HANDLE handle) : handle_(handle) {}
    ScopedWaitableHandle(ScopedWaitableHandle&& other) noexcept;
    ScopedWaitableHandle& operator=(ScopedWaitableHandle&& other) noexcept;
    ScopedWaitableHandle(const ScopedWaitableHandle&) = delete;
    ScopedWaitableHandle& operator=(const ScopedWaitableHandle&) = delete;
    ~ScopedWaitableHandle();

    HANDLE Get() const { return handle_; }
    bool IsValid() const { return handle_ != nullptr; }
    // Closes the held handle (if any) and takes handle in its place.
    void Reset(HANDLE handle = nullptr);

private:
    HANDLE handle_ = nullptr;
};

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

    ScopedWaitableHandle threadHandle_;
    ScopedWaitableHandle event_;
};

}  // namespace zorv
