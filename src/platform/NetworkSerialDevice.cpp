#include "platform/NetworkSerialDevice.h"

#include <algorithm>

namespace orbiqa {

namespace {
constexpr std::size_t kReadChunk = 4096;
constexpr int kPurgeSendMs = 1000;
}  // namespace

NetworkSerialDevice::NetworkSerialDevice() = default;

NetworkSerialDevice::~NetworkSerialDevice() {
    Close();
}

int NetworkSerialDevice::Open(const std::string& portName) {
    if (socket_.IsOpen()) return NetworkSocket::kBusy;
    const auto address = ParseNetworkPort(portName);
    if (!address) return kNetBadAddress;
    // A stop left from an interrupted earlier session must not cancel this opening.
    socket_.ResetStop();
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
    if (const int e = socket_.Connect(*address, kResolveTimeoutMs, kConnectTimeoutMs)) return e;
    if (const int e = Negotiate()) {
        Close();
        return e;
    }
    return 0;
}

int NetworkSerialDevice::Negotiate() {
    const auto deadline =
        Clock::now() + std::chrono::milliseconds(rfc2217_ ? kNegotiationTimeoutMs : kRawSettleMs);
    if (rfc2217_) {
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
                if (closingText_.find("in use") != std::string::npos) return NetworkSocket::kBusy;
                return lostError_ ? lostError_ : kNetServerClosed;
            }
            if (rfc2217_ && telnet_.State() == TelnetComPort::ComPortState::Refused)
                return kNetOptionRefused;
            if (rfc2217_ && telnet_.SettingsAcknowledged()) return 0;
        }
        switch (socket_.WaitFor(false, deadline)) {
            case NetworkSocket::Wait::Ready:
                break;
            case NetworkSocket::Wait::TimedOut:
                return rfc2217_ ? kNetNoNegotiation : 0;
            case NetworkSocket::Wait::Stopped:
                return NetworkSocket::kCancelled;
            case NetworkSocket::Wait::Failed:
                return NetworkSocket::kBroken;
        }
    }
}

int NetworkSerialDevice::SetupQueues(int, int) {
    return socket_.IsOpen() ? 0 : NetworkSocket::kNotOpen;
}

int NetworkSerialDevice::ApplyLineSettings() {
    return socket_.IsOpen() ? 0 : NetworkSocket::kNotOpen;
}

int NetworkSerialDevice::ApplyTimeouts(int writeMultiplierMs, int writeConstantMs) {
    writeMultiplierMs_ = writeMultiplierMs;
    writeConstantMs_ = writeConstantMs;
    return socket_.IsOpen() ? 0 : NetworkSocket::kNotOpen;
}

int NetworkSerialDevice::LostError() const {
    return lostError_ ? lostError_ : NetworkSocket::kBroken;
}

int NetworkSerialDevice::Purge() {
    if (!socket_.IsOpen()) return NetworkSocket::kNotOpen;
    std::vector<std::uint8_t> request;
    {
        std::lock_guard lock(mutex_);
        DrainLocked();
        rx_.clear();
        if (lost_) return LostError();
        if (rfc2217_) request = telnet_.PurgeRequest();
    }
    if (request.empty()) return 0;
    std::size_t sent = 0;
    return SendAll(request, sent, Clock::now() + std::chrono::milliseconds(kPurgeSendMs));
}

void NetworkSerialDevice::Close() {
    std::lock_guard send(sendMutex_);
    std::lock_guard lock(mutex_);
    socket_.Close();
    rx_.clear();
    control_.clear();
}

