#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <memory>
#include <thread>

#include "platform/NetworkSerialDevice.h"

namespace orbiqa {

namespace {

// A server that goes silent (cable pulled, machine gone) is noticed within about half a minute
// instead of the system's two hours.
constexpr int kKeepAliveIdleS = 10;
constexpr int kKeepAliveIntervalS = 5;
constexpr int kKeepAliveProbes = 4;
constexpr std::size_t kReadChunk = 4096;

struct Endpoint {
    sockaddr_storage address{};
    socklen_t length = 0;
};

struct Lookup {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    int result = 0;
    std::vector<Endpoint> endpoints;
};

void RunLookup(const std::shared_ptr<Lookup>& lookup, const std::string& host,
               const std::string& port, int flags) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV | flags;
    addrinfo* list = nullptr;
    const int r = getaddrinfo(host.c_str(), port.c_str(), &hints, &list);
    std::vector<Endpoint> endpoints;
    if (r == 0) {
        for (const addrinfo* a = list; a; a = a->ai_next) {
            Endpoint e;
            e.length = static_cast<socklen_t>(std::min<std::size_t>(a->ai_addrlen, sizeof e.address));
            std::copy_n(reinterpret_cast<const std::uint8_t*>(a->ai_addr), e.length,
                        reinterpret_cast<std::uint8_t*>(&e.address));
            endpoints.push_back(e);
        }
        freeaddrinfo(list);
    }
    std::lock_guard lock(lookup->mutex);
    lookup->result = r;
    lookup->endpoints = std::move(endpoints);
    lookup->finished = true;
    lookup->done.notify_all();
}

int LookupError(int gaiResult) {
    switch (gaiResult) {
        case EAI_NONAME:
#ifdef EAI_NODATA
        case EAI_NODATA:
#endif
            return kNetNameNotFound;
        default:
            return kNetResolveFailed;
    }
}

// Addresses are looked up on a thread of their own so that an unanswering name server cannot
// hold the opening longer than its bound; a lookup that outlives it finishes unobserved.
int Resolve(const NetworkPortAddress& address, std::vector<Endpoint>& endpoints) {
    auto lookup = std::make_shared<Lookup>();
    const std::string port = std::to_string(address.port);
    RunLookup(lookup, address.host, port, AI_NUMERICHOST);
    if (lookup->result != 0) {
        lookup = std::make_shared<Lookup>();
        std::thread(RunLookup, lookup, address.host, port, 0).detach();
        std::unique_lock lock(lookup->mutex);
        if (!lookup->done.wait_for(lock,
                                   std::chrono::milliseconds(NetworkSerialDevice::kResolveTimeoutMs),
                                   [&] { return lookup->finished; }))
            return kNetResolveTimedOut;
    }
    if (lookup->result != 0) return LookupError(lookup->result);
    if (lookup->endpoints.empty()) return kNetNameNotFound;
    endpoints = lookup->endpoints;
    return 0;
}

int RemainingMs(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<long long>(0, left.count()));
}

}  // namespace

NetworkSerialDevice::NetworkSerialDevice() {
    if (pipe2(stopPipe_, O_CLOEXEC | O_NONBLOCK) != 0) stopPipe_[0] = stopPipe_[1] = -1;
}

NetworkSerialDevice::~NetworkSerialDevice() {
    Close();
    for (int fd : stopPipe_)
        if (fd >= 0) ::close(fd);
}

int NetworkSerialDevice::Open(const std::string& portName) {
    if (fd_ >= 0) return EBUSY;
    const auto address = ParseNetworkPort(portName);
    if (!address) return kNetBadAddress;
    // A stop left from an interrupted earlier session must not cancel this opening.
    ResetStop();
    {
        std::lock_guard lock(mutex_);
        telnet_ = TelnetComPort();
        rx_.clear();
        control_.clear();
        closingText_.clear();
        lost_ = false;
        lostError_ = 0;
    }
    rfc2217_ = address->protocol == NetworkPortAddress::Protocol::Rfc2217;
    if (const int e = Connect(*address)) return e;
    if (const int e = Negotiate(rfc2217_)) {
        Close();
        return e;
    }
    return 0;
}

