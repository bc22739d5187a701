#include "LineTransmitter.h"

#include <algorithm>

namespace orbiqa::modsim {

void LineTransmitter::Enqueue(std::vector<std::uint8_t> bytes, Time notBefore) {
    if (bytes.empty()) return;
    // The unit on the line stays in front, whatever its start.
    auto first = queue_.begin() + (started_ ? 1 : 0);
    auto pos = std::upper_bound(first, queue_.end(), notBefore,
                                [](Time t, const Unit& u) { return t < u.notBefore; });
    queue_.insert(pos, Unit{std::move(bytes), notBefore});
}

bool LineTransmitter::Pump(Time now, const Sink& sink) {
    while (!queue_.empty()) {
        Unit& front = queue_.front();
        if (!started_) {
            if (front.notBefore > now) return true;
            start_ = std::max(front.notBefore, lineFree_);
            started_ = true;
            written_ = 0;
        }
        if (DoneAt(front, start_) > now) return true;
        const std::size_t rest = front.bytes.size() - written_;
        const std::size_t taken = sink(front.bytes.data() + written_, rest);
        written_ += taken;
        if (taken < rest) return false;
        lineFree_ = DoneAt(front, start_);
        started_ = false;
        queue_.pop_front();
    }
    return true;
}

std::optional<Time> LineTransmitter::NextDue() const {
    if (queue_.empty()) return std::nullopt;
    const Unit& front = queue_.front();
    if (started_) return DoneAt(front, start_);
    return DoneAt(front, std::max(front.notBefore, lineFree_));
}

}  // namespace orbiqa::modsim
