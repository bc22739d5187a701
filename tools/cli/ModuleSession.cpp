#include "ModuleSession.h"

#include <QCoreApplication>
#include <QEventLoop>
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

const char* const kStatusPollLine = "??";
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

LinkSession::LinkSession(const std::string& comName, const std::atomic<bool>* stop)
    : portName_(comName),
      device_(ResolvePortDevice(comName).value_or(std::string())),
      portLabel_(comName + (device_.empty() ? std::string() : " (" + device_ + ")")),
      stop_(stop),
      link_(CreateSystemSerialDevice()),
      pump_(link_.ComPort1()),
      channel_(link_) {
    TComPort& port = link_.ComPort1();
    port.SetPort(comName);
    // Every byte is also counted, for the diagnosis of a request nobody answered.
    link_.OnBytesReceived = [this](const std::uint8_t* bytes, int count) {
        for (int i = 0; i < count; ++i) tally_.Feed(bytes[i]);
    };
    port.OnDeviceLost = [this](TComPort&) { deviceLost_ = true; };
    tick_.setInterval(kWaitTickMs);
    QObject::connect(&tick_, &QTimer::timeout, [this] {
        if (replyCountdown_ > 0) --replyCountdown_;
    });
    tick_.start();
    try {
        port.SetConnected(true);
    } catch (const EComPort& e) {
        throw CliFailure(kExitPort, OpenFailureText(comName, e.ErrorCode(), e.SystemCode()));
    }
    RegisterInterruptiblePort(&port);
}

LinkSession::~LinkSession() {
    Close();
}

void LinkSession::WaitForFlag(const std::uint8_t& flag, int ticks, const WaitAbandoned& abandoned) {
    replyCountdown_ = ticks;
    while (replyCountdown_ > 0 && !DeviceLost() && !StopRequested() &&
           !(abandoned && abandoned())) {
        // Sleeps until an event arrives (a hand-over, a tick), then handles what is pending.
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        if (flag != 0) break;
    }
}

void LinkSession::CheckDevice() const {
    if (DeviceLost()) throw CliFailure(kExitPort, PortLabel() + ": the device went away");
}

std::string LinkSession::NoAnswerNote() const {
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

std::string LinkSession::ProbeNoAnswer() {
    if (tally_.Frames() != 0) return NoAnswerNote();
    if (DeviceLost() || StopRequested()) return {};
    try {
        link_.SendTextLine(kStatusPollLine);
    } catch (const std::exception&) {
        return {};  // the request's own failure is what the user hears about
    }
    WaitForFlag(tally_.FrameArrived(), kProbeTicks);
    if (DeviceLost() || StopRequested()) return {};
    return SilenceNote();
}

std::string LinkSession::SilenceNote() const {
    if (tally_.Bytes() == 0)
        return "; nothing arrived from the module, not even an answer to the status poll (is it "
               "connected and powered?)";
    return NoAnswerNote();
}

void LinkSession::Close() noexcept {
    UnregisterInterruptiblePort(&link_.ComPort1());
    try {
        link_.ComPort1().SetConnected(false);
    } catch (...) {
        // The port object closes the device when it is destroyed in any case.
    }
}

ModuleSession::ModuleSession(const std::string& comName) : LinkSession(comName, &stop_) {
    interrupts_.onInterrupt = [this](int signal) {
        signal_ = signal;
        stop_ = true;
    };
}

void ModuleSession::CheckInterrupt(const std::string& what) const {
    if (signal_ != 0) throw CliFailure(128 + signal_, what + ": interrupted");
}

}  // namespace orbiqa::cli
