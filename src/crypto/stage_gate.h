// What the stages of a threaded transform share: one lock, the one
// condition they all wait on, and the run's result. The first failure stops
// every stage: a stage that waits is woken and told so.
#pragma once

#include <condition_variable>
#include <mutex>

#include "crypto/result_code.h"

namespace zorv {

class StageGate {
public:
    // Waits until ready() holds (it is checked under the lock); false, at
    // once, when the run was stopped.
    template <typename Ready>
    bool WaitUntil(Ready ready) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return stopped_ || ready(); });
        return !stopped_;
    }

    // Makes change under the lock, then wakes every stage.
    template <typename Change>
    void Update(Change change) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            change();
        }
        changed_.notify_all();
    }

    // Stops the run with code, unless it was stopped before: the first
    // failure is the run's result.
    void Stop(ResultCode code) {
        Update([&] {
            if (!stopped_) {
                result_ = code;
                stopped_ = true;
            }
        });
    }

    bool Stopped() {
        std::lock_guard<std::mutex> lock(mutex_);
        return stopped_;
    }
    ResultCode Result() {
        std::lock_guard<std::mutex> lock(mutex_);
        return result_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool stopped_ = false;
    ResultCode result_ = kResultOk;
};

}  // namespace zorv
