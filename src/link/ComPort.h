#pragma once
// TComPort: the one serial port of the module link. It keeps the port name rule, the states,
// the opening and closing order and the event thread that tells the user-interface thread, and
// waits until it has been told, that bytes have arrived. The device itself sits behind
// SerialDevice so that this logic runs without hardware.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "link/EComPort.h"
#include "link/SerialDevice.h"

namespace orbiqa {

class TComPort {
public:
    static constexpr int kInputSize = 1024;
    static constexpr int kOutputSize = 1024;
    static constexpr int kWriteTotalMultiplierMs = 100;
    static constexpr int kWriteTotalConstantMs = 1000;

    explicit TComPort(std::unique_ptr<SerialDevice> device);
    ~TComPort();  // closes an open port first
    TComPort(const TComPort&) = delete;
    TComPort& operator=(const TComPort&) = delete;

    /// "COM" + 1..96; anything else gives "COM1".
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
    /// bytes (at least 1).
    std::function<void(TComPort&, int)> OnRxChar;
    /// Run once on the user-interface thread when the device went away while open. The port
    /// stays Open (its event thread has ended) until the owner closes it.
    std::function<void(TComPort&)> OnDeviceLost;

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

    void Open();
    void Close();
    void StartEventThread();
    void StopEventThread();
    void EventThreadMain();
    bool HandOver();  // event thread; false when the delivery failed

    std::unique_ptr<SerialDevice> device_;
    std::string port_ = "COM1";
    bool connected_ = false;

    std::function<void()> notifier_;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    Handover pending_ = Handover::None;
    bool deliveryFailed_ = false;
    bool threadEnded_ = true;
    bool delivering_ = false;
    bool deviceLost_ = false;
    bool lostPending_ = false;
};

}  // namespace orbiqa
