#pragma once
// The device a port name asks for: a network port address opens the network device, anything
// else the local serial device. Everything above the device (the port, the link, transfers,
// windows, the command line) sees one SerialDevice whatever the name's form.
#include <memory>

#include "device/SerialDevice.h"

namespace orbiqa {

class PortFormDevice final : public SerialDevice {
public:
    PortFormDevice(std::unique_ptr<SerialDevice> local, std::unique_ptr<SerialDevice> network);

    /// Chooses the device by the name's form, then opens it.
    int Open(const std::string& portName) override;
    int SetupQueues(int inputSize, int outputSize) override;
    int ApplyLineSettings() override;
    int ApplyTimeouts(int writeMultiplierMs, int writeConstantMs) override;
    int Purge() override;
    void Close() override;
    long Write(const std::uint8_t* data, std::size_t count, int& error) override;
    long Read(std::uint8_t* data, std::size_t count, int& error) override;
    long PendingInput(int& error) override;
    LineErrorCounts TakeLineErrors() override;
    WaitResult WaitForEvent() override;
    /// Stops both devices: it only writes to their stop descriptors, so it stays
    /// async-signal-safe and needs no knowledge of which one is open.
    void StopWaiting() override;
    void ResetStop() override;

private:
    std::unique_ptr<SerialDevice> local_;
    std::unique_ptr<SerialDevice> network_;
    SerialDevice* current_;
};

}  // namespace orbiqa
