// The worker thread's event protocol and handle ownership.
#include "decrypt/worker_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <utility>

namespace zorv {
namespace {

// Runs until its event is signalled, counting its runs.
class WaitingWorker : public WorkerThread {
public:
    std::atomic<int> runs{0};
    std::atomic<bool> started{false};

protected:
    int Run() override {
        ++runs;
        started = true;
        while (!IsSignalled()) {
            Sleep(10);
        }
        return 42;
    }
};

TEST(WorkerThread, EventStartsSetAndStartResetsIt) {
    WaitingWorker worker;
    EXPECT_TRUE(worker.IsSignalled());
    EXPECT_FALSE(worker.IsRunning());
    EXPECT_TRUE(worker.WaitForEnd(0));  // never started

    ASSERT_TRUE(worker.Start());
    EXPECT_FALSE(worker.IsSignalled());
    while (!worker.started) {
        Sleep(1);
    }
    EXPECT_TRUE(worker.IsRunning());
    EXPECT_FALSE(worker.WaitForEnd(50));

    worker.Signal();
    worker.Signal();  // a second request changes nothing
    EXPECT_TRUE(worker.IsSignalled());
    ASSERT_TRUE(worker.WaitForEnd(5000));
    EXPECT_FALSE(worker.IsRunning());
    EXPECT_TRUE(worker.IsSignalled());  // stays set after the worker has seen it
    EXPECT_EQ(worker.runs, 1);
}

TEST(WorkerThread, RunsOnceAndRefusesASecondStart) {
    WaitingWorker worker;
    ASSERT_TRUE(worker.Start());
    worker.Signal();
    ASSERT_TRUE(worker.WaitForEnd(5000));
    EXPECT_FALSE(worker.Start());
    EXPECT_EQ(worker.runs, 1);
}

TEST(WorkerThread, BaseRunDoesNothing) {
    WorkerThread worker;
    ASSERT_TRUE(worker.Start());
    EXPECT_TRUE(worker.WaitForEnd(5000));
    EXPECT_FALSE(worker.IsSignalled());  // nobody signalled it
}

TEST(ScopedWaitableHandle, ClosesOnceAndMovesOwnership) {
    HANDLE raw = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(raw, nullptr);
    HANDLE duplicate = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), raw, GetCurrentProcess(), &duplicate, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    {
        ScopedWaitableHandle first(raw);
        ScopedWaitableHandle second(std::move(first));
        EXPECT_FALSE(first.IsValid());
        EXPECT_EQ(second.Get(), raw);
        ScopedWaitableHandle third;
        third = std::move(second);
        EXPECT_EQ(third.Get(), raw);
        EXPECT_FALSE(second.IsValid());
    }
    // The object is still alive through the duplicate; the original handle
    // value no longer names it.
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(raw, &flags));
    EXPECT_TRUE(SetEvent(duplicate));
    CloseHandle(duplicate);
}

}  // namespace
}  // namespace zorv