int NetworkSerialDevice::Connect(const NetworkPortAddress& address) {
    std::vector<Endpoint> endpoints;
    if (const int e = Resolve(address, endpoints)) return e;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kConnectTimeoutMs);
    int error = ECONNREFUSED;
    for (const Endpoint& endpoint : endpoints) {
        const int fd = ::socket(endpoint.address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC,
                                IPPROTO_TCP);
        if (fd < 0) {
            error = errno;
            continue;
        }
        fd_ = fd;
        int r = ::connect(fd, reinterpret_cast<const sockaddr*>(&endpoint.address), endpoint.length);
        if (r != 0 && errno == EINPROGRESS) {
            const int w = WaitSocket(POLLOUT, deadline);
            if (w == 1) {
                socklen_t length = sizeof error;
                if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
                r = error == 0 ? 0 : -1;
            } else {
                error = w == 0 ? ETIMEDOUT : w == -1 ? ECANCELED : EIO;
            }
        } else if (r != 0) {
            error = errno;
        }
        if (r == 0) {
            const int one = 1;
            setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &one, sizeof one);
            setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &kKeepAliveIdleS, sizeof kKeepAliveIdleS);
            setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &kKeepAliveIntervalS, sizeof kKeepAliveIntervalS);
            setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &kKeepAliveProbes, sizeof kKeepAliveProbes);
            return 0;
        }
        ::close(fd);
        fd_ = -1;
        if (error == ETIMEDOUT || error == ECANCELED) break;
    }
    return error;
}

int NetworkSerialDevice::Negotiate(bool rfc2217) {
    const int boundMs = rfc2217 ? kNegotiationTimeoutMs : kRawSettleMs;
    const auto deadline = Clock::now() + std::chrono::milliseconds(boundMs);
    if (rfc2217) {
        std::lock_guard lock(mutex_);
        const auto start = telnet_.Start();
        control_.insert(control_.end(), start.begin(), start.end());
    }
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            DrainLocked();
            FlushControlLocked();
            if (lost_) {
                // ser2net tells a second client "Port already in use" before it closes.
                if (closingText_.find("in use") != std::string::npos) return EBUSY;
                return lostError_ ? lostError_ : kNetServerClosed;
            }
            if (rfc2217 && telnet_.State() == TelnetComPort::ComPortState::Refused)
                return kNetOptionRefused;
            if (rfc2217 && telnet_.SettingsAcknowledged()) return 0;
        }
        const int w = WaitSocket(POLLIN, deadline);
        if (w == 0) return rfc2217 ? kNetNoNegotiation : 0;
        if (w == -1) return ECANCELED;
        if (w == -2) return EIO;
    }
}

int NetworkSerialDevice::SetupQueues(int, int) { return fd_ >= 0 ? 0 : EBADF; }

int NetworkSerialDevice::ApplyLineSettings() { return fd_ >= 0 ? 0 : EBADF; }

int NetworkSerialDevice::ApplyTimeouts(int writeMultiplierMs, int writeConstantMs) {
    writeMultiplierMs_ = writeMultiplierMs;
    writeConstantMs_ = writeConstantMs;
    return fd_ >= 0 ? 0 : EBADF;
}

int NetworkSerialDevice::Purge() {
    if (fd_ < 0) return EBADF;
    std::vector<std::uint8_t> request;
    {
        std::lock_guard lock(mutex_);
        DrainLocked();
        rx_.clear();
        if (lost_) return lostError_ ? lostError_ : ECONNRESET;
        if (rfc2217_) request = telnet_.PurgeRequest();
    }
    if (request.empty()) return 0;
    std::size_t sent = 0;
    return SendAll(request, sent,
                   Clock::now() + std::chrono::milliseconds(writeConstantMs_ > 0 ? writeConstantMs_ : 1000));
}

void NetworkSerialDevice::Close() {
    if (fd_ < 0) return;
    std::lock_guard send(sendMutex_);
    std::lock_guard lock(mutex_);
    ::close(fd_);
    fd_ = -1;
    rx_.clear();
    control_.clear();
}

long NetworkSerialDevice::Write(const std::uint8_t* data, std::size_t count, int& error) {
    if (fd_ < 0) {
        error = EBADF;
        return -1;
    }
    const auto deadline =
        Clock::now() + std::chrono::milliseconds(static_cast<long long>(writeMultiplierMs_) *
                                                     static_cast<long long>(count) +
                                                 writeConstantMs_);
    std::vector<std::uint8_t> bytes;
    if (rfc2217_)
        TelnetComPort::Escape(data, count, bytes);
    else
        bytes.assign(data, data + count);
    std::size_t sent = 0;
    const int e = SendAll(bytes, sent, deadline);
    if (e != 0 && e != ETIMEDOUT) {
        error = e;
        return -1;
    }
    if (!rfc2217_) return static_cast<long>(sent);
    // Count the data bytes whose escaped form left completely.
    std::size_t escaped = 0, done = 0;
    while (done < count && escaped + (data[done] == TelnetComPort::kIac ? 2 : 1) <= sent) {
        escaped += data[done] == TelnetComPort::kIac ? 2 : 1;
        ++done;
    }
    return static_cast<long>(done);
}