long NetworkSerialDevice::Write(const std::uint8_t* data, std::size_t count, int& error) {
    if (!socket_.IsOpen()) {
        error = NetworkSocket::kNotOpen;
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
    if (e != 0 && e != NetworkSocket::kTimedOut) {
        error = e;
        return -1;
    }
    if (!rfc2217_) return static_cast<long>(sent);
    // Count the data bytes whose escaped form left completely; half an escape left behind is
    // sent first next time, so that the stream stays whole.
    std::size_t escaped = 0, done = 0;
    while (done < count) {
        const std::size_t width = data[done] == TelnetComPort::kIac ? 2 : 1;
        if (escaped + width > sent) break;
        escaped += width;
        ++done;
    }
    if (sent > escaped) {
        std::lock_guard lock(mutex_);
        control_.insert(control_.begin(), TelnetComPort::kIac);
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
        if (lost_) return LostError();
        out.swap(control_);
    }
    // Answers to the server go first, so that they never land inside the data's escapes.
    const std::size_t lead = out.size();
    out.insert(out.end(), bytes.begin(), bytes.end());
    std::size_t done = 0;
    int result = 0;
    while (done < out.size()) {
        int error = 0;
        const long n = socket_.Send(out.data() + done, out.size() - done, error);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0) {
            result = error;
            std::lock_guard lock(mutex_);
            lost_ = true;
            lostError_ = error;
            break;
        }
        const NetworkSocket::Wait w = socket_.WaitFor(true, deadline);
        if (w == NetworkSocket::Wait::Ready) continue;
        result = w == NetworkSocket::Wait::TimedOut  ? NetworkSocket::kTimedOut
                 : w == NetworkSocket::Wait::Stopped ? NetworkSocket::kCancelled
                                                     : NetworkSocket::kBroken;
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

long NetworkSerialDevice::Read(std::uint8_t* data, std::size_t count, int& error) {
    std::lock_guard lock(mutex_);
    if (!socket_.IsOpen()) {
        error = NetworkSocket::kNotOpen;
        return -1;
    }
    if (rx_.empty() && lost_) {
        error = LostError();
        return -1;
    }
    const std::size_t n = std::min(count, rx_.size());
    std::copy_n(rx_.begin(), n, data);
    rx_.erase(rx_.begin(), rx_.begin() + static_cast<std::ptrdiff_t>(n));
    return static_cast<long>(n);
}

long NetworkSerialDevice::PendingInput(int& error) {
    std::lock_guard lock(mutex_);
    if (!socket_.IsOpen() || (rx_.empty() && lost_)) {
        error = socket_.IsOpen() ? LostError() : NetworkSocket::kNotOpen;
        return -1;
    }
    return static_cast<long>(rx_.size());
}

void NetworkSerialDevice::DrainLocked() {
    if (lost_ || !socket_.IsOpen()) return;
    std::uint8_t buffer[kReadChunk];
    std::vector<std::uint8_t> data;
    for (;;) {
        int error = 0;
        const long n = socket_.Receive(buffer, sizeof buffer, error);
        if (n == 0) return;
        if (n < 0) {
            // The server closed the connection (error 0) or it broke (reset, keep-alive gave up).
            lost_ = true;
            lostError_ = error;
            closingText_.assign(rx_.begin(), rx_.end());
            return;
        }
        if (rfc2217_) {
            data.clear();
            telnet_.Feed(buffer, static_cast<std::size_t>(n), data);
            const auto answers = telnet_.TakeOutput();
            control_.insert(control_.end(), answers.begin(), answers.end());
            rx_.insert(rx_.end(), data.begin(), data.end());
        } else {
            rx_.insert(rx_.end(), buffer, buffer + n);
        }
    }
}

void NetworkSerialDevice::FlushControlLocked() {
    if (control_.empty() || !socket_.IsOpen() || lost_) return;
    std::unique_lock send(sendMutex_, std::try_to_lock);
    if (!send.owns_lock()) return;  // a write is under way and sends them first
    int error = 0;
    const long n = socket_.Send(control_.data(), control_.size(), error);
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
        switch (socket_.WaitFor(false, Clock::time_point::max())) {
            case NetworkSocket::Wait::Ready:
            case NetworkSocket::Wait::TimedOut:
                break;
            case NetworkSocket::Wait::Stopped:
                return WaitResult::Stopped;
            case NetworkSocket::Wait::Failed:
                return WaitResult::Failed;
        }
    }
}

void NetworkSerialDevice::StopWaiting() {
    socket_.Stop();
}

void NetworkSerialDevice::ResetStop() {
    socket_.ResetStop();
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
