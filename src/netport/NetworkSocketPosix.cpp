#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "netport/NetworkLookup.h"
#include "netport/NetworkPortError.h"
#include "netport/NetworkSocket.h"

namespace orbiqa {

const int NetworkSocket::kCancelled = ECANCELED;
const int NetworkSocket::kTimedOut = ETIMEDOUT;
const int NetworkSocket::kBusy = EBUSY;
const int NetworkSocket::kBroken = ECONNRESET;
const int NetworkSocket::kNotOpen = EBADF;
const int NetworkSocket::kRefused = ECONNREFUSED;
const int NetworkSocket::kWaitFailed = EIO;

static_assert(sizeof(sockaddr_storage) <= NetworkEndpoint::kCapacity &&
              alignof(sockaddr_storage) <= 8);

int LookUpHost(const std::string& host, const std::string& port, bool numbersOnly,
               std::vector<NetworkEndpoint>& endpoints) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV | (numbersOnly ? AI_NUMERICHOST : 0);
    addrinfo* list = nullptr;
    const int r = getaddrinfo(host.c_str(), port.c_str(), &hints, &list);
    if (r == EAI_NONAME) return kNetNameNotFound;
    if (r != 0) return kNetResolveFailed;
    for (const addrinfo* a = list; a; a = a->ai_next)
        AddEndpoint(a->ai_addr, a->ai_addrlen, endpoints);
    freeaddrinfo(list);
    return endpoints.empty() ? kNetNameNotFound : 0;
}

struct NetworkSocket::Os {
    int fd = -1;
    int stop[2] = {-1, -1};
};

NetworkSocket::NetworkSocket() : os_(std::make_unique<Os>()) {
    if (pipe2(os_->stop, O_CLOEXEC | O_NONBLOCK) != 0) os_->stop[0] = os_->stop[1] = -1;
}

NetworkSocket::~NetworkSocket() {
    Close();
    for (int fd : os_->stop)
        if (fd >= 0) ::close(fd);
}

int NetworkSocket::SystemReady() {
    return 0;
}

int NetworkSocket::StartConnect(const NetworkEndpoint& endpoint, bool& pending) {
    const auto* target = reinterpret_cast<const sockaddr*>(endpoint.address);
    const int fd = ::socket(target->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) return errno;
    os_->fd = fd;
    if (::connect(fd, target, static_cast<socklen_t>(endpoint.length)) == 0) return 0;
    pending = errno == EINPROGRESS;
    return pending ? 0 : errno;
}

int NetworkSocket::ConnectOutcome() {
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(os_->fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
    return error;
}

void NetworkSocket::SetConnectedOptions() {
    const int one = 1;
    const int idle = KeepAlivePolicy::kIdleS;
    const int probes = KeepAlivePolicy::kProbes;
    const int interval = KeepAlivePolicy::kProbeWindowS / KeepAlivePolicy::kProbes;
    setsockopt(os_->fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    setsockopt(os_->fd, SOL_SOCKET, SO_KEEPALIVE, &one, sizeof one);
    setsockopt(os_->fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    setsockopt(os_->fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    setsockopt(os_->fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
}

bool NetworkSocket::IsOpen() const {
    return os_->fd >= 0;
}

void NetworkSocket::Close() {
    if (os_->fd < 0) return;
    ::close(os_->fd);
    os_->fd = -1;
}

long NetworkSocket::Send(const std::uint8_t* data, std::size_t count, int& error) {
    for (;;) {
        const ssize_t n = ::send(os_->fd, data, count, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n >= 0) return static_cast<long>(n);
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
        error = errno;
        return -1;
    }
}

long NetworkSocket::Receive(std::uint8_t* data, std::size_t count, int& error) {
    for (;;) {
        const ssize_t n = ::recv(os_->fd, data, count, MSG_DONTWAIT);
        if (n > 0) return static_cast<long>(n);
        if (n == 0) {
            error = 0;
            return -1;
        }
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
        error = errno;
        return -1;
    }
}

NetworkSocket::Wait NetworkSocket::WaitFor(Interest interest, Clock::time_point deadline) {
    const short events = interest == Interest::Read    ? POLLIN
                         : interest == Interest::Write ? POLLOUT
                                                       : POLLIN | POLLOUT;
    for (;;) {
        pollfd p[2] = {{os_->stop[0], POLLIN, 0}, {os_->fd, events, 0}};
        const int r = poll(p, 2, static_cast<int>(RemainingMs(deadline)));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return Wait::Failed;
        if (r == 0) return Wait::TimedOut;
        if (p[0].revents & POLLIN) return Wait::Stopped;
        if (p[1].revents & POLLNVAL) return Wait::Failed;
        return Wait::Ready;  // ready, or an error or hang-up that the next call reports
    }
}

void NetworkSocket::Stop() {
    const char b = 1;
    [[maybe_unused]] const ssize_t n = ::write(os_->stop[1], &b, 1);
}

void NetworkSocket::ResetStop() {
    char buf[64];
    while (::read(os_->stop[0], buf, sizeof buf) > 0) {
    }
}

}  // namespace orbiqa
