#include "FakeSerialDevice.h"

#include <cerrno>
#include <utility>

namespace orbiqa {

void FakeSerialDevice::Receive(const std::vector<std::uint8_t>& bytes) {
    {
        std::lock_guard lock(mutex_);
        input_.insert(input_.end(), bytes.begin(), bytes.end());
    }
    cv_.notify_all();
}

void FakeSerialDevice::Receive(const std::string& bytes) {
    Receive(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

void FakeSerialDevice::LoseDevice() {
    {
        std::lock_guard lock(mutex_);
        lost_ = true;
    }
    cv_.notify_all();
}

void FakeSerialDevice::FailAfterNextArrival() {
    std::lock_guard lock(mutex_);
    failAfterArrival_ = true;
}

std::vector<std::uint8_t> FakeSerialDevice::TakeWritten() {
    std::lock_guard lock(mutex_);
    return std::exchange(written_, {});
}

int FakeSerialDevice::OpenCount() const {
    std::lock_guard lock(mutex_);
    return opens_;
}

int FakeSerialDevice::CloseCount() const {
    std::lock_guard lock(mutex_);
    return closes_;
}

std::string FakeSerialDevice::LastOpenedPort() const {
    std::lock_guard lock(mutex_);
    return lastPort_;
}

int FakeSerialDevice::Open(const std::string& portName) {
    std::lock_guard lock(mutex_);
    if (failures_.open) return failures_.open;
    if (open_) return EBUSY;
    open_ = true;
    lost_ = false;
    ++opens_;
    lastPort_ = portName;
    return 0;
}

int FakeSerialDevice::Purge() {
    std::lock_guard lock(mutex_);
    if (failures_.purge) return failures_.purge;
    input_.clear();
    return 0;
}

void FakeSerialDevice::Close() {
    {
        std::lock_guard lock(mutex_);
        if (!open_) return;
        open_ = false;
        ++closes_;
    }
    if (onClose) onClose();
}

long FakeSerialDevice::Write(const std::uint8_t* data, std::size_t count, int& error) {
    std::lock_guard lock(mutex_);
    if (failures_.write) {
        error = failures_.write;
        return -1;
    }
    written_.insert(written_.end(), data, data + count);
    return static_cast<long>(count);
}

long FakeSerialDevice::Read(std::uint8_t* data, std::size_t count, int& error) {
    std::lock_guard lock(mutex_);
    if (failures_.read) {
        error = failures_.read;
        return -1;
    }
    std::size_t n = 0;
    while (n < count && !input_.empty()) {
        data[n++] = input_.front();
        input_.pop_front();
    }
    return static_cast<long>(n);
}

long FakeSerialDevice::PendingInput(int& error) {
    std::lock_guard lock(mutex_);
    if (failures_.pending) {
        error = failures_.pending;
        return -1;
    }
    return static_cast<long>(input_.size());
}

SerialDevice::WaitResult FakeSerialDevice::WaitForEvent() {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [this] { return stop_ || lost_ || !input_.empty(); });
    if (stop_) return WaitResult::Stopped;
    if (!input_.empty()) {
        if (std::exchange(failAfterArrival_, false))
            failures_.pending = failures_.purge = failures_.read = failures_.write = EIO;
        return WaitResult::Arrival;
    }
    return WaitResult::Lost;
}

void FakeSerialDevice::StopWaiting() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    cv_.notify_all();
}

void FakeSerialDevice::ResetStop() {
    std::lock_guard lock(mutex_);
    stop_ = false;
}

void FakeSerialDevice::CountLineErrors(const LineErrorCounts& counts) {
    std::lock_guard lock(mutex_);
    lineErrors_ = counts;
}

LineErrorCounts FakeSerialDevice::TakeLineErrors() {
    std::lock_guard lock(mutex_);
    return std::exchange(lineErrors_, LineErrorCounts{});
}

}  // namespace orbiqa
