#include "netport/NetworkPortError.h"
#include "netport/NetworkSerialDevice.h"

#include <algorithm>

namespace orbiqa {

namespace {
constexpr int kPurgeSendMs = 1000;
// What the server said before it closed, kept to tell "in use" from other closes.
constexpr std::size_t kClosingTextBytes = 256;

using Interest = NetworkSocket::Interest;

// What to wait for while nothing can be done: bytes to read while the queue has room, room to
// send while answers wait. A full queue with nothing to send is not waited on at all.
Interest InterestOf(const NetworkReceiveQueue& queue) {
    if (queue.Room() == 0) return Interest::Write;
    return queue.Answers().empty() ? Interest::Read : Interest::Either;
}
}  // namespace

NetworkSerialDevice::NetworkSerialDevice() = default;

NetworkSerialDevice::~NetworkSerialDevice() {
    Close();
}

int NetworkSerialDevice::Open(const std::string& portName) {
    if (socket_.IsOpen()) return NetworkSocket::kBusy;
    const auto address = ParseNetworkPort(portName);
    if (!address) return kNetBadAddress;
    rfc2217_ = address->protocol == NetworkPortAddress::Protocol::Rfc2217;
    // A stop left from an interrupted earlier session must not cancel this opening.
    ResetStop();
    {
        std::lock_guard lock(mutex_);
        queue_.Reset(rfc2217_);
        closingText_.clear();
        lost_ = false;
        lostError_ = 0;
    }
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
        queue_.PutAnswersLast(queue_.Telnet().Start());
    }
    for (;;) {
        Interest interest = Interest::Read;
        {
            std::lock_guard lock(mutex_);
            DrainLocked();
            FlushControlLocked();
            if (lost_) {
                // ser2net tells a second client "Port already in use" before it closes.
                if (closingText_.find("in use") != std::string::npos) return NetworkSocket::kBusy;
                // A server that closes with the opening requests unread resets the connection:
                // that is still the server closing, not a failure of the network.
                return lostError_ == 0 || lostError_ == NetworkSocket::kBroken ? kNetServerClosed
                                                                               : lostError_;
            }
            const TelnetComPort& telnet = queue_.Telnet();
            if (rfc2217_ && telnet.State() == TelnetComPort::ComPortState::Refused)
                return kNetOptionRefused;
            if (rfc2217_ && telnet.SettingsAcknowledged())
                return telnet.RefusedSettings() ? SettingsRefusedError(telnet.RefusedSettings())
                                                : 0;
            // Data before the port is open is never delivered (opening purges it); a raw server
            // that sends from the start is simply there.
            if (queue_.Pending() + NetworkReceiveQueue::kChunk > NetworkReceiveQueue::kDataLimit) {
                if (!rfc2217_) return 0;
                queue_.DiscardData();
            }
            interest = InterestOf(queue_);
        }
        // Checked here too: a server that never stops sending keeps the socket ready.
        if (Clock::now() >= deadline) return rfc2217_ ? kNetNoNegotiation : 0;
        switch (socket_.WaitFor(interest, deadline)) {
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
        queue_.DiscardData();
        if (lost_) return LostError();
        if (rfc2217_) request = queue_.Telnet().PurgeRequest();
    }
    if (request.empty()) return 0;
    std::size_t sent = 0;
    return SendAll(request, sent, Clock::now() + std::chrono::milliseconds(kPurgeSendMs));
}

void NetworkSerialDevice::Close() {
    std::lock_guard send(sendMutex_);
    std::lock_guard lock(mutex_);
    socket_.Close();
    queue_.Reset(rfc2217_);
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
        const std::uint8_t rest = TelnetComPort::kIac;
        queue_.PutAnswersFirst(&rest, 1);
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
        out.swap(queue_.Answers());
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
        const NetworkSocket::Wait w = socket_.WaitFor(Interest::Write, deadline);
        if (w == NetworkSocket::Wait::Ready) continue;
        result = w == NetworkSocket::Wait::TimedOut  ? NetworkSocket::kTimedOut
                 : w == NetworkSocket::Wait::Stopped ? NetworkSocket::kCancelled
                                                     : NetworkSocket::kBroken;
        break;
    }
    sent = done > lead ? done - lead : 0;
    if (done < lead) {
        std::lock_guard lock(mutex_);
        queue_.PutAnswersFirst(out.data() + done, lead - done);
    }
    return result;
}

