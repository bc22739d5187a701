#pragma once
// The Telnet side of an RFC 2217 connection, without sockets: it escapes the data sent, takes
// apart what arrives (data, option negotiation, COM port option answers), answers the server's
// negotiation and asks for the line settings once the server accepts the COM port option.
// The device feeds it received bytes and sends what it hands out.
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace orbiqa {

class TelnetComPort {
public:
    using Bytes = std::vector<std::uint8_t>;

    static constexpr std::uint8_t kIac = 255;
    static constexpr std::uint8_t kDont = 254;
    static constexpr std::uint8_t kDo = 253;
    static constexpr std::uint8_t kWont = 252;
    static constexpr std::uint8_t kWill = 251;
    static constexpr std::uint8_t kSb = 250;
    static constexpr std::uint8_t kSe = 240;
    static constexpr std::uint8_t kOptBinary = 0;
    static constexpr std::uint8_t kOptSuppressGoAhead = 3;
    static constexpr std::uint8_t kOptComPort = 44;

    // COM port option commands (client to server; the server answers with the code + 100).
    static constexpr std::uint8_t kSetBaudRate = 1;
    static constexpr std::uint8_t kSetDataSize = 2;
    static constexpr std::uint8_t kSetParity = 3;
    static constexpr std::uint8_t kSetStopSize = 4;
    static constexpr std::uint8_t kSetControl = 5;
    static constexpr std::uint8_t kPurgeData = 12;
    static constexpr std::uint8_t kServerOffset = 100;

    static constexpr std::uint32_t kBaudRate = 19200;
    static constexpr std::uint8_t kDataBits = 8;
    static constexpr std::uint8_t kParityNone = 1;
    static constexpr std::uint8_t kOneStopBit = 1;
    static constexpr std::uint8_t kControlNoFlow = 1;
    static constexpr std::uint8_t kControlDtrOn = 8;
    static constexpr std::uint8_t kControlRtsOn = 11;
    static constexpr std::uint8_t kPurgeBoth = 3;

    enum class ComPortState { Pending, Accepted, Refused };

    /// The line settings the client asks for, as bits of RefusedSettings().
    enum Setting : unsigned {
        kSettingBaudRate = 1,
        kSettingDataBits = 2,
        kSettingParity = 4,
        kSettingStopBits = 8,
        kSettingFlowControl = 16,
        kSettingDtr = 32,
        kSettingRts = 64,
        kAllSettings = 127,
    };

    /// The requests that open the negotiation: binary both ways, no go-ahead, the COM port
    /// option.
    Bytes Start();

    /// Takes received bytes apart: data bytes (unescaped) are appended to data; answers to the
    /// server are kept for TakeOutput. Any byte sequence is accepted; an overlong
    /// subnegotiation is cut, never stored beyond a small bound.
    void Feed(const std::uint8_t* bytes, std::size_t count, Bytes& data);

    /// Bytes to send to the server that Feed produced (answers, the line settings).
    Bytes TakeOutput();

    /// Appends data escaped for the Telnet stream (each 0xFF doubled).
    static void Escape(const std::uint8_t* data, std::size_t count, Bytes& out);

    /// The request to discard the server's buffers in both directions; empty until the
    /// COM port option is accepted.
    Bytes PurgeRequest();

    ComPortState State() const { return state_; }
    /// The COM port option is accepted and every line setting has been acknowledged.
    bool SettingsAcknowledged() const;
    /// The settings whose answer gave another value than was asked (a server answers with what
    /// it set), or no value at all. 0 while every answer so far matched.
    unsigned RefusedSettings() const { return refused_; }
    /// The baud rate the server reported in its answer; 0 until it answered.
    std::uint32_t ServerBaudRate() const { return serverBaud_; }
    std::uint8_t ServerStopSize() const { return serverStopSize_; }

private:
    enum class Rx { Data, Iac, Option, Sub, SubIac };
    enum class Side { Off, WantOn, On };
    static constexpr std::size_t kMaxSubnegotiation = 64;

    void Negotiate(std::uint8_t command, std::uint8_t option);
    void Subnegotiation();
    void Send(std::uint8_t command, std::uint8_t option);
    void SendComPort(std::uint8_t command, const Bytes& value, unsigned setting = 0);
    void CheckAnswer(std::uint8_t asked);
    void QueueLineSettings();
    static bool WeWill(std::uint8_t option);
    static bool WeAccept(std::uint8_t option);

    Rx rx_ = Rx::Data;
    std::uint8_t command_ = 0;
    Bytes sub_;
    bool subOverflow_ = false;
    Bytes out_;
    std::array<Side, 256> us_{};
    std::array<Side, 256> him_{};
    ComPortState state_ = ComPortState::Pending;
    struct Expected {
        std::uint32_t value;
        unsigned setting;
    };
    // What each awaited answer must say, in the order asked (three control requests share one
    // command).
    std::array<std::deque<Expected>, kSetControl + 1> awaited_{};
    unsigned refused_ = 0;
    std::uint32_t serverBaud_ = 0;
    std::uint8_t serverStopSize_ = 0;
};

}  // namespace orbiqa
