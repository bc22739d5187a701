#pragma once
// The serial device on POSIX systems: termios for the line, poll for the event thread, a pipe
// to wake it, TIOCEXCL and an advisory lock for exclusive use.
#include <chrono>
#include <string>

#include "device/LineErrorTally.h"
#include "device/SerialDevice.h"

namespace orbiqa {

/// The driver's running counts of the line errors the link reports, as the kernel keeps them for
/// a serial port (TIOCGICOUNT).
struct DriverLineCounters {
    int overrun = 0;        ///< received bytes the UART lost
    int bufferOverrun = 0;  ///< received bytes lost because the tty's input buffer was full
    int framing = 0;
    int parity = 0;
    int breaks = 0;
};

/// Reads the counters of the open device fd. False when its driver keeps none (pseudo-terminals,
/// some USB adapters) or the system has no such call; nothing is counted then.
bool ReadDriverLineCounters(int fd, DriverLineCounters& counters);
/// The kinds whose counter moved between two readings. The counters only grow, and wrap around.
LineErrorKinds LineErrorsBetween(const DriverLineCounters& before, const DriverLineCounters& now);

class SerialDevicePosix final : public SerialDevice {
public:
    SerialDevicePosix();
    ~SerialDevicePosix() override;

    /// Opens the device the COM name resolves to (port-link folder first, then the fixed
    /// ttyS/ttyUSB/ttyACM rule). ENOENT when the name leads nowhere; EBUSY when another program
    /// holds the device.
    int Open(const std::string& portName) override;
    int SetupQueues(int inputSize, int outputSize) override;
    int ApplyLineSettings() override;
    int ApplyTimeouts(int writeMultiplierMs, int writeConstantMs) override;
    int Purge() override;
    void Close() override;

    /// Returns once all bytes are queued or the bound (per-byte multiplier plus constant) has
    /// passed; bytes not accepted by then are not written, as with a write time-out. A write
    /// that waits for room fails at once with ECANCELED when StopWaiting is called.
    long Write(const std::uint8_t* data, std::size_t count, int& error) override;
    long Read(std::uint8_t* data, std::size_t count, int& error) override;
    /// FIONREAD's count; also compares the driver's line error counters with the last check
    /// and counts the kinds that moved. Called by the port's owner, never by the event thread.
    long PendingInput(int& error) override;
    /// The kinds of line error found since the last call or the opening, each once per check.
    LineErrorCounts TakeLineErrors() override;

    WaitResult WaitForEvent() override;
    void StopWaiting() override;
    void ResetStop() override;

    /// The path opened last (for messages such as which group may use the device).
    const std::string& DevicePath() const { return path_; }

private:
    long QueuedBytes(int& error) const;
    void CheckLineErrors();

    int fd_ = -1;
    int stopPipe_[2] = {-1, -1};
    std::string path_;
    int writeMultiplierMs_ = 0;
    int writeConstantMs_ = 0;
    bool driverCounts_ = false;  // the driver answered TIOCGICOUNT at the opening
    DriverLineCounters counters_;
    LineErrorTally lineErrors_;
};

}  // namespace orbiqa
