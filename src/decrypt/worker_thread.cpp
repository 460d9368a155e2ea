#include "decrypt/worker_thread.h"

namespace zorv {

WorkerThread::WorkerThread() : event(CreateEventA(nullptr, TRUE, TRUE, nullptr)) {}

bool WorkerThread::Start() {
    if (!event.IsValid() || threadHandle.IsValid()) {
        return false;
    }
    ResetEvent(event.Get());
    threadHandle.Reset(CreateThread(nullptr, 0, ThreadRoutine, this, 0, nullptr));
    return threadHandle.IsValid();
}

void WorkerThread::Signal() {
    if (event.IsValid()) {
        SetEvent(event.Get());
    }
}

bool WorkerThread::IsSignalled() const {
    return event.IsValid() && WaitForSingleObject(event.Get(), 0) == WAIT_OBJECT_0;
}

bool WorkerThread::IsRunning() const {
    return threadHandle.IsValid() && WaitForSingleObject(threadHandle.Get(), 0) == WAIT_TIMEOUT;
}

bool WorkerThread::WaitForEnd(DWORD milliseconds) const {
    return !threadHandle.IsValid() ||
           WaitForSingleObject(threadHandle.Get(), milliseconds) != WAIT_TIMEOUT;
}

int WorkerThread::Run() {
    return 0;
}

DWORD WINAPI WorkerThread::ThreadRoutine(void* parameter) {
    auto* worker = static_cast<WorkerThread*>(parameter);
    return static_cast<DWORD>(worker->Run());
}

}  // namespace zorv
