#pragma once
// The operating-system side of a serial port, as small as the port's logic needs. Every call
// that can fail returns 0 on success or the system's error number (errno on POSIX, the last
// error on Windows); the port turns that into its own error with the system code.
#include <cstddef>
#include <cstdint>
#include <string>

namespace orbiqa {

/// Line errors a driver reported, each counted once per check that found it.
struct LineErrorCounts {
    unsigned overrun = 0;        ///< received bytes lost in the hardware
    unsigned queueOverflow = 0;  ///< received bytes lost because the input queue was full
    unsigned framing = 0;
    unsigned parity = 0;
    unsigned breaks = 0;
    bool Any() const { return overrun || queueOverflow || framing || parity || breaks; }
};

class SerialDevice {
public:
    virtual ~SerialDevice() = default;

    /// Opens the named port ("COM<n>") exclusively: a second opener, in this or another
    /// process, fails.
    virtual int Open(const std::string& portName) = 0;
    /// Driver queue sizes.
    virtual int SetupQueues(int inputSize, int outputSize) = 0;
    /// 19200 bit/s, 8 data bits, no parity, 1 stop bit, DTR and RTS asserted, no flow control.
    virtual int ApplyLineSettings() = 0;
    /// Reads return at once with what is queued; writes are bounded by
    /// writeMultiplierMs per byte plus writeConstantMs.
    virtual int ApplyTimeouts(int writeMultiplierMs, int writeConstantMs) = 0;
    /// Discards queued input and output and aborts pending operations.
    virtual int Purge() = 0;
    /// Releases the device. Safe to call when not open.
    virtual void Close() = 0;

    /// Writes count bytes; returns the number written or -1 with error set.
    virtual long Write(const std::uint8_t* data, std::size_t count, int& error) = 0;
    /// Reads at most count queued bytes without waiting; returns the number read (possibly 0) or
    /// -1 with error set.
    virtual long Read(std::uint8_t* data, std::size_t count, int& error) = 0;
    /// Number of received bytes waiting, or -1 with error set.
    virtual long PendingInput(int& error) = 0;

    enum class WaitResult {
        Arrival,  // received bytes are waiting
        Stopped,  // StopWaiting was called
        Lost,     // the device went away (hang-up, unplugged adapter)
        Failed,   // the wait itself failed
    };
    /// Blocks the event thread until bytes are waiting, StopWaiting is called, or the device is
    /// lost. Called only while open.
    virtual WaitResult WaitForEvent() = 0;
    /// Wakes WaitForEvent with Stopped, and a Write waiting for room with a failure
    /// (ECANCELED, or ERROR_OPERATION_ABORTED on Windows); callable from any thread and from a
    /// signal handler. The stop stays signalled until ResetStop.
    virtual void StopWaiting() = 0;
    virtual void ResetStop() = 0;

    /// The line errors counted since the last call, which clears them. A device that cannot tell
    /// reports none.
    virtual LineErrorCounts TakeLineErrors() { return {}; }
};

}  // namespace orbiqa
