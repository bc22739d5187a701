#include "netport/TelnetComPort.h"

#include <algorithm>

namespace orbiqa {

TelnetComPort::Bytes TelnetComPort::Start() {
    for (std::uint8_t o : {kOptBinary, kOptSuppressGoAhead, kOptComPort}) {
        us_[o] = Side::WantOn;
        Send(kWill, o);
    }
    for (std::uint8_t o : {kOptBinary, kOptSuppressGoAhead}) {
        him_[o] = Side::WantOn;
        Send(kDo, o);
    }
    return TakeOutput();
}

TelnetComPort::Bytes TelnetComPort::TakeOutput() {
    Bytes out;
    out.swap(out_);
    return out;
}

void TelnetComPort::Escape(const std::uint8_t* data, std::size_t count, Bytes& out) {
    out.reserve(out.size() + count);
    for (std::size_t i = 0; i < count; ++i) {
        out.push_back(data[i]);
        if (data[i] == kIac) out.push_back(kIac);
    }
}

TelnetComPort::Bytes TelnetComPort::PurgeRequest() {
    if (state_ != ComPortState::Accepted) return {};
    SendComPort(kPurgeData, {kPurgeBoth});
    return TakeOutput();
}

bool TelnetComPort::SettingsAcknowledged() const {
    return state_ == ComPortState::Accepted &&
           std::all_of(awaited_.begin(), awaited_.end(),
                       [](const std::deque<Expected>& d) { return d.empty(); });
}

bool TelnetComPort::WeWill(std::uint8_t option) {
    return option == kOptBinary || option == kOptSuppressGoAhead || option == kOptComPort;
}

bool TelnetComPort::WeAccept(std::uint8_t option) {
    return option == kOptBinary || option == kOptSuppressGoAhead;
}

void TelnetComPort::Feed(const std::uint8_t* bytes, std::size_t count, Bytes& data) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t b = bytes[i];
        switch (rx_) {
            case Rx::Data:
                if (b == kIac)
                    rx_ = Rx::Iac;
                else
                    data.push_back(b);
                break;
            case Rx::Iac:
                if (b == kIac) {
                    data.push_back(b);
                    rx_ = Rx::Data;
                } else if (b >= kWill && b <= kDont) {
                    command_ = b;
                    rx_ = Rx::Option;
                } else if (b == kSb) {
                    sub_.clear();
                    subOverflow_ = false;
                    rx_ = Rx::Sub;
                } else {
                    rx_ = Rx::Data;  // NOP, go-ahead, a stray SE and the like carry nothing
                }
                break;
            case Rx::Option:
                Negotiate(command_, b);
                rx_ = Rx::Data;
                break;
            case Rx::Sub:
                if (b == kIac) {
                    rx_ = Rx::SubIac;
                } else if (sub_.size() < kMaxSubnegotiation) {
                    sub_.push_back(b);
                } else {
                    subOverflow_ = true;
                }
                break;
            case Rx::SubIac:
                if (b == kIac) {
                    if (sub_.size() < kMaxSubnegotiation)
                        sub_.push_back(b);
                    else
                        subOverflow_ = true;
                    rx_ = Rx::Sub;
                } else {
                    // SE ends it; so does any other command, which a broken server sends instead
                    // of SE: the data after it must not be swallowed as subnegotiation.
                    if (!subOverflow_) Subnegotiation();
                    rx_ = Rx::Data;
                    if (b != kSe) {
                        rx_ = Rx::Iac;
                        --i;
                    }
                }
                break;
        }
    }
}

void TelnetComPort::Negotiate(std::uint8_t command, std::uint8_t option) {
    // Answers only change a side's state, so two ends never echo each other forever.
    if (command == kWill || command == kWont) {
        Side& side = him_[option];
        if (command == kWill) {
            if (side == Side::On) return;
            const bool was = side == Side::WantOn;
            if (WeAccept(option)) {
                side = Side::On;
                if (!was) Send(kDo, option);
            } else {
                Send(kDont, option);
            }
        } else {
            if (side == Side::Off) return;
            const bool wasOn = side == Side::On;
            side = Side::Off;
            if (wasOn) Send(kDont, option);
        }
        return;
    }
    Side& side = us_[option];
    if (command == kDo) {
        if (side == Side::On) return;
        const bool was = side == Side::WantOn;
        if (!WeWill(option)) {
            Send(kWont, option);
            return;
        }
        side = Side::On;
        if (!was) Send(kWill, option);
        if (option == kOptComPort && state_ != ComPortState::Accepted) {
            state_ = ComPortState::Accepted;
            QueueLineSettings();
        }
        return;
    }
    // DONT
    if (side == Side::Off) return;
    const bool wasOn = side == Side::On;
    side = Side::Off;
    if (wasOn) Send(kWont, option);
    if (option == kOptComPort) state_ = ComPortState::Refused;
}

void TelnetComPort::Subnegotiation() {
    if (sub_.size() < 2 || sub_[0] != kOptComPort) return;
    const std::uint8_t command = sub_[1];
    if (command < kServerOffset) return;  // only the server's answers concern us
    const std::uint8_t asked = static_cast<std::uint8_t>(command - kServerOffset);
    if (asked == kSetBaudRate && sub_.size() >= 6)
        serverBaud_ = (std::uint32_t{sub_[2]} << 24) | (std::uint32_t{sub_[3]} << 16) |
                      (std::uint32_t{sub_[4]} << 8) | std::uint32_t{sub_[5]};
    if (asked == kSetStopSize && sub_.size() >= 3) serverStopSize_ = sub_[2];
    if (asked < awaited_.size() && !awaited_[asked].empty()) CheckAnswer(asked);
}

void TelnetComPort::CheckAnswer(std::uint8_t asked) {
    const Expected expected = awaited_[asked].front();
    awaited_[asked].pop_front();
    bool taken = false;
    if (asked == kSetBaudRate)
        taken = sub_.size() >= 6 && serverBaud_ == expected.value;
    else
        taken = sub_.size() >= 3 && sub_[2] == expected.value;
    if (!taken) refused_ |= expected.setting;
}

void TelnetComPort::Send(std::uint8_t command, std::uint8_t option) {
    out_.insert(out_.end(), {kIac, command, option});
}

void TelnetComPort::SendComPort(std::uint8_t command, const Bytes& value, unsigned setting) {
    out_.insert(out_.end(), {kIac, kSb, kOptComPort, command});
    Escape(value.data(), value.size(), out_);
    out_.insert(out_.end(), {kIac, kSe});
    if (setting == 0 || command >= awaited_.size()) return;
    std::uint32_t v = 0;
    for (std::uint8_t b : value) v = v << 8 | b;
    awaited_[command].push_back({v, setting});
}

void TelnetComPort::QueueLineSettings() {
    SendComPort(
        kSetBaudRate,
        {static_cast<std::uint8_t>(kBaudRate >> 24), static_cast<std::uint8_t>(kBaudRate >> 16),
         static_cast<std::uint8_t>(kBaudRate >> 8), static_cast<std::uint8_t>(kBaudRate)},
        kSettingBaudRate);
    SendComPort(kSetDataSize, {kDataBits}, kSettingDataBits);
    SendComPort(kSetParity, {kParityNone}, kSettingParity);
    SendComPort(kSetStopSize, {kOneStopBit}, kSettingStopBits);
    SendComPort(kSetControl, {kControlNoFlow}, kSettingFlowControl);
    SendComPort(kSetControl, {kControlDtrOn}, kSettingDtr);
    SendComPort(kSetControl, {kControlRtsOn}, kSettingRts);
}

}  // namespace orbiqa
