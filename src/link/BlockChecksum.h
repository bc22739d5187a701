#pragma once
// The 32-bit checksum of a 64-byte memory block: the sum of (byte XOR key), where the byte at
// position j (0..11) of data message p (0..5) has the key p + 1 + j.
#include <cstddef>
#include <cstdint>

namespace orbiqa {

/// Key of block byte i (0..63).
constexpr std::uint8_t BlockChecksumKey(std::size_t i) {
    return static_cast<std::uint8_t>(i / 12 + i % 12 + 1);
}

/// Checksum of the 64 bytes at block.
constexpr std::uint32_t BlockChecksum(const std::uint8_t* block) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < 64; ++i) sum += static_cast<std::uint32_t>(block[i] ^ BlockChecksumKey(i));
    return sum;
}

}  // namespace orbiqa
