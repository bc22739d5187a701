#include "link/ModuleLink.h"

#include <algorithm>
#include <array>

#include "ModuleKey.h"

namespace orbiqa {

namespace {
// Bytes taken from the port at a time: one lock and one copy per block, not per byte.
constexpr int kReceiveBlock = 4096;
}  // namespace

ModuleLink::ModuleLink(std::unique_ptr<SerialDevice> device) : ModuleLink(std::move(device), kModuleKey) {}

ModuleLink::ModuleLink(std::unique_ptr<SerialDevice> device, const AesKey& key)
    : port_(std::move(device)), key_(key), finder_(key) {
    port_.OnRxChar = [this](TComPort&, int count) { ComPort1RxChar(count); };
}

void ModuleLink::WriteFrame(const ModuleMessage& m) {
    aes2_.SetKey(key_);
    const SecureFrame frame = EncodeFrame(aes2_, m);
    port_.WriteBytes(frame.data(), static_cast<int>(frame.size()));
}

void ModuleLink::SendCommand(std::uint8_t command, const std::uint8_t* arguments) {
    const ModuleMessage m = BuildCommandMessage(command, sequenceCounter_, arguments);
    ++sequenceCounter_;  // wraps from 255 to 0
    WriteFrame(m);
}

void ModuleLink::SendPayload(std::uint8_t command, const std::uint8_t* payload) {
    WriteFrame(BuildPayloadMessage(command, payload));
}

void ModuleLink::SendTextLine(const std::string& text) {
    if (!port_.Connected()) return;
    port_.WriteText(text + '\r');
}

void ModuleLink::ComPort1RxChar(int count) {
    std::array<std::uint8_t, kReceiveBlock> block;
    try {
        while (count > 0) {
            const int n = port_.ReadBytes(block.data(), std::min(count, kReceiveBlock));
            if (n <= 0) break;
            count -= n;
            if (OnBytesReceived) OnBytesReceived(block.data(), n);
            for (int i = 0; i < n; ++i) {
                try {
                    ReceiveByte(block[static_cast<std::size_t>(i)]);
                } catch (...) {
                    // The byte's message is lost, as it would be on a noisy line; the bytes
                    // already read after it must not be.
                }
            }
        }
        if (OnLineErrors) {
            const LineErrorCounts errors = port_.TakeLineErrors();
            if (errors.Any()) OnLineErrors(errors);
        }
    } catch (...) {
        // A failed read ends this event without a message; unread bytes come with the next.
    }
}

void ModuleLink::ReceiveByte(std::uint8_t b) {
    if (auto m = finder_.ReceiveByte(b)) {
        lastMessage_ = *m;
        dispatcher_.Dispatch(lastMessage_);
    }
}

}  // namespace orbiqa
