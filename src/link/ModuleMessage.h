#pragma once
// The 16-byte plaintext message and the 18-byte wire frame around it, with the command and
// message type codes both sides use.
#include <array>
#include <cstddef>
#include <cstdint>

#include "link/AesCipher.h"

namespace orbiqa {

using ModuleMessage = Block16;

inline constexpr std::uint8_t kFrameOpen = 0x7B;    // "{"
inline constexpr std::uint8_t kFrameClose = 0x7D;   // "}"
inline constexpr std::uint8_t kMessageOpen = 0x5B;  // "["
inline constexpr std::uint8_t kMessageClose = 0x5D; // "]"
inline constexpr std::size_t kSecureFrameSize = 18;
using SecureFrame = std::array<std::uint8_t, kSecureFrameSize>;

// The status poll: an unframed text line (with a carriage return) that the module answers with a
// status message whatever its key. The state window and the status command repeat it.
inline constexpr const char* kStatusPollLine = "??";
inline constexpr int kStatusPollIntervalMs = 500;

// Command codes sent by the program.
inline constexpr std::uint8_t kCmdReadBlock = 0x1C;   // 28
inline constexpr std::uint8_t kCmdWriteHeader = 0x2D; // 45
inline constexpr std::uint8_t kCmdWriteData = 0x3D;   // 61

// Received message types (byte 1 masked with kTypeMask, except the two exact channel-3/DTMF ones).
inline constexpr std::uint8_t kTypeMask = 0x3F;
inline constexpr std::uint8_t kTypeShortText1 = 0x21;   // "!"
inline constexpr std::uint8_t kTypeLongText1 = 0x31;    // "1"
inline constexpr std::uint8_t kTypeShortText2 = 0x22;   // '"'
inline constexpr std::uint8_t kTypeLongText2 = 0x32;    // "2"
inline constexpr std::uint8_t kTypeShortText3 = 0x23;   // "#"
inline constexpr std::uint8_t kTypeLongText3 = 0x33;    // "3", exact byte only
inline constexpr std::uint8_t kTypeShortDtmf = 0x25;    // "%"
inline constexpr std::uint8_t kTypeLongDtmf = 0x35;     // "5", exact byte only
inline constexpr std::uint8_t kTypeStatus = 0x24;       // "$"
inline constexpr std::uint8_t kTypeReplyHeader = 0x2C;  // ","
inline constexpr std::uint8_t kTypeReplyData = 0x3C;    // "<"
inline constexpr std::uint8_t kTypeWriteAck = 0x1D;
inline constexpr std::uint8_t kWriteAckMark = 0x40;     // "@" in byte 14

inline constexpr std::size_t kBlockSize = 64;
inline constexpr std::size_t kVersionBlock = 254;

}  // namespace orbiqa
