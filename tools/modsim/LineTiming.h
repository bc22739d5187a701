#pragma once
// Time on the simulated serial line.
#include <chrono>

namespace orbiqa::modsim {

using Clock = std::chrono::steady_clock;
using Time = Clock::time_point;
using Duration = std::chrono::nanoseconds;

/// One byte at 19200 baud, 8N1: a start bit, 8 data bits and a stop bit = 10 bits.
inline constexpr Duration kByteTime19200 = std::chrono::nanoseconds(10 * 1'000'000'000LL / 19200);

}  // namespace orbiqa::modsim