long NetworkSerialDevice::Read(std::uint8_t* data, std::size_t count, int& error) {
    std::lock_guard lock(mutex_);
    if (!socket_.IsOpen()) {
        error = NetworkSocket::kNotOpen;
        return -1;
    }
    if (queue_.Pending() == 0 && lost_) {
        error = LostError();
        return -1;
    }
    return static_cast<long>(queue_.Read(data, count));
}

long NetworkSerialDevice::PendingInput(int& error) {
    std::lock_guard lock(mutex_);
    if (!socket_.IsOpen() || (queue_.Pending() == 0 && lost_)) {
        error = socket_.IsOpen() ? LostError() : NetworkSocket::kNotOpen;
        return -1;
    }
    return static_cast<long>(queue_.Pending());
}

void NetworkSerialDevice::DrainLocked() {
    if (lost_ || !socket_.IsOpen()) return;
    std::uint8_t buffer[NetworkReceiveQueue::kChunk];
    for (std::size_t taken = 0; taken < NetworkReceiveQueue::kBurst;) {
        const std::size_t room = queue_.Room();
        if (room == 0) return;
        int error = 0;
        const long n = socket_.Receive(buffer, std::min(room, sizeof buffer), error);
        if (n == 0) return;
        if (n < 0) {
            // The server closed the connection (error 0) or it broke (reset, keep-alive gave up).
            lost_ = true;
            lostError_ = error;
            std::uint8_t text[kClosingTextBytes];
            const std::size_t length = queue_.Peek(text, sizeof text);
            closingText_.assign(reinterpret_cast<const char*>(text), length);
            return;
        }
        queue_.Take(buffer, static_cast<std::size_t>(n));
        taken += static_cast<std::size_t>(n);
    }
}

void NetworkSerialDevice::FlushControlLocked() {
    auto& answers = queue_.Answers();
    if (answers.empty() || !socket_.IsOpen() || lost_) return;
    std::unique_lock send(sendMutex_, std::try_to_lock);
    if (!send.owns_lock()) return;  // a write is under way and sends them first
    int error = 0;
    const long n = socket_.Send(answers.data(), answers.size(), error);
    if (n > 0) answers.erase(answers.begin(), answers.begin() + n);
}

SerialDevice::WaitResult NetworkSerialDevice::WaitForEvent() {
    for (;;) {
        Interest interest = Interest::Read;
        {
            // A stop is looked at before the queue: a server that never stops sending must not
            // keep the event thread delivering.
            if (stopped_.load()) return WaitResult::Stopped;
            std::lock_guard lock(mutex_);
            DrainLocked();
            FlushControlLocked();
            if (queue_.Pending() != 0) return WaitResult::Arrival;
            if (lost_) return WaitResult::Lost;
            interest = InterestOf(queue_);
        }
        switch (socket_.WaitFor(interest, Clock::time_point::max())) {
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
    stopped_.store(true);
    socket_.Stop();
}

void NetworkSerialDevice::ResetStop() {
    socket_.ResetStop();
    stopped_.store(false);
}

std::uint32_t NetworkSerialDevice::ServerBaudRate() const {
    std::lock_guard lock(mutex_);
    return queue_.Telnet().ServerBaudRate();
}

std::uint8_t NetworkSerialDevice::ServerStopSize() const {
    std::lock_guard lock(mutex_);
    return queue_.Telnet().ServerStopSize();
}

NetworkReceiveQueue::Peaks NetworkSerialDevice::QueuePeaks() const {
    std::lock_guard lock(mutex_);
    return queue_.HighWater();
}

}  // namespace orbiqa
