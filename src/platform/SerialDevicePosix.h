#pragma once
// The serial device on POSIX systems: termios for the line, poll for the event thread, a pipe
// to wake it, TIOCEXCL and an advisory lock for exclusive use.
#include <chrono>
#include <string>

#include "link/SerialDevice.h"

namespace orbiqa {

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
    long PendingInput(int& error) override;

    WaitResult WaitForEvent() override;
    void StopWaiting() override;
    void ResetStop() override;

    /// The path opened last (for messages such as which group may use the device).
    const std::string& DevicePath() const { return path_; }

private:
    int fd_ = -1;
    int stopPipe_[2] = {-1, -1};
    std::string path_;
    int writeMultiplierMs_ = 0;
    int writeConstantMs_ = 0;
};

}  // namespace orbiqa
