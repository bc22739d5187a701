#include "link/FrameCodec.h"

#include <algorithm>

namespace orbiqa {

ModuleMessage BuildCommandMessage(std::uint8_t command, std::uint8_t sequence,
                                  const std::uint8_t* arguments) {
    ModuleMessage m{kMessageOpen, command, sequence, 0x00, 0xFF, 0xFF, 0x00, 0xFF, 0xFF, 0x00,
                    arguments[0], arguments[1], arguments[2], arguments[3], arguments[4], kMessageClose};
    return m;
}

ModuleMessage BuildPayloadMessage(std::uint8_t command, const std::uint8_t* payload) {
    ModuleMessage m{};
    m[0] = kMessageOpen;
    m[1] = command;
    std::copy(payload, payload + 13, m.begin() + 2);
    m[15] = kMessageClose;
    return m;
}

SecureFrame EncodeFrame(AesCipher& cipher, const ModuleMessage& message) {
    Block16 block = message;
    cipher.EncryptBlock(block);
    SecureFrame frame{};
    frame[0] = kFrameOpen;
    std::copy(block.begin(), block.end(), frame.begin() + 1);
    frame[17] = kFrameClose;
    return frame;
}

FrameFinder::FrameFinder(const AesKey& key) : key_(key) {}

std::optional<ModuleMessage> FrameFinder::ReceiveByte(std::uint8_t b) {
    const std::uint8_t old = window_[0];
    std::copy(window_.begin() + 1, window_.end(), window_.begin());
    window_[16] = b;
    if (old != kFrameOpen || b != kFrameClose) return std::nullopt;
    Block16 block{};
    std::copy(window_.begin(), window_.begin() + 16, block.begin());
    cipher_.SetKey(key_);  // cached: a repeated set-up with the same key costs nothing
    cipher_.DecryptBlock(block);
    if (!IsValidMessage(block)) return std::nullopt;
    return block;
}

}  // namespace orbiqa
