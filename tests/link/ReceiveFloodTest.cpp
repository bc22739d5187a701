// Devices that never stop sending: the port announces bounded events and still stops when asked,
// and the network port's queues stay bounded without losing a data byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>

#include "support/ManualPump.h"
#include "link/ComPort.h"
#include "netport/NetworkReceiveQueue.h"

using namespace orbiqa;

namespace {

// Always has ten million bytes waiting and reports an arrival at once, whatever the stop says,
// as a socket does while a server floods. After kHonestAfter arrivals it waits for the stop like
// any device, so that a port that only ever asks the device cannot hang the test.
class FloodingDevice final : public SerialDevice {
public:
    static constexpr int kHonestAfter = 60;
    std::atomic<int> arrivals{0};

    int Open(const std::string&) override { return 0; }
    int SetupQueues(int, int) override { return 0; }
    int ApplyLineSettings() override { return 0; }
    int ApplyTimeouts(int, int) override { return 0; }
    int Purge() override { return 0; }
    void Close() override {}
    long Write(const std::uint8_t*, std::size_t count, int&) override {
        return static_cast<long>(count);
    }
    long Read(std::uint8_t* data, std::size_t count, int&) override {
        std::fill_n(data, count, std::uint8_t{'~'});
        return static_cast<long>(count);
    }
    long PendingInput(int&) override { return 10'000'000; }
    WaitResult WaitForEvent() override {
        if (++arrivals <= kHonestAfter) return WaitResult::Arrival;
        std::unique_lock lock(mutex_);
        cv_.wait(lock, [this] { return stop_; });
        return WaitResult::Stopped;
    }
    void StopWaiting() override {
        std::lock_guard lock(mutex_);
        stop_ = true;
        cv_.notify_all();
    }
    void ResetStop() override {
        std::lock_guard lock(mutex_);
        stop_ = false;
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool stop_ = false;
};

}  // namespace

TEST(ReceiveFlood, EventsAreBoundedAndACloseOrAnInterruptEndsTheFlood) {
    auto owned = std::make_unique<FloodingDevice>();
    FloodingDevice* device = owned.get();
    TComPort port(std::move(owned));
    test::ManualPump pump(port);
    int events = 0, largest = 0;
    port.OnRxChar = [&](TComPort& p, int count) {
        ++events;
        largest = std::max(largest, count);
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count));
        p.ReadBytes(bytes.data(), count);
    };

    port.SetConnected(true);
    ASSERT_TRUE(pump.PumpUntil([&] { return events >= 3; }));
    EXPECT_LE(largest, TComPort::kRxCharLimit);
    int before = device->arrivals;
    port.SetConnected(false);  // serves at most the delivery under way, not the flood
    EXPECT_LE(device->arrivals - before, 2);

    device->arrivals = 0;
    port.SetConnected(true);
    ASSERT_TRUE(pump.PumpUntil([&] { return device->arrivals >= 3; }));
    before = device->arrivals;
    port.Interrupt();
    EXPECT_TRUE(pump.PumpUntil([&] { return !port.EventThreadRunning(); }));
    EXPECT_LE(device->arrivals - before, 2);
    port.SetConnected(false);
}

TEST(NetworkReceiveQueue, AFloodFillsBothQueuesOnlyToTheirBoundsAndLosesNoData) {
    using T = TelnetComPort;
    NetworkReceiveQueue queue(true);
    // Data with a request for an unknown option after every byte: each asks for a refusal.
    NetworkReceiveQueue::Bytes stream;
    for (int i = 0; i < 100000; ++i) stream.insert(stream.end(), {'d', T::kIac, T::kDo, 99});
    std::size_t fed = 0;
    std::size_t dataOut = 0;
    std::uint8_t sink[1000];
    for (int round = 0; round < 100000 && fed < stream.size(); ++round) {
        const std::size_t room = queue.Room();
        if (room == 0) {
            // A slow reader, and a server that takes a few answers now and then.
            dataOut += queue.Read(sink, sizeof sink);
            auto& answers = queue.Answers();
            answers.erase(answers.begin(), answers.begin() + std::min<std::ptrdiff_t>(
                                                                 500, std::ssize(answers)));
            continue;
        }
        const std::size_t n = std::min(room, stream.size() - fed);
        queue.Take(stream.data() + fed, n);
        fed += n;
    }
    ASSERT_EQ(fed, stream.size());
    const auto peaks = queue.HighWater();
    EXPECT_LE(peaks.data, NetworkReceiveQueue::kDataLimit);
    EXPECT_LE(peaks.answers, NetworkReceiveQueue::kAnswerLimit);
    EXPECT_GT(peaks.answers, NetworkReceiveQueue::kAnswerLimit / 2);  // the bound was reached
    while (queue.Pending()) dataOut += queue.Read(sink, sizeof sink);
    EXPECT_EQ(dataOut, 100000u);

    // A raw stream has no answers; only the data bound holds it back.
    NetworkReceiveQueue raw(false);
    while (raw.Room()) raw.Take(stream.data(), raw.Room());
    EXPECT_LE(raw.Pending(), NetworkReceiveQueue::kDataLimit);
    EXPECT_TRUE(raw.Answers().empty());
}
