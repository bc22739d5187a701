#pragma once
// Line errors as a serial device learns them, kept until the link takes them. Every system counts
// by one rule: a check of the driver that finds a kind of error counts that kind once, however
// many bytes it hit. Windows tells only which kinds occurred since the last check; the running
// counters of a Linux driver are reduced to the same, so that "parity error 2" in the traffic
// log means the same on both.
#include <mutex>
#include <utility>

#include "device/SerialDevice.h"

namespace orbiqa {

/// The kinds of line error one check of the driver found.
struct LineErrorKinds {
    bool overrun = false;
    bool queueOverflow = false;
    bool framing = false;
    bool parity = false;
    bool breaks = false;
};

/// The counts of the checks so far. The port's owner checks and takes, but a device may check
/// from its event thread too, so both sides lock.
class LineErrorTally {
public:
    void Note(const LineErrorKinds& found) {
        std::lock_guard lock(mutex_);
        counts_.overrun += found.overrun ? 1 : 0;
        counts_.queueOverflow += found.queueOverflow ? 1 : 0;
        counts_.framing += found.framing ? 1 : 0;
        counts_.parity += found.parity ? 1 : 0;
        counts_.breaks += found.breaks ? 1 : 0;
    }
    /// The counts since the last Take, which clears them.
    LineErrorCounts Take() {
        std::lock_guard lock(mutex_);
        return std::exchange(counts_, LineErrorCounts{});
    }

private:
    std::mutex mutex_;
    LineErrorCounts counts_;
};

}  // namespace orbiqa
