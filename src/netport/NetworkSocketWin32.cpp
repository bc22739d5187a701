#include <winsock2.h>
#include <ws2tcpip.h>
// winsock2.h must come before windows.h.
#include <windows.h>
#include <mstcpip.h>

#include <algorithm>
#include <string>
#include <vector>

#include "netport/NetworkLookup.h"
#include "netport/NetworkPortError.h"
#include "netport/NetworkSocket.h"

namespace orbiqa {

const int NetworkSocket::kCancelled = ERROR_OPERATION_ABORTED;
const int NetworkSocket::kTimedOut = WSAETIMEDOUT;
const int NetworkSocket::kBusy = ERROR_BUSY;
const int NetworkSocket::kBroken = WSAECONNRESET;
const int NetworkSocket::kNotOpen = ERROR_INVALID_HANDLE;
const int NetworkSocket::kRefused = WSAECONNREFUSED;
const int NetworkSocket::kWaitFailed = WSAECONNABORTED;

namespace {

DWORD WaitMs(long long remainingMs) {
    return remainingMs < 0 ? WSA_INFINITE : static_cast<DWORD>(remainingMs);
}

// Winsock is started once for the program and left running: it ends with the process.
bool StartWinsock() {
    static const bool started = [] {
        WSADATA data{};
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

}  // namespace

static_assert(sizeof(sockaddr_storage) <= NetworkEndpoint::kCapacity &&
              alignof(sockaddr_storage) <= 8);

// Winsock must be started (Connect does that first).
int LookUpHost(const std::string& host, const std::string& port, bool numbersOnly,
               std::vector<NetworkEndpoint>& endpoints) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV | (numbersOnly ? AI_NUMERICHOST : 0);
    addrinfo* list = nullptr;
    const int r = getaddrinfo(host.c_str(), port.c_str(), &hints, &list);
    if (r == WSAHOST_NOT_FOUND || r == WSANO_DATA) return kNetNameNotFound;
    if (r != 0) return kNetResolveFailed;
    for (const addrinfo* a = list; a; a = a->ai_next)
        AddEndpoint(a->ai_addr, a->ai_addrlen, endpoints);
    freeaddrinfo(list);
    return endpoints.empty() ? kNetNameNotFound : 0;
}

struct NetworkSocket::Os {
    SOCKET socket = INVALID_SOCKET;
    WSAEVENT socketEvent = WSA_INVALID_EVENT;
    // A manual-reset event: SetEvent may be called from the console's control handler thread.
    HANDLE stop = nullptr;
};

NetworkSocket::NetworkSocket() : os_(std::make_unique<Os>()) {
    os_->stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

NetworkSocket::~NetworkSocket() {
    Close();
    if (os_->stop) CloseHandle(os_->stop);
}

int NetworkSocket::SystemReady() {
    return StartWinsock() ? 0 : WSAGetLastError();
}

int NetworkSocket::StartConnect(const NetworkEndpoint& endpoint, bool& pending) {
    const auto* target = reinterpret_cast<const sockaddr*>(endpoint.address);
    const SOCKET s = ::socket(target->sa_family, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return WSAGetLastError();
    const WSAEVENT event = WSACreateEvent();
    // Selecting events also makes the socket non-blocking.
    if (event == WSA_INVALID_EVENT ||
        WSAEventSelect(s, event, FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE) != 0) {
        const int error = WSAGetLastError();
        if (event != WSA_INVALID_EVENT) WSACloseEvent(event);
        closesocket(s);
        return error;
    }
    os_->socket = s;
    os_->socketEvent = event;
    if (::connect(s, target, endpoint.length) == 0) return 0;
    const int error = WSAGetLastError();
    // Writable means connected; in the error set means refused. Both wake the wait.
    pending = error == WSAEWOULDBLOCK;
    return pending ? 0 : error;
}

int NetworkSocket::ConnectOutcome() {
    int error = 0;
    int length = sizeof error;
    if (getsockopt(os_->socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0)
        error = WSAGetLastError();
    return error;
}

void NetworkSocket::SetConnectedOptions() {
    const BOOL one = TRUE;
    setsockopt(os_->socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
    // Windows sends a fixed count of probes (ten): their interval is chosen so that they end
    // within the policy's window, as the POSIX count and interval do.
    constexpr ULONG kWindowsProbes = 10;
    tcp_keepalive keepAlive{};
    keepAlive.onoff = 1;
    keepAlive.keepalivetime = KeepAlivePolicy::kIdleS * 1000u;
    keepAlive.keepaliveinterval = KeepAlivePolicy::kProbeWindowS * 1000u / kWindowsProbes;
    DWORD returned = 0;
    if (WSAIoctl(os_->socket, SIO_KEEPALIVE_VALS, &keepAlive, sizeof keepAlive, nullptr, 0, &returned,
                 nullptr, nullptr) != 0)
        setsockopt(os_->socket, SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<const char*>(&one), sizeof one);
    // The connection's event stays signalled for data that was already there.
    WSASetEvent(os_->socketEvent);
}

bool NetworkSocket::IsOpen() const {
    return os_->socket != INVALID_SOCKET;
}

void NetworkSocket::Close() {
    if (os_->socket != INVALID_SOCKET) closesocket(os_->socket);
    if (os_->socketEvent != WSA_INVALID_EVENT) WSACloseEvent(os_->socketEvent);
    os_->socket = INVALID_SOCKET;
    os_->socketEvent = WSA_INVALID_EVENT;
}

long NetworkSocket::Send(const std::uint8_t* data, std::size_t count, int& error) {
    const int chunk = static_cast<int>(std::min<std::size_t>(count, 1 << 20));
    const int n = ::send(os_->socket, reinterpret_cast<const char*>(data), chunk, 0);
    if (n >= 0) return n;
    const int e = WSAGetLastError();
    if (e == WSAEWOULDBLOCK) return 0;
    error = e;
    return -1;
}

long NetworkSocket::Receive(std::uint8_t* data, std::size_t count, int& error) {
    const int chunk = static_cast<int>(std::min<std::size_t>(count, 1 << 20));
    const int n = ::recv(os_->socket, reinterpret_cast<char*>(data), chunk, 0);
    if (n > 0) return n;
    if (n == 0) {
        error = 0;
        return -1;
    }
    const int e = WSAGetLastError();
    if (e == WSAEWOULDBLOCK) return 0;
    error = e;
    return -1;
}

NetworkSocket::Wait NetworkSocket::WaitFor(Interest interest, Clock::time_point deadline) {
    const bool reading = interest != Interest::Write;
    const bool writing = interest != Interest::Read;
    // Winsock signals FD_READ and FD_WRITE once until the next receive or send, so each wait
    // asks the socket directly before it sleeps on the events.
    for (;;) {
        if (WaitForSingleObject(os_->stop, 0) == WAIT_OBJECT_0) return Wait::Stopped;
        // Cleared before the socket is asked, so that what arrives after the question still
        // wakes the wait below.
        WSAResetEvent(os_->socketEvent);
        fd_set readable, writable, errors;
        FD_ZERO(&readable);
        FD_ZERO(&writable);
        FD_ZERO(&errors);
        FD_SET(os_->socket, &readable);
        FD_SET(os_->socket, &writable);
        FD_SET(os_->socket, &errors);
        timeval now{0, 0};
        const int r = ::select(0, reading ? &readable : nullptr, writing ? &writable : nullptr,
                               &errors, &now);
        if (r < 0) return Wait::Failed;
        if (r > 0) return Wait::Ready;
        const HANDLE handles[2] = {os_->stop, os_->socketEvent};
        const DWORD woken =
            WSAWaitForMultipleEvents(2, handles, FALSE, WaitMs(RemainingMs(deadline)), FALSE);
        if (woken == WSA_WAIT_EVENT_0) return Wait::Stopped;
        if (woken == WSA_WAIT_TIMEOUT) return Wait::TimedOut;
        if (woken != WSA_WAIT_EVENT_0 + 1) return Wait::Failed;
        WSANETWORKEVENTS events{};
        WSAEnumNetworkEvents(os_->socket, os_->socketEvent, &events);
        if (events.lNetworkEvents & FD_CLOSE) return Wait::Ready;
    }
}

void NetworkSocket::Stop() {
    SetEvent(os_->stop);
}

void NetworkSocket::ResetStop() {
    ResetEvent(os_->stop);
}

}  // namespace orbiqa
