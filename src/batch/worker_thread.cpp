#include "batch/worker_thread.h"

namespace zorv {

WorkerThread::WorkerThread() : event_(CreateEventA(nullptr, TRUE, TRUE, nullptr)) {}

bool WorkerThread::Start() {
    if (!event_.IsValid() || threadHandle_.IsValid()) {
        return false;
    }
    ResetEvent(event_.Get());
    threadHandle_.Reset(CreateThread(nullptr, 0, ThreadRoutine, this, 0, nullptr));
    return threadHandle_.IsValid();
}

void WorkerThread::Signal() {
    if (event_.IsValid()) {
        SetEvent(event_.Get());
    }
}

bool WorkerThread::IsSignalled() const {
    return event_.IsValid() && WaitForSingleObject(event_.Get(), 0) == WAIT_OBJECT_0;
}

bool WorkerThread::IsRunning() const {
    return threadHandle_.IsValid() && WaitForSingleObject(threadHandle_.Get(), 0) == WAIT_TIMEOUT;
}

bool WorkerThread::WaitForEnd(DWORD milliseconds) const {
    return !threadHandle_.IsValid() ||
           WaitForSingleObject(threadHandle_.Get(), milliseconds) != WAIT_TIMEOUT;
}

int WorkerThread::Run() {
    return 0;
}

DWORD WINAPI WorkerThread::ThreadRoutine(void* parameter) {
    auto* worker = static_cast<WorkerThread*>(parameter);
    return static_cast<DWORD>(worker->Run());
}

}  // namespace zorv
