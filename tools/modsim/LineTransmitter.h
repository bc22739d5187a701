#pragma once
// The sending half of the simulated line. Messages wait in a queue ordered by the moment they
// may start; the line carries one byte per byte time, and each message is handed to the
// terminal in one write once its last byte would have arrived at the other end. So the client
// never receives faster than the line allows, and is woken once per frame rather than per byte.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "LineTiming.h"

namespace orbiqa::modsim {

class LineTransmitter {
public:
    /// Takes bytes for the terminal and returns how many it took (fewer when it would block).
    using Sink = std::function<std::size_t(const std::uint8_t*, std::size_t)>;

    /// byteTime 0 sends everything as soon as it may start.
    explicit LineTransmitter(Duration byteTime) : byteTime_(byteTime) {}

    /// Queues a message that may start no earlier than notBefore. Messages with the same or an
    /// earlier start keep their order; a message that may start sooner goes ahead of later ones.
    void Enqueue(std::vector<std::uint8_t> bytes, Time notBefore);

    /// Hands the sink everything the line has finished by now. Returns false when the sink took
    /// less than offered; call again when the terminal can take more.
    bool Pump(Time now, const Sink& sink);

    /// When Pump has something to hand over next; nothing while the queue is empty.
    std::optional<Time> NextDue() const;

    /// Messages waiting, including the one on the line.
    std::size_t Backlog() const { return queue_.size(); }

private:
    struct Unit {
        std::vector<std::uint8_t> bytes;
        Time notBefore;
    };
    Time DoneAt(const Unit& u, Time start) const {
        return start + byteTime_ * static_cast<long long>(u.bytes.size());
    }

    Duration byteTime_;
    std::deque<Unit> queue_;
    Time lineFree_{};
    bool started_ = false;   // the front unit is on the line, from start_
    Time start_{};
    std::size_t written_ = 0;  // bytes of the front unit already handed to the sink
};

}  // namespace orbiqa::modsim
