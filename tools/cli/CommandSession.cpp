#include "CommandSession.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "ModuleKey.h"
#include "ModuleKeyFingerprint.h"
#include "serial/PortLinks.h"
#include "portdevice/SystemSerialDevice.h"

namespace orbiqa::cli {

namespace {

// The module answers the status poll at once; a second is plenty even for a slow adapter.
constexpr int kProbeTicks = 10;
// A module under another key sends frames and little else; far more bytes than its frames
// would make is noise or another device.
constexpr long long kFrameBytesShare = 2 * static_cast<long long>(kSecureFrameSize);

}  // namespace

const AesKey& FrameTally::LinkKey() {
    static const AesKey key = kModuleKey;
    return key;
}

void FrameTally::Feed(std::uint8_t b) {
    ++bytes_;
    if (finder_.Window()[0] == kFrameOpen && b == kFrameClose) {
        ++frames_;
        frameArrived_ = 1;
    }
    if (finder_.ReceiveByte(b)) ++valid_;
}

std::string KeyFingerprint() {
    return kModuleKeyFingerprint;
}

std::string OpenFailureText(const std::string& comName, int errorCode, int systemCode) {
    const std::string device = ResolvePortDevice(comName).value_or(std::string());
    std::string text =
        "cannot open " + comName + (device.empty() ? std::string() : " (" + device + ")") + ": ";
    if (errorCode != CError_OpenFailed) text += ComPortErrorText(errorCode) + ": ";
    text += systemCode > 0 ? SystemErrorText(systemCode) : "unknown error";
    if (IsPermissionDenied(systemCode) && !device.empty()) {
        const std::string group = DeviceGroupName(device);
        if (!group.empty()) text += " (members of the group '" + group + "' may use it)";
    }
    return text;
}

CommandSession::CommandSession(const std::string& comName, const std::atomic<bool>* stop)
    : portName_(comName),
      device_(ResolvePortDevice(comName).value_or(std::string())),
      portLabel_(comName + (device_.empty() ? std::string() : " (" + device_ + ")")),
      stop_(stop),
      session_(CreateSystemSerialDevice()) {
    ModuleLink& link = session_.Link();
    // Every byte is also counted, for the diagnosis of a request nobody answered.
    link.OnBytesReceived = [this](const std::uint8_t* bytes, int count) {
        for (int i = 0; i < count; ++i) tally_.Feed(bytes[i]);
    };
    link.ComPort1().OnDeviceLost = [this](TComPort&) { deviceLost_ = true; };
    try {
        session_.Open(comName);
    } catch (const EComPort& e) {
        throw CliFailure(kExitPort, OpenFailureText(comName, e.ErrorCode(), e.SystemCode()));
    }
    RegisterInterruptiblePort(&link.ComPort1());
}

CommandSession::~CommandSession() {
    Close();
}

void CommandSession::WaitForFlag(const std::uint8_t& flag, int ticks, const WaitAbandoned& abandoned) {
    session_.WaitForFlag(flag, ticks, [this, &abandoned] {
        return DeviceLost() || StopRequested() || (abandoned && abandoned());
    });
}

void CommandSession::CheckDevice() const {
    if (DeviceLost()) throw CliFailure(kExitPort, PortLabel() + ": the device went away");
}

std::string CommandSession::NoAnswerNote() const {
    if (tally_.Bytes() == 0 || tally_.Valid() != 0) return {};
    const std::string bytes = std::to_string(tally_.Bytes()) + " bytes arrived";
    if (tally_.Frames() == 0)
        return "; " + bytes +
               " but not one of the module's frames (is another device on the line, or noise?)";
    if (tally_.Bytes() > kFrameBytesShare * tally_.Frames())
        return "; " + bytes + " with " + std::to_string(tally_.Frames()) +
               " frame marks among them, none of which could be deciphered: that is noise or "
               "another device rather than the module";
    return "; " + std::to_string(tally_.Frames()) +
           " frames arrived but none could be deciphered: the module probably uses another key "
           "(this program's key fingerprint is " +
           KeyFingerprint() + ")";
}

std::string CommandSession::ProbeNoAnswer() {
    if (tally_.Frames() != 0) return NoAnswerNote();
    if (DeviceLost() || StopRequested()) return {};
    try {
        session_.Link().SendTextLine(kStatusPollLine);
    } catch (const std::exception&) {
        return {};  // the request's own failure is what the user hears about
    }
    WaitForFlag(tally_.FrameArrived(), kProbeTicks);
    if (DeviceLost() || StopRequested()) return {};
    return SilenceNote();
}

std::string CommandSession::SilenceNote() const {
    if (tally_.Bytes() == 0)
        return "; nothing arrived from the module, not even an answer to the status poll (is it "
               "connected and powered?)";
    return NoAnswerNote();
}

void CommandSession::Close() noexcept {
    UnregisterInterruptiblePort(&session_.Port());
    session_.Close();
}

TerminalSession::TerminalSession(const std::string& comName) : CommandSession(comName, &stop) {}

void TerminalSession::CheckInterrupt(const std::string& what) const {
    if (signal != 0) throw CliFailure(128 + signal, what + ": interrupted");
}

}  // namespace orbiqa::cli
