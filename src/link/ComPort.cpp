#include "link/ComPort.h"

#include <algorithm>
#include <cerrno>
#include <cctype>
#include <vector>

#include "base/ComPortRange.h"
#include "base/IntText.h"
#include "serial/PortName.h"

namespace orbiqa {

TComPort::TComPort(std::unique_ptr<SerialDevice> device) : device_(std::move(device)) {}

TComPort::~TComPort() {
    if (!connected_) return;
    try {
        Close();
    } catch (...) {
        // The abort step failed; the event thread must still end before the device goes.
        StopEventThread();
        device_->Close();
        connected_ = false;
    }
}

std::string TComPort::NormalisePortName(std::string_view text) {
    return CanonicalPortName(text).value_or(ComPortName(kFirstComPort));
}

void TComPort::SetPort(std::string_view text) {
    std::string name = NormalisePortName(text);
    if (name == port_) return;
    port_ = std::move(name);
    if (connected_) {
        Close();
        Open();
    }
}

void TComPort::SetConnected(bool connected) {
    if (connected == connected_) return;
    if (connected)
        Open();
    else
        Close();
}

void TComPort::Open() {
    if (int e = device_->Open(port_)) throw EComPort(CError_OpenFailed, e, port_);
    connected_ = true;
    auto fail = [this](int code, int e) {
        device_->Close();
        connected_ = false;
        throw EComPort(code, e, port_);
    };
    if (int e = device_->SetupQueues(kInputSize, kOutputSize)) fail(CError_SetupComFailed, e);
    if (int e = device_->ApplyLineSettings()) fail(CError_SetStateFailed, e);
    if (int e = device_->ApplyTimeouts(kWriteTotalMultiplierMs, kWriteTotalConstantMs))
        fail(CError_TimeoutsFailed, e);
    // Bytes queued before this opening (a late reply to an earlier run, text sent while nobody
    // listened) are never an answer to this run's requests.
    if (int e = device_->Purge()) fail(CError_PurgeFailed, e);
    interrupted_ = false;
    StartEventThread();
}

bool TComPort::DeviceLost() const {
    std::lock_guard lock(mutex_);
    return deviceLost_;
}

bool TComPort::DeviceGone() const {
    return removed_.load() || DeviceLost();
}

void TComPort::Interrupt() noexcept {
    interrupted_ = true;
    device_->StopWaiting();
}

// A device that cannot even tell how many bytes wait is gone, whatever the event thread saw.
bool TComPort::DeviceUnusable() {
    int error = 0;
    return device_->PendingInput(error) < 0;
}

void TComPort::Close() {
    const int e = device_->Purge();
    bool lost = false;
    {
        std::lock_guard lock(mutex_);
        lost = deviceLost_;
    }
    // A device that has gone away cannot be purged; it must still be closable.
    if (e && !lost && !DeviceUnusable()) throw EComPort(CError_PurgeFailed, e, port_);
    StopEventThread();
    device_->Close();
    connected_ = false;
}

int TComPort::WriteBytes(const std::uint8_t* data, int count) {
    if (!connected_) throw EComPort(CError_WriteFailed, EBADF);
    int error = 0;
    const long n = device_->Write(data, static_cast<std::size_t>(count), error);
    if (n < 0) {
        // Some drivers never end the pending wait when their adapter is pulled, and the system's
        // removal report may not name the port: then a failed write is the first sign. A device
        // that cannot even say how many bytes wait is gone, and that is the loss, reported as
        // the event thread reports it. The write's own error still goes to the caller.
        if (DeviceUnusable()) DeviceRemoved();
        throw EComPort(CError_WriteFailed, error, port_);
    }
    return static_cast<int>(n);
}

int TComPort::WriteText(const std::string& text) {
    return WriteBytes(reinterpret_cast<const std::uint8_t*>(text.data()), static_cast<int>(text.size()));
}

int TComPort::ReadBytes(std::uint8_t* data, int count) {
    if (!connected_) throw EComPort(CError_ReadFailed, EBADF);
    int error = 0;
    const long n = device_->Read(data, static_cast<std::size_t>(count), error);
    if (n < 0) throw EComPort(CError_ReadFailed, error, port_);
    return static_cast<int>(n);
}

int TComPort::PendingInputCount() {
    int error = 0;
    const long n = device_->PendingInput(error);
    if (n < 0) throw EComPort(CError_ClearComFailed, error, port_);
    return static_cast<int>(n);
}

void TComPort::SetHandoverNotifier(std::function<void()> notifier) { notifier_ = std::move(notifier); }

bool TComPort::EventThreadRunning() const {
    std::lock_guard lock(mutex_);
    return !threadEnded_;
}

void TComPort::StartEventThread() {
    device_->ResetStop();
    removed_ = false;
    stopping_ = false;
    {
        std::lock_guard lock(mutex_);
        pending_ = Handover::None;
        threadEnded_ = false;
        deviceLost_ = false;
        lostPending_ = false;
    }
    thread_ = std::thread(&TComPort::EventThreadMain, this);
}

void TComPort::EventThreadMain() {
    for (;;) {
        const SerialDevice::WaitResult r = device_->WaitForEvent();
        if (r == SerialDevice::WaitResult::Arrival) {
            const Delivery d = HandOver();
            // A device that always has more (a server that floods) would keep the thread
            // delivering for ever: a stop is looked at between deliveries too.
            if (d == Delivery::Done && !StopAsked()) continue;
            if (d == Delivery::Done) {
                if (removed_.load()) ReportLoss();
                break;
            }
            // The device failing between the arrival and its delivery (a hang-up just after the
            // bytes came) is a loss like any other; any other failed delivery only ends the
            // events until the port is reopened.
            if (d == Delivery::DeviceFailed) ReportLoss();
            break;
        }
        // Everything but a stop that the port asked for ends the thread because of the device; a
        // stop for a removal the system reported is such a loss too.
        if (r != SerialDevice::WaitResult::Stopped || removed_.load()) ReportLoss();
        break;
    }
    device_->Purge();
    {
        std::lock_guard lock(mutex_);
        threadEnded_ = true;
    }
    cv_.notify_all();
}

bool TComPort::StopAsked() const noexcept {
    return stopping_.load() || interrupted_.load() || removed_.load();
}

void TComPort::DeviceRemoved() {
    if (!connected_) return;
    bool running = false;
    {
        std::lock_guard lock(mutex_);
        if (deviceLost_) return;
        running = !threadEnded_;
    }
    removed_ = true;
    device_->StopWaiting();
    // With no event thread left to see the stop (it ended after a failed delivery), the loss is
    // reported from here.
    if (!running) ReportLoss();
}

void TComPort::ReportLoss() {
    // Reported without waiting: the owner's answer is to close the port, which waits for this
    // thread.
    {
        std::lock_guard lock(mutex_);
        deviceLost_ = true;
        lostPending_ = true;
    }
    if (notifier_) notifier_();
}

TComPort::Delivery TComPort::HandOver() {
    {
        std::lock_guard lock(mutex_);
        pending_ = Handover::RxChar;
        delivery_ = Delivery::Done;
    }
    cv_.notify_all();  // a closing user-interface thread may be waiting to serve it
    if (notifier_) notifier_();
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [this] { return pending_ == Handover::None; });
    return delivery_;
}

