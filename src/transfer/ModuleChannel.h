#pragma once
// What a transfer needs from the module link: the port's connected state, the two send
// operations, and the reply state the dispatcher fills. The window and the command line pass
// the real link (ModuleLinkChannel); tests pass an in-memory module.
#include <cstdint>

#include "link/Dispatcher.h"

namespace orbiqa {

class ModuleLink;

class ModuleChannel {
public:
    virtual ~ModuleChannel() = default;

    virtual bool Connected() const = 0;
    /// True once the device has gone away while open (an unplugged adapter, a hang-up), until
    /// the port is opened again. A waiting transfer ends at once when it turns true.
    virtual bool DeviceLost() const { return false; }
    /// Command message with the next sequence number and arguments a0..a4 (5 bytes read).
    /// A send failure raises EComPort.
    virtual void SendCommand(std::uint8_t command, const std::uint8_t* arguments) = 0;
    /// Payload message with p0..p12 (13 bytes read). A send failure raises EComPort.
    virtual void SendPayload(std::uint8_t command, const std::uint8_t* payload) = 0;
    /// The flags and buffers the dispatcher fills; the reference stays valid for the channel's
    /// life, so a waiter may watch a flag inside it.
    virtual ReplyState& Reply() = 0;
};

/// The channel over the program's one module link.
class ModuleLinkChannel final : public ModuleChannel {
public:
    explicit ModuleLinkChannel(ModuleLink& link) : link_(link) {}

    bool Connected() const override;
    bool DeviceLost() const override;
    void SendCommand(std::uint8_t command, const std::uint8_t* arguments) override;
    void SendPayload(std::uint8_t command, const std::uint8_t* payload) override;
    ReplyState& Reply() override;

private:
    ModuleLink& link_;
};

}  // namespace orbiqa
