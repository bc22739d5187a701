#pragma once
// An in-memory serial device for unit tests of the port's and the link's logic: tests push
// received bytes, read what was written, make any step fail and pull the device away.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "device/SerialDevice.h"

namespace orbiqa {

class FakeSerialDevice final : public SerialDevice {
public:
    // Failure switches: 0 = succeed, otherwise the error number returned by that step.
    struct Failures {
        int open = 0, setupQueues = 0, lineSettings = 0, timeouts = 0, purge = 0, write = 0,
            read = 0, pending = 0;
    };

    /// Thread-safe test controls.
    void Receive(const std::vector<std::uint8_t>& bytes);
    void Receive(const std::string& bytes);
    void LoseDevice();
    /// The device fails right after the next arrival is reported, before its hand-over runs:
    /// from then on every call on it fails with EIO, as with a hang-up.
    void FailAfterNextArrival();
    std::vector<std::uint8_t> TakeWritten();
    /// Line errors that the next TakeLineErrors reports.
    void CountLineErrors(const LineErrorCounts& counts);
    Failures& Fail() { return failures_; }
    int OpenCount() const;
    int CloseCount() const;
    std::string LastOpenedPort() const;
    /// Runs when the device is closed (also from the destructor of the port that owns it).
    std::function<void()> onClose;

    int Open(const std::string& portName) override;
    int SetupQueues(int, int) override { return failures_.setupQueues; }
    int ApplyLineSettings() override { return failures_.lineSettings; }
    int ApplyTimeouts(int, int) override { return failures_.timeouts; }
    int Purge() override;
    void Close() override;
    long Write(const std::uint8_t* data, std::size_t count, int& error) override;
    long Read(std::uint8_t* data, std::size_t count, int& error) override;
    long PendingInput(int& error) override;
    WaitResult WaitForEvent() override;
    void StopWaiting() override;
    void ResetStop() override;
    LineErrorCounts TakeLineErrors() override;

private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::uint8_t> input_;
    std::vector<std::uint8_t> written_;
    Failures failures_;
    bool open_ = false;
    bool stop_ = false;
    bool lost_ = false;
    bool failAfterArrival_ = false;
    int opens_ = 0;
    int closes_ = 0;
    std::string lastPort_;
    LineErrorCounts lineErrors_;
};

}  // namespace orbiqa
