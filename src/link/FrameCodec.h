#pragma once
// The wire format around a ModuleMessage: building command and payload messages, enciphering
// them into 18-byte frames, and finding frames in a received byte stream.
#include <array>
#include <cstdint>
#include <optional>

#include "link/AesCipher.h"
#include "link/ModuleMessage.h"

namespace orbiqa {

/// "[", command, sequence, 00 FF FF 00 FF FF 00, a0..a4, "]".
ModuleMessage BuildCommandMessage(std::uint8_t command, std::uint8_t sequence,
                                  const std::uint8_t* arguments /* 5 bytes */);

/// "[", command, p0..p12, "]".
ModuleMessage BuildPayloadMessage(std::uint8_t command, const std::uint8_t* payload /* 13 bytes */);

/// Enciphers the message with the cipher (already keyed) and frames it with "{" and "}".
SecureFrame EncodeFrame(AesCipher& cipher, const ModuleMessage& message);

/// True when a plaintext carries the "[" ... "]" marks, the only validation a frame gets.
inline bool IsValidMessage(const ModuleMessage& m) {
    return m[0] == kMessageOpen && m[15] == kMessageClose;
}

/// The byte-by-byte frame finder. It keeps the last 17 bytes; whenever a "{" stands 17 bytes
/// before a "}", the 16 bytes after the "{" are deciphered and, when they carry the "[" and "]"
/// marks, returned as a message. Bytes before, between and after frames are ignored, so the
/// finder resynchronises by itself after noise or lost bytes.
class FrameFinder {
public:
    explicit FrameFinder(const AesKey& key);

    std::optional<ModuleMessage> ReceiveByte(std::uint8_t b);

    const std::array<std::uint8_t, 17>& Window() const { return window_; }

private:
    std::array<std::uint8_t, 17> window_{};
    AesKey key_;
    AesCipher cipher_;
};

}  // namespace orbiqa
