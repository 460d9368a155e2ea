// The worker thread's event protocol.
#include "batch/worker_thread.h"

#include <gtest/gtest.h>

#include <atomic>

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

}  // namespace
}  // namespace zorv
