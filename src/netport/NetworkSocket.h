#pragma once
// The operating system's side of a network port: one TCP connection, non-blocking, with a stop
// signal that wakes every wait. BSD sockets and a pipe on POSIX systems, Winsock and events on
// Windows (NetworkSocketPosix.cpp, NetworkSocketWin32.cpp). Error numbers are the system's
// (errno, WSAGetLastError) or the network port's own (NetworkPortError.h). The connect loop and
// the keep-alive policy stand once, in NetworkSocket.cpp; each system file gives the few calls
// they are made of.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "serial/PortName.h"

namespace orbiqa {

struct NetworkEndpoint;

/// A server that goes silent (cable pulled, machine gone) is noticed within about half a minute
/// instead of the system's two hours: probes start after kIdleS seconds of silence, and the
/// connection is given up when probes go unanswered for kProbeWindowS seconds more.
struct KeepAlivePolicy {
    static constexpr int kIdleS = 10;
    static constexpr int kProbeWindowS = 20;
    static constexpr int kProbes = 4;  // where the system lets the count be chosen
};

class NetworkSocket {
public:
    using Clock = std::chrono::steady_clock;
    enum class Wait { Ready, TimedOut, Stopped, Failed };
    /// What a wait waits for: bytes to read, room to write, or whichever comes first.
    enum class Interest { Read, Write, Either };

    /// The system's numbers for what the device reports in its own words.
    static const int kCancelled;  // a stop ended the operation
    static const int kTimedOut;
    static const int kBusy;
    static const int kBroken;  // the connection is gone
    static const int kNotOpen;

    NetworkSocket();
    ~NetworkSocket();
    NetworkSocket(const NetworkSocket&) = delete;
    NetworkSocket& operator=(const NetworkSocket&) = delete;

    /// Looks the host up (within resolveTimeoutMs, on a thread of its own so that a silent name
    /// server cannot hold it longer) and connects to the first address that answers (within
    /// connectTimeoutMs for all). 0, or the error of the last attempt; kCancelled on a stop.
    int Connect(const NetworkPortAddress& address, int resolveTimeoutMs, int connectTimeoutMs);
    bool IsOpen() const;
    void Close();

    /// Sends without waiting: the count sent (0 when the queue is full), or -1 with error.
    long Send(const std::uint8_t* data, std::size_t count, int& error);
    /// Receives without waiting: the count received, 0 when nothing is there, or -1 with error
    /// (0 when the peer closed the connection in order).
    long Receive(std::uint8_t* data, std::size_t count, int& error);
    /// Waits until the socket can be read or written (as interest says), the stop is
    /// signalled, or the deadline passes. The stop is looked at first. A closed or broken
    /// connection counts as readable.
    Wait WaitFor(Interest interest, Clock::time_point deadline);

    /// Signals the stop: safe from any thread and from a signal handler. Stays signalled until
    /// ResetStop.
    void Stop();
    void ResetStop();

private:
    struct Os;
    std::unique_ptr<Os> os_;

    // The system's calls the shared connect loop is made of.
    static const int kRefused;     // no address took the connection
    static const int kWaitFailed;  // the wait for a connection failed
    /// 0 once the system's network is ready to use (Winsock started).
    static int SystemReady();
    /// Makes a socket for the endpoint and starts connecting: 0 when connected or (pending)
    /// still connecting, else the error. Leaves the socket closed when it could not be made.
    int StartConnect(const NetworkEndpoint& endpoint, bool& pending);
    /// The outcome of a pending connect once the socket is writable.
    int ConnectOutcome();
    /// Sets the options of a made connection: no delay, keep-alive as KeepAlivePolicy says.
    void SetConnectedOptions();
    /// Milliseconds to the deadline, clamped at 0; -1 when there is none.
    static long long RemainingMs(Clock::time_point deadline);
};

}  // namespace orbiqa
