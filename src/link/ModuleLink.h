#pragma once
// The module link as the main window owns it: the serial port ComPort1, the two cipher
// instances, the frame finder's receive window, LastMessage, SequenceCounter, the reply state
// and the dispatcher. Every window talks to the module only through SendCommand, SendPayload
// and SendTextLine here. Runs on the user-interface thread only.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "link/AesCipher.h"
#include "link/ComPort.h"
#include "link/Dispatcher.h"
#include "link/FrameCodec.h"
#include "link/ModuleMessage.h"

namespace orbiqa {

class ModuleLink {
public:
    /// key defaults to the build's module key.
    explicit ModuleLink(std::unique_ptr<SerialDevice> device);
    ModuleLink(std::unique_ptr<SerialDevice> device, const AesKey& key);
    ModuleLink(const ModuleLink&) = delete;
    ModuleLink& operator=(const ModuleLink&) = delete;

    TComPort& ComPort1() { return port_; }

    /// Command message with the next SequenceCounter value and arguments a0..a4 (5 bytes read).
    /// The caller checks that the port is open. EComPort from the write propagates.
    void SendCommand(std::uint8_t command, const std::uint8_t* arguments);
    /// Payload message with p0..p12 (13 bytes read); no sequence number.
    void SendPayload(std::uint8_t command, const std::uint8_t* payload);
    /// The text and a carriage return, unframed, when the port is open; otherwise nothing.
    void SendTextLine(const std::string& text);

    /// The port's received-character event: reads count bytes, a block at a time, and feeds
    /// them one by one to ReceiveByte. A failed read ends the handling of this event silently
    /// (unread bytes come with the next); a failure while deciphering or dispatching one byte
    /// loses nothing else: the bytes after it are still fed.
    void ComPort1RxChar(int count);
    /// Told each block of received bytes before they are fed (a diagnosis that counts what
    /// arrives).
    std::function<void(const std::uint8_t* bytes, int count)> OnBytesReceived;
    /// Told after a received-character event when the device counted line errors since the
    /// last one (the traffic log shows them).
    std::function<void(const LineErrorCounts&)> OnLineErrors;
    /// Feeds one received byte to the frame finder; a valid message is stored in LastMessage
    /// and dispatched.
    void ReceiveByte(std::uint8_t b);

    std::uint8_t SequenceCounter() const { return sequenceCounter_; }
    const ModuleMessage& LastMessage() const { return lastMessage_; }
    ReplyState& Reply() { return reply_; }
    Dispatcher& Dispatch() { return dispatcher_; }

private:
    void WriteFrame(const ModuleMessage& m);

    TComPort port_;
    AesKey key_;
    AesCipher aes2_;  // enciphers sent frames
    FrameFinder finder_;  // holds the deciphering instance and ReceiveWindow
    ModuleMessage lastMessage_{};
    std::uint8_t sequenceCounter_ = 0;
    ReplyState reply_;
    Dispatcher dispatcher_{reply_};
};

}  // namespace orbiqa
