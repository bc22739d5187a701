#pragma once
// The serial device on Windows: the communications functions on a handle opened for overlapped
// I/O, so that the event thread can wait for arrivals and for its stop event at the same time.
// Error numbers are GetLastError values.
//
// Device loss: an unplugged USB adapter makes the pending arrival wait (WaitCommEvent, or
// GetOverlappedResult on it) fail with ERROR_OPERATION_ABORTED, ERROR_ACCESS_DENIED or
// ERROR_BAD_COMMAND, depending on the driver. WaitForEvent reports those as WaitResult::Lost;
// any other failure of the wait is WaitResult::Failed.
#include <memory>
#include <string>

#include "device/SerialDevice.h"

namespace orbiqa {

struct CommFunctionsWin32;

class SerialDeviceWin32 final : public SerialDevice {
public:
    /// comm is the table of port functions, the system's unless a test gives its own; it must
    /// outlive the device.
    explicit SerialDeviceWin32(const CommFunctionsWin32& comm);
    SerialDeviceWin32();
    ~SerialDeviceWin32() override;
    SerialDeviceWin32(const SerialDeviceWin32&) = delete;
    SerialDeviceWin32& operator=(const SerialDeviceWin32&) = delete;

    /// Opens "\\.\<portName>" for reading and writing, unshared, for overlapped I/O (the prefix
    /// is what lets COM10 and above open). ERROR_FILE_NOT_FOUND when no such port exists,
    /// ERROR_ACCESS_DENIED when another program holds it, ERROR_BUSY when this device is already
    /// open.
    int Open(const std::string& portName) override;
    /// SetupComm; also keeps inputSize, from which the XON/XOFF limits of the line settings are
    /// taken.
    int SetupQueues(int inputSize, int outputSize) override;
    /// GetCommState, then SetCommState with 19200 8N1, DTR and RTS enabled, binary mode, no
    /// handshake and no abort on errors; the driver's other fields are kept.
    int ApplyLineSettings() override;
    /// SetCommTimeouts: reads return at once with what is queued, writes are bounded by
    /// writeMultiplierMs per byte plus writeConstantMs.
    int ApplyTimeouts(int writeMultiplierMs, int writeConstantMs) override;
    /// PurgeComm aborting pending reads and writes.
    int Purge() override;
    void Close() override;

    /// Overlapped WriteFile, bounded by the write time-out plus a grace (ERROR_TIMEOUT beyond it)
    /// and ended by a stop (ERROR_OPERATION_ABORTED). A request that ends early is cancelled and
    /// waited for; one the driver keeps anyway is left to it with its memory, never freed.
    long Write(const std::uint8_t* data, std::size_t count, int& error) override;
    /// Overlapped ReadFile; completes at once because of the read time-outs, and is bounded and
    /// ended by a stop as a write is.
    long Read(std::uint8_t* data, std::size_t count, int& error) override;
    /// ClearCommError's input queue count; the line errors it reports are counted.
    long PendingInput(int& error) override;
    /// What ClearCommError reported since the last call or the opening: overrun (CE_OVERRUN),
    /// input queue overflow (CE_RXOVER), framing (CE_FRAME), parity (CE_RXPARITY) and break
    /// (CE_BREAK), each kind once per call that reported it.
    LineErrorCounts TakeLineErrors() override;

    /// Waits on the device's arrival event and the stop event. Any result other than Arrival
    /// ends the watch: the event mask goes back to 0 and the driver's queues are cleared, as
    /// the event thread ends after it.
    WaitResult WaitForEvent() override;
    /// Signals the stop event.
    void StopWaiting() override;
    /// Clears the stop event and, when open, starts watching for arrivals (EV_RXCHAR). Called
    /// before the event thread starts, so that bytes arriving before its first wait still
    /// wake it.
    void ResetStop() override;

private:
    struct State;
    WaitResult EndWatch(WaitResult result);

    std::unique_ptr<State> s_;
};

}  // namespace orbiqa
