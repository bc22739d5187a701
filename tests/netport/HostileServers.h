#pragma once
// Servers of the tests' own on loopback that behave as no good serial server does: they flood
// the client with data or Telnet commands, never read what it sends, answer line settings the
// client did not ask for, or close as soon as it connects. Each serves one client at a time on
// its own thread and stops when the object goes.
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <random>
#include <thread>
#include <vector>

#include "netport/TelnetComPort.h"

namespace nettest {

using Wire = std::vector<std::uint8_t>;

/// A socket listening on a free loopback port; port receives the port's number.
inline int ListenOnLoopback(int& port, int backlog = 4) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(fd, backlog);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
    port = ntohs(a.sin_port);
    return fd;
}

/// The answers of a server that takes the COM port option; each line setting answered with
/// the value given (19200 8N1, no flow control, DTR and RTS on: what the client asks for).
inline Wire AcceptComPort(std::uint32_t baud = 19200, std::uint8_t dataBits = 8,
                          std::uint8_t parity = 1, std::uint8_t stopBits = 1) {
    using T = orbiqa::TelnetComPort;
    Wire w{T::kIac, T::kDo, T::kOptComPort};
    const auto answer = [&w](std::uint8_t command, Wire value) {
        w.insert(w.end(), {T::kIac, T::kSb, T::kOptComPort,
                           static_cast<std::uint8_t>(command + T::kServerOffset)});
        for (std::uint8_t b : value) {
            w.push_back(b);
            if (b == T::kIac) w.push_back(b);
        }
        w.insert(w.end(), {T::kIac, T::kSe});
    };
    answer(T::kSetBaudRate,
           {static_cast<std::uint8_t>(baud >> 24), static_cast<std::uint8_t>(baud >> 16),
            static_cast<std::uint8_t>(baud >> 8), static_cast<std::uint8_t>(baud)});
    answer(T::kSetDataSize, {dataBits});
    answer(T::kSetParity, {parity});
    answer(T::kSetStopSize, {stopBits});
    for (std::uint8_t control : {T::kControlNoFlow, T::kControlDtrOn, T::kControlRtsOn})
        answer(T::kSetControl, {control});
    return w;
}

class HostileServer {
public:
    struct Behaviour {
        Wire greeting;              // sent once on connecting
        Wire flood;                 // then sent again and again until the client goes
        bool randomFlood = false;   // flood with fresh random bytes instead
        bool readsClient = true;    // false: never reads a byte the client sends
        bool closeAtOnce = false;   // closes once the client's first bytes are there, unread
        long long bytesPerSecond = 0;  // pace of the flood; 0: as fast as the client takes it
        long long floodLimit = 0;      // the flood stops after this many bytes; 0: never
    };

    explicit HostileServer(Behaviour behaviour) : b_(std::move(behaviour)) {
        listen_ = ListenOnLoopback(port_);
        thread_ = std::thread([this] { Serve(); });
    }
    ~HostileServer() {
        stop_ = true;
        thread_.join();
        ::close(listen_);
    }
    HostileServer(const HostileServer&) = delete;
    HostileServer& operator=(const HostileServer&) = delete;

    int Port() const { return port_; }
    /// Bytes the server managed to send, over all its clients.
    long long Sent() const { return sent_.load(); }
    int Clients() const { return clients_.load(); }

private:
    bool Wait(int fd, short events) {
        while (!stop_) {
            pollfd p{fd, events, 0};
            const int r = ::poll(&p, 1, 20);
            if (r > 0) return true;
            if (r < 0) return false;
        }
        return false;
    }

    void Serve() {
        while (Wait(listen_, POLLIN)) {
            const int c = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (c < 0) continue;
            ++clients_;
            ServeClient(c);
            ::close(c);
        }
    }

    // false once the client has gone (or the server stops).
    bool SendAll(int c, const Wire& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            if (!Drain(c)) return false;
            const ssize_t n =
                ::send(c, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                sent_ += n;
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
            if (!Wait(c, static_cast<short>(POLLOUT | (b_.readsClient ? POLLIN : 0))))
                return false;
        }
        return !stop_;
    }

    // Takes what the client sent, if this server reads at all; false when the client closed.
    bool Drain(int c) {
        if (!b_.readsClient) {
            pollfd p{c, POLLRDHUP, 0};
            return !(::poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR)));
        }
        std::uint8_t buffer[4096];
        for (;;) {
            const ssize_t n = ::recv(c, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n > 0) continue;
            return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
        }
    }

    void ServeClient(int c) {
        if (b_.closeAtOnce) {
            Wait(c, POLLIN);  // the client's opening requests stay unread: the close resets
            return;
        }
        if (!SendAll(c, b_.greeting)) return;
        std::mt19937 random(7);
        Wire block = b_.flood;
        const auto start = std::chrono::steady_clock::now();
        long long flooded = 0;
        for (;;) {
            if (b_.floodLimit && flooded >= b_.floodLimit) block.clear();
            if (b_.bytesPerSecond) {
                const auto due = start + std::chrono::microseconds(flooded * 1000000 /
                                                                   b_.bytesPerSecond);
                while (!stop_ && std::chrono::steady_clock::now() < due)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            flooded += static_cast<long long>(block.size());
            if (b_.randomFlood)
                for (auto& byte : block) byte = static_cast<std::uint8_t>(random());
            if (block.empty()) {
                if (!Wait(c, POLLIN) || !Drain(c)) return;
                continue;
            }
            if (!SendAll(c, block)) return;
        }
    }

    Behaviour b_;
    int listen_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<long long> sent_{0};
    std::atomic<int> clients_{0};
    std::thread thread_;
};

/// count copies of the pattern, one after the other.
inline Wire Repeat(const Wire& pattern, std::size_t count) {
    Wire w;
    w.reserve(pattern.size() * count);
    for (std::size_t i = 0; i < count; ++i) w.insert(w.end(), pattern.begin(), pattern.end());
    return w;
}

}  // namespace nettest
