#pragma once
// TComPort: the one serial port of the module link. It keeps the port name rule, the states,
// the opening and closing order and the event thread that tells the user-interface thread, and
// waits until it has been told, that bytes have arrived. The device itself sits behind
// SerialDevice so that this logic runs without hardware.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "link/EComPort.h"
#include "device/SerialDevice.h"

namespace orbiqa {

class TComPort {
public:
    static constexpr int kInputSize = 1024;
    static constexpr int kOutputSize = 1024;
    static constexpr int kWriteTotalMultiplierMs = 100;
    static constexpr int kWriteTotalConstantMs = 1000;
    /// The most bytes one received-character event announces; more waiting come with the next
    /// event, so that a device that floods never holds the user-interface thread for long.
    static constexpr int kRxCharLimit = 64 * 1024;

    explicit TComPort(std::unique_ptr<SerialDevice> device);
    ~TComPort();  // closes an open port first
    TComPort(const TComPort&) = delete;
    TComPort& operator=(const TComPort&) = delete;

    /// "COM" + 1..256, or a network port address in its canonical form ("rfc2217://HOST:PORT",
    /// "socket://HOST:PORT"); anything else gives "COM1".
    static std::string NormalisePortName(std::string_view text);

    /// Stores the normalised name; an open port closes and reopens under the new name, and an
    /// EComPort from that reopening propagates (the port is then Closed under the new name).
    void SetPort(std::string_view text);
    const std::string& Port() const { return port_; }

    /// true: open (no effect when open); false: close (no effect when closed). Raises EComPort.
    void SetConnected(bool connected);
    bool Connected() const { return connected_; }

    int WriteBytes(const std::uint8_t* data, int count);
    int WriteText(const std::string& text);
    int ReadBytes(std::uint8_t* data, int count);
    int PendingInputCount();

    /// Received-character event, run on the user-interface thread with the number of waiting
    /// bytes (1..kRxCharLimit).
    std::function<void(TComPort&, int)> OnRxChar;
    /// Run once on the user-interface thread when the device went away while open: the event
    /// thread's wait reported it, the wait itself failed, or the device failed while a
    /// hand-over was being delivered. The port stays Open (its event thread has ended) until the
    /// owner closes it, and that close always succeeds.
    std::function<void(TComPort&)> OnDeviceLost;

    /// True from the moment the event thread found the device gone until the port is opened
    /// again (closing keeps it, so a caller can still tell why its transfer ended).
    bool DeviceLost() const;
    /// DeviceLost, or a loss already known and on its way to OnDeviceLost (a removal report,
    /// or a write that found the device gone): a caller whose write failed can tell that the
    /// loss, not its own error, is what the user must hear about.
    bool DeviceGone() const;

    /// Stops whatever waits on the device: a write waiting for room fails at once with
    /// EComPort 2 (and so does every later write that would have to wait) and the event thread
    /// ends. Async-signal-safe and callable from any thread, so a signal handler may call it;
    /// the port stays Open until it is closed. Opening again clears it.
    void Interrupt() noexcept;
    /// The system reported the open port's device removed (an adapter pulled out): the event
    /// thread's wait ends and the loss is reported through OnDeviceLost as if the wait had seen
    /// it, also when the driver never ends a pending wait by itself. Call on the user-interface
    /// thread; no effect when closed or already lost.
    void DeviceRemoved();

    /// The line errors the device counted since the last call (user-interface thread).
    LineErrorCounts TakeLineErrors() { return device_->TakeLineErrors(); }

    /// Whether Interrupt was called since the port was opened.
    bool Interrupted() const noexcept { return interrupted_.load(); }

    /// Called from the event thread whenever a hand-over waits for the user-interface thread;
    /// the owner must make the user-interface thread call RunPendingHandover soon (for Qt: a
    /// queued call). Set before opening.
    void SetHandoverNotifier(std::function<void()> notifier);
    /// Runs the pending hand-over, if any, on the calling (user-interface) thread.
    void RunPendingHandover();

    /// Whether the event thread is running (for tests and diagnostics).
    bool EventThreadRunning() const;

private:
    enum class Handover { None, RxChar };
    enum class Delivery { Done, Failed, DeviceFailed };

    void Open();
    void Close();
    void StartEventThread();
    void StopEventThread();
    void EventThreadMain();
    Delivery HandOver();  // event thread
    void ReportLoss();    // event thread
    bool StopAsked() const noexcept;
    bool DeviceUnusable();

    std::unique_ptr<SerialDevice> device_;
    std::string port_ = "COM1";
    bool connected_ = false;

    std::function<void()> notifier_;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    Handover pending_ = Handover::None;
    Delivery delivery_ = Delivery::Done;
    bool threadEnded_ = true;
    bool delivering_ = false;
    bool deviceLost_ = false;
    bool lostPending_ = false;
    std::atomic<bool> interrupted_{false};
    std::atomic<bool> removed_{false};
    std::atomic<bool> stopping_{false};  // the owner is ending the event thread
};

}  // namespace orbiqa
