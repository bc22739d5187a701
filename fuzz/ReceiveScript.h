#pragma once
// The receive-path fuzzer's input: a script of steps, each turned into line bytes. Raw steps give
// the frame finder any bytes at all; the other steps are enciphered here with the module key, so
// that mutations of message types, bodies and block replies reach the dispatcher instead of
// dying in the cipher. The seed generator writes scripts in the same form.
#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "ModuleKey.h"
#include "link/AesCipher.h"
#include "link/BlockChecksum.h"
#include "link/FrameCodec.h"
#include "link/ModuleMessage.h"

namespace orbiqa::fuzz {

enum class Step : std::uint8_t {
    Raw = 0,        // length byte, then that many line bytes
    Message = 1,    // 14 bytes: type and 13 body bytes, framed with "[" and "]"
    BlockReply = 2, // block number, 64 data bytes, a fault byte (see ReplyFault)
    Plaintext = 3,  // 16 plaintext bytes enciphered as they are, marks or not
};
constexpr std::size_t kStepKinds = 4;

/// Fault byte of a block reply: bit 0 turns the checksum off by one; bits 1..3 name a data
/// message (0..5) left out, 6 and 7 leave none out; bit 4 repeats the message named by bits 1..3.
struct ReplyFault {
    bool badChecksum;
    int dropped;   // -1: none
    int repeated;  // -1: none
    static ReplyFault From(std::uint8_t b) {
        const int m = (b >> 1) & 7;
        const int named = m < 6 ? m : -1;
        return {(b & 1) != 0, (b & 0x10) ? -1 : named, (b & 0x10) ? named : -1};
    }
    bool Intact() const { return !badChecksum && dropped < 0 && repeated < 0; }
};

/// The seven messages of a block-read reply: the header and data messages 0..5.
inline std::vector<ModuleMessage> BlockReplyMessages(std::uint8_t block, const std::uint8_t* data, ReplyFault fault) {
    std::vector<ModuleMessage> out;
    std::uint8_t header[13]{};
    header[11] = block;
    header[12] = 64;
    out.push_back(BuildPayloadMessage(kTypeReplyHeader, header));
    std::uint32_t checksum = BlockChecksum(data) + (fault.badChecksum ? 1 : 0);
    for (int n = 0; n < 6; ++n) {
        std::uint8_t body[13]{};
        body[0] = static_cast<std::uint8_t>(n);
        if (n < 5) {
            for (int i = 0; i < 12; ++i) body[1 + i] = data[n * 12 + i];
        } else {
            for (int i = 0; i < 4; ++i) body[1 + i] = data[60 + i];
            body[5] = static_cast<std::uint8_t>(checksum >> 24);
            body[6] = static_cast<std::uint8_t>(checksum >> 16);
            body[7] = static_cast<std::uint8_t>(checksum >> 8);
            body[8] = static_cast<std::uint8_t>(checksum);
        }
        if (n == fault.dropped) continue;
        out.push_back(BuildPayloadMessage(kTypeReplyData, body));
        if (n == fault.repeated) out.push_back(out.back());
    }
    return out;
}

/// Appends the frame of a message, enciphered with the module key.
inline void AppendFrame(std::vector<std::uint8_t>& line, AesCipher& cipher, const ModuleMessage& m) {
    const SecureFrame f = EncodeFrame(cipher, m);
    line.insert(line.end(), f.begin(), f.end());
}

/// Builds scripts (used by the seed generator and by tests of the harness).
class ScriptWriter {
public:
    void Raw(const std::vector<std::uint8_t>& bytes) {
        for (std::size_t at = 0; at < bytes.size(); at += 255) {
            const std::size_t n = std::min<std::size_t>(255, bytes.size() - at);
            out_.push_back(static_cast<std::uint8_t>(Step::Raw));
            out_.push_back(static_cast<std::uint8_t>(n));
            out_.insert(out_.end(), bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(at + n));
        }
    }
    void Message(std::uint8_t type, const std::array<std::uint8_t, 13>& body) {
        out_.push_back(static_cast<std::uint8_t>(Step::Message));
        out_.push_back(type);
        out_.insert(out_.end(), body.begin(), body.end());
    }
    void BlockReply(std::uint8_t block, const std::uint8_t* data, std::uint8_t fault = 0x0E) {
        out_.push_back(static_cast<std::uint8_t>(Step::BlockReply));
        out_.push_back(block);
        out_.insert(out_.end(), data, data + 64);
        out_.push_back(fault);
    }
    void Plaintext(const ModuleMessage& m) {
        out_.push_back(static_cast<std::uint8_t>(Step::Plaintext));
        out_.insert(out_.end(), m.begin(), m.end());
    }
    const std::vector<std::uint8_t>& Bytes() const { return out_; }

private:
    std::vector<std::uint8_t> out_;
};

}  // namespace orbiqa::fuzz
