#include "LineReceiver.h"

#include <algorithm>

namespace orbiqa::modsim {

void LineReceiver::Push(const std::uint8_t* data, std::size_t count, Time readAt) {
    for (std::size_t i = 0; i < count; ++i) {
        // A byte starts on the line when the client wrote it (no later than it was read here)
        // or when the line is free again, whichever comes last.
        lineFree_ = std::max(lineFree_, readAt) + byteTime_;
        pending_.push_back({lineFree_, data[i]});
    }
}

std::optional<Time> LineReceiver::NextArrival() const {
    if (pending_.empty()) return std::nullopt;
    return pending_.front().arrival;
}

}  // namespace orbiqa::modsim
