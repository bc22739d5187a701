#include "link/ModuleLink.h"

#include "ModuleKey.h"

namespace orbiqa {

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
    try {
        for (int i = 0; i < count; ++i) {
            std::uint8_t b = 0;
            if (port_.ReadBytes(&b, 1) != 1) break;
            ReceiveByte(b);
        }
        if (OnLineErrors) {
            const LineErrorCounts errors = port_.TakeLineErrors();
            if (errors.Any()) OnLineErrors(errors);
        }
    } catch (...) {
        // A failure while reading, deciphering or dispatching ends this event without a message;
        // unread bytes come with the next event.
    }
}

void ModuleLink::ReceiveByte(std::uint8_t b) {
    if (auto m = finder_.ReceiveByte(b)) {
        lastMessage_ = *m;
        dispatcher_.Dispatch(lastMessage_);
    }
}

}  // namespace orbiqa
