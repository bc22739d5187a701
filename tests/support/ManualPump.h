#pragma once
// Stands in for the user-interface thread's event loop in tests of the port's event thread: the
// port's notifier wakes it, and the test thread runs the hand-overs.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "link/ComPort.h"

namespace orbiqa::test {

class ManualPump {
public:
    explicit ManualPump(TComPort& port) : port_(port) {
        port_.SetHandoverNotifier([this] {
            {
                std::lock_guard lock(mutex_);
                ++notifications_;
            }
            cv_.notify_all();
        });
    }

    /// Runs hand-overs on this thread until pred holds or the time runs out.
    bool PumpUntil(const std::function<bool()>& pred,
                   std::chrono::milliseconds limit = std::chrono::milliseconds(3000)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!pred()) {
            {
                std::unique_lock lock(mutex_);
                if (!cv_.wait_until(lock, deadline, [this] { return notifications_ > 0; })) return pred();
                notifications_ = 0;
            }
            port_.RunPendingHandover();
        }
        return true;
    }

    int Notifications() {
        std::lock_guard lock(mutex_);
        return notifications_;
    }

private:
    TComPort& port_;
    std::mutex mutex_;
    std::condition_variable cv_;
    int notifications_ = 0;
};

}  // namespace orbiqa::test
