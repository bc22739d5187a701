#pragma once
// A serial port reached over TCP: "rfc2217://HOST:PORT" speaks Telnet with the COM port option
// (the line settings and purges travel to the server), "socket://HOST:PORT" carries the bytes as
// they are. It behaves as a local port does towards the port above it: reads never wait, writes
// are bounded, the event thread wakes on arrival, on a stop and on the connection's end, and a
// second client that the server turns away gets "busy". The same on every system: the socket
// underneath is NetworkSocket.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "netport/NetworkPortError.h"
#include "serial/PortName.h"
#include "netport/NetworkReceiveQueue.h"
#include "device/SerialDevice.h"
#include "netport/TelnetComPort.h"
#include "netport/NetworkSocket.h"

namespace orbiqa {

class NetworkSerialDevice final : public SerialDevice {
public:
    /// Bounds of the steps of opening, each on its own.
    static constexpr int kResolveTimeoutMs = 5000;
    static constexpr int kConnectTimeoutMs = 5000;
    static constexpr int kNegotiationTimeoutMs = 5000;
    /// How long a raw connection is watched for the server closing it at once (its way of
    /// refusing a second client).
    static constexpr int kRawSettleMs = 150;

    NetworkSerialDevice();
    ~NetworkSerialDevice() override;

    /// Resolves, connects and (rfc2217) negotiates the COM port option and the line settings;
    /// each answer must give the value asked for. Errors: kNetBadAddress, kNetNameNotFound,
    /// kNetResolveTimedOut, kNetResolveFailed, the system's connection errors (ECONNREFUSED,
    /// ETIMEDOUT...), EBUSY when the server says the port is in use, kNetServerClosed when it
    /// closes (or resets the connection) for another reason, kNetOptionRefused,
    /// kNetNoNegotiation (also when the server keeps sending without ever answering), and
    /// SettingsRefusedError(...) naming the settings the server answered otherwise;
    /// ECANCELED when StopWaiting is called meanwhile.
    int Open(const std::string& portName) override;
    int SetupQueues(int inputSize, int outputSize) override;
    /// The settings were sent and acknowledged while opening; this only reports that.
    int ApplyLineSettings() override;
    int ApplyTimeouts(int writeMultiplierMs, int writeConstantMs) override;
    /// Drops what has arrived and (rfc2217) asks the server to purge both its buffers.
    int Purge() override;
    void Close() override;

    long Write(const std::uint8_t* data, std::size_t count, int& error) override;
    long Read(std::uint8_t* data, std::size_t count, int& error) override;
    long PendingInput(int& error) override;

    WaitResult WaitForEvent() override;
    void StopWaiting() override;
    void ResetStop() override;

    /// The server's answer to the baud rate and stop bits (rfc2217; 0 before it answered).
    std::uint32_t ServerBaudRate() const;
    std::uint8_t ServerStopSize() const;
    /// The most the receive queue and the answer queue have held since opening.
    NetworkReceiveQueue::Peaks QueuePeaks() const;

private:
    using Clock = NetworkSocket::Clock;

    int Negotiate();
    /// Reads what the socket holds without waiting, decoding it into the queue, until the
    /// queue is full, the socket is empty or one burst has been read. Caller holds mutex_.
    void DrainLocked();
    /// Sends control bytes the decoder produced, without waiting; the rest waits for the next
    /// write. Caller holds mutex_.
    void FlushControlLocked();
    /// Sends all bytes (after any control bytes waiting) before the deadline; 0, kTimedOut
    /// (bytes left), kCancelled or the error. sent counts the bytes of data sent.
    int SendAll(const std::vector<std::uint8_t>& bytes, std::size_t& sent,
                Clock::time_point deadline);
    int LostError() const;  // caller holds mutex_

    NetworkSocket socket_;
    bool rfc2217_ = false;
    int writeMultiplierMs_ = 0;
    int writeConstantMs_ = 0;

    std::mutex sendMutex_;      // keeps one sender's bytes together
    mutable std::mutex mutex_;  // everything below
    NetworkReceiveQueue queue_;
    std::string closingText_;  // what the server said before it closed while opening
    bool lost_ = false;
    int lostError_ = 0;
    std::atomic<bool> stopped_{false};  // lock-free: StopWaiting may run in a signal handler
};

}  // namespace orbiqa
