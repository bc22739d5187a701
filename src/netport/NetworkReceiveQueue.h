#pragma once
// What a network port holds between the socket and its two readers: the data waiting for the
// port above it, and the Telnet answers waiting for the server to take them. Both are bounded.
// A full queue is not emptied by dropping: the socket is simply not read until there is room
// again, so that TCP holds the server back and nothing is lost. Without sockets, so that the
// rules can be fuzzed; the network device owns one and locks around it.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "netport/TelnetComPort.h"

namespace orbiqa {

class NetworkReceiveQueue {
public:
    using Bytes = TelnetComPort::Bytes;

    /// Data waiting for the port's reader: more than the module sends in many seconds, and a
    /// hand-over's worth for a server that floods.
    static constexpr std::size_t kDataLimit = 64 * 1024;
    /// Answers waiting for the server. A server that asks without end and never reads fills it,
    /// and is then no longer read either.
    static constexpr std::size_t kAnswerLimit = 16 * 1024;
    /// Bytes taken from the socket at a time.
    static constexpr std::size_t kChunk = 4 * 1024;
    /// Bytes taken from the socket before the reader looks again for a stop and lets the
    /// port's reader in: a server that sends faster than it can be read must not hold either.
    static constexpr std::size_t kBurst = 64 * 1024;

    /// telnet: the bytes are a Telnet stream (RFC 2217), else data as it is.
    explicit NetworkReceiveQueue(bool telnet = false) : telnet_(telnet) {}

    /// Empties both queues and starts a new Telnet session.
    void Reset(bool telnet);

    /// How many bytes may be taken from the socket now: kChunk, or 0 while either queue lacks
    /// room for what a chunk can add.
    std::size_t Room() const;
    /// Takes bytes received (at most Room()): data into the data queue, answers into the
    /// answer queue.
    void Take(const std::uint8_t* bytes, std::size_t count);

    /// Moves up to count data bytes out; returns how many.
    std::size_t Read(std::uint8_t* out, std::size_t count);
    std::size_t Pending() const { return data_.size(); }
    /// Copies up to count data bytes from the front without taking them; returns how many.
    std::size_t Peek(std::uint8_t* out, std::size_t count) const;
    void DiscardData() { data_.clear(); }

    /// The answers to send, in order; the sender erases what left.
    Bytes& Answers() { return answers_; }
    const Bytes& Answers() const { return answers_; }
    /// Adds bytes to the answers: at the front (a sender's leftover, which must go first) or
    /// at the back (requests of the port's own).
    void PutAnswersFirst(const std::uint8_t* bytes, std::size_t count);
    void PutAnswersLast(const Bytes& bytes);

    TelnetComPort& Telnet() { return telnet_session_; }
    const TelnetComPort& Telnet() const { return telnet_session_; }

    /// The most each queue has held since Reset.
    struct Peaks {
        std::size_t data = 0;
        std::size_t answers = 0;
    };
    Peaks HighWater() const { return peaks_; }

private:
    void NotePeaks();

    bool telnet_;
    TelnetComPort telnet_session_;
    std::deque<std::uint8_t> data_;
    Bytes answers_;
    Bytes decoded_;
    Peaks peaks_;
};

}  // namespace orbiqa
