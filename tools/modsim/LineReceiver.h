#pragma once
// The receiving half of the simulated line. A pseudo-terminal hands over whatever the client
// wrote at once; a real line delivers one byte per byte time. Each byte read from the terminal
// is given the moment it would have finished arriving, and is handed on only from then on.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

#include "LineTiming.h"

namespace orbiqa::modsim {

class LineReceiver {
public:
    /// byteTime 0 hands every byte on at once.
    explicit LineReceiver(Duration byteTime) : byteTime_(byteTime) {}

    /// Bytes read from the terminal at readAt.
    void Push(const std::uint8_t* data, std::size_t count, Time readAt);

    /// Calls deliver(byte, arrival) for every byte that has arrived by now, in order.
    template <typename Fn>
    void Deliver(Time now, Fn&& deliver) {
        while (!pending_.empty() && pending_.front().arrival <= now) {
            const Pending p = pending_.front();
            pending_.pop_front();
            deliver(p.byte, p.arrival);
        }
    }

    /// When the next byte arrives, or nothing when none is on its way.
    std::optional<Time> NextArrival() const;

private:
    struct Pending {
        Time arrival;
        std::uint8_t byte;
    };
    Duration byteTime_;
    Time lineFree_{};  // the moment the previous byte finished arriving
    std::deque<Pending> pending_;
};

}  // namespace orbiqa::modsim
