#include "transfer/ModuleChannel.h"

#include "link/ModuleLink.h"

namespace orbiqa {

bool ModuleLinkChannel::Connected() const { return link_.ComPort1().Connected(); }

bool ModuleLinkChannel::DeviceLost() const { return link_.ComPort1().DeviceLost(); }

void ModuleLinkChannel::SendCommand(std::uint8_t command, const std::uint8_t* arguments) {
    link_.SendCommand(command, arguments);
}

void ModuleLinkChannel::SendPayload(std::uint8_t command, const std::uint8_t* payload) {
    link_.SendPayload(command, payload);
}

ReplyState& ModuleLinkChannel::Reply() { return link_.Reply(); }

}  // namespace orbiqa