int NetworkSerialDevice::SendAll(const std::vector<std::uint8_t>& bytes, std::size_t& sent,
                                 Clock::time_point deadline) {
    std::lock_guard send(sendMutex_);
    std::vector<std::uint8_t> out;
    {
        std::lock_guard lock(mutex_);
        if (lost_) return lostError_ ? lostError_ : EPIPE;
        out.swap(control_);
    }
    // Answers to the server go first, so that they never land inside the data's escapes.
    const std::size_t lead = out.size();
    out.insert(out.end(), bytes.begin(), bytes.end());
    std::size_t done = 0;
    int result = 0;
    while (done < out.size()) {
        const ssize_t n = ::send(fd_, out.data() + done, out.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            result = errno;
            std::lock_guard lock(mutex_);
            lost_ = true;
            lostError_ = result;
            break;
        }
        const int w = WaitSocket(POLLOUT, deadline);
        if (w == 1) continue;
        result = w == 0 ? ETIMEDOUT : w == -1 ? ECANCELED : EIO;
        break;
    }
    sent = done > lead ? done - lead : 0;
    if (done < lead) {
        std::lock_guard lock(mutex_);
        control_.insert(control_.begin(), out.begin() + static_cast<std::ptrdiff_t>(done),
                        out.begin() + static_cast<std::ptrdiff_t>(lead));
    }
    return result;
}

int NetworkSerialDevice::WaitSocket(short events, Clock::time_point deadline) {
    for (;;) {
        pollfd p[2] = {{stopPipe_[0], POLLIN, 0}, {fd_, events, 0}};
        const int r = poll(p, 2, RemainingMs(deadline));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return -2;
        if (r == 0) return 0;
        if (p[0].revents & POLLIN) return -1;
        if (p[1].revents & POLLNVAL) return -2;
        return 1;  // ready, or an error or hang-up that the next call reports
    }
}

long NetworkSerialDevice::Read(std::uint8_t* data, std::size_t count, int& error) {
    std::lock_guard lock(mutex_);
    if (fd_ < 0) {
        error = EBADF;
        return -1;
    }
    if (rx_.empty() && lost_) {
        error = lostError_ ? lostError_ : ECONNRESET;
        return -1;
    }
    const std::size_t n = std::min(count, rx_.size());
    std::copy_n(rx_.begin(), n, data);
    rx_.erase(rx_.begin(), rx_.begin() + static_cast<std::ptrdiff_t>(n));
    return static_cast<long>(n);
}

long NetworkSerialDevice::PendingInput(int& error) {
    std::lock_guard lock(mutex_);
    if (fd_ < 0 || (rx_.empty() && lost_)) {
        error = fd_ < 0 ? EBADF : lostError_ ? lostError_ : ECONNRESET;
        return -1;
    }
    return static_cast<long>(rx_.size());
}

void NetworkSerialDevice::DrainLocked() {
    if (lost_ || fd_ < 0) return;
    std::uint8_t buffer[kReadChunk];
    std::vector<std::uint8_t> data;
    for (;;) {
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) {
            data.clear();
            if (rfc2217_)
            {
                telnet_.Feed(buffer, static_cast<std::size_t>(n), data);
                const auto answers = telnet_.TakeOutput();
                control_.insert(control_.end(), answers.begin(), answers.end());
            } else {
                data.assign(buffer, buffer + n);
            }
            rx_.insert(rx_.end(), data.begin(), data.end());
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        // The server closed the connection (0) or it broke (reset, keep-alive gave up).
        lost_ = true;
        lostError_ = n == 0 ? 0 : errno;
        closingText_.assign(rx_.begin(), rx_.end());
        return;
    }
}

void NetworkSerialDevice::FlushControlLocked() {
    if (control_.empty() || fd_ < 0 || lost_) return;
    std::unique_lock send(sendMutex_, std::try_to_lock);
    if (!send.owns_lock()) return;  // a write is under way and sends them first
    const ssize_t n = ::send(fd_, control_.data(), control_.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) control_.erase(control_.begin(), control_.begin() + n);
}

SerialDevice::WaitResult NetworkSerialDevice::WaitForEvent() {
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            DrainLocked();
            FlushControlLocked();
            if (!rx_.empty()) return WaitResult::Arrival;
            if (lost_) return WaitResult::Lost;
        }
        const int w = WaitSocket(POLLIN, Clock::time_point::max());
        if (w == -1) return WaitResult::Stopped;
        if (w == -2) return WaitResult::Failed;
    }
}

void NetworkSerialDevice::StopWaiting() {
    const char b = 1;
    [[maybe_unused]] const ssize_t n = ::write(stopPipe_[1], &b, 1);
}

void NetworkSerialDevice::ResetStop() {
    char buf[64];
    while (::read(stopPipe_[0], buf, sizeof buf) > 0) {
    }
}

std::uint32_t NetworkSerialDevice::ServerBaudRate() const {
    std::lock_guard lock(mutex_);
    return telnet_.ServerBaudRate();
}

std::uint8_t NetworkSerialDevice::ServerStopSize() const {
    std::lock_guard lock(mutex_);
    return telnet_.ServerStopSize();
}

}  // namespace orbiqa
