#pragma once
// The COM numbers Windows hands out: 1 to 256. A PC that has seen many USB adapters gives them
// numbers above 100, so every reader of a port name accepts the whole range. On Linux the fixed
// device rule covers COM1..96; the numbers above come from port links.
namespace orbiqa {

constexpr int kFirstComPort = 1;
constexpr int kLastComPort = 256;

constexpr bool IsComPortNumber(int n) {
    return n >= kFirstComPort && n <= kLastComPort;
}

}  // namespace orbiqa