void TComPort::RunPendingHandover() {
    bool lost = false;
    {
        std::lock_guard lock(mutex_);
        if (delivering_) return;  // already delivering further up this stack
        if (lostPending_) {
            lostPending_ = false;
            lost = true;
        } else if (pending_ == Handover::None) {
            return;
        } else {
            delivering_ = true;
        }
    }
    if (lost) {
        if (OnDeviceLost) OnDeviceLost(*this);
        return;
    }
    Delivery outcome = Delivery::Done;
    try {
        const int n = std::min(PendingInputCount(), kRxCharLimit);
        if (n > 0) {
            if (OnRxChar) {
                OnRxChar(*this, n);
            } else {
                std::vector<std::uint8_t> discard(static_cast<std::size_t>(n));
                ReadBytes(discard.data(), n);
            }
        }
    } catch (const EComPort&) {
        outcome = Delivery::DeviceFailed;
    } catch (...) {
        outcome = Delivery::Failed;
    }
    {
        std::lock_guard lock(mutex_);
        delivering_ = false;
        pending_ = Handover::None;
        delivery_ = outcome;
    }
    cv_.notify_all();
}

void TComPort::StopEventThread() {
    if (!thread_.joinable()) return;
    stopping_ = true;
    device_->StopWaiting();
    std::this_thread::yield();
    std::unique_lock lock(mutex_);
    if (delivering_) {
        // Closing from inside a delivery: that delivery cannot finish before this returns, so
        // release the event thread now.
        pending_ = Handover::None;
        cv_.notify_all();
    }
    while (!threadEnded_) {
        if (pending_ != Handover::None && !delivering_) {
            lock.unlock();
            RunPendingHandover();
            lock.lock();
            continue;
        }
        cv_.wait(lock);
    }
    lostPending_ = false;  // the owner closed the port itself; nothing left to report
    lock.unlock();
    thread_.join();
}

}  // namespace orbiqa
