// The network port's core: the address forms, the Telnet codec's escaping and negotiation, and
// the choice of device by the port's form.
#include <gtest/gtest.h>

#include <algorithm>

#include "link/ComPort.h"
#include "FakeSerialDevice.h"
#include "netport/NetworkPortError.h"
#include "serial/PortName.h"
#include "portdevice/PortFormDevice.h"
#include "netport/TelnetComPort.h"

using namespace orbiqa;
using Bytes = TelnetComPort::Bytes;

namespace {

constexpr std::uint8_t IAC = TelnetComPort::kIac, SB = TelnetComPort::kSb, SE = TelnetComPort::kSe,
                       WILL = TelnetComPort::kWill, WONT = TelnetComPort::kWont,
                       DO = TelnetComPort::kDo, DONT = TelnetComPort::kDont,
                       COM = TelnetComPort::kOptComPort;

Bytes Feed(TelnetComPort& t, const Bytes& in) {
    Bytes data;
    t.Feed(in.data(), in.size(), data);
    return data;
}

Bytes Answer(std::uint8_t command, const Bytes& value) {
    Bytes b{IAC, SB, COM, static_cast<std::uint8_t>(command + TelnetComPort::kServerOffset)};
    b.insert(b.end(), value.begin(), value.end());
    b.insert(b.end(), {IAC, SE});
    return b;
}

// The server's answers to every line setting the client asks for.
Bytes AllAnswers() {
    Bytes b;
    for (const Bytes& a : {Answer(1, {0, 0, 0x4B, 0}), Answer(2, {8}), Answer(3, {1}),
                           Answer(4, {1}), Answer(5, {1}), Answer(5, {8}), Answer(5, {11})})
        b.insert(b.end(), a.begin(), a.end());
    return b;
}

}  // namespace

TEST(NetworkPortAddress, FormsAndCanonicalText) {
    const std::pair<const char*, const char*> good[] = {
        {"rfc2217://127.0.0.1:2217", "rfc2217://127.0.0.1:2217"},
        {"RFC2217://Bench-3.local:7000", "rfc2217://Bench-3.local:7000"},
        {"socket://localhost:1", "socket://localhost:1"},
        {"socket://[::1]:65535", "socket://[::1]:65535"},
    };
    for (auto [in, out] : good) {
        const auto a = ParseNetworkPort(in);
        ASSERT_TRUE(a) << in;
        EXPECT_EQ(a->Text(), out);
        // A COM name's rule keeps a network address as it is, rather than turning it into COM1.
        EXPECT_EQ(TComPort::NormalisePortName(in), out);
    }
    for (const char* bad :
         {"rfc2217://host", "rfc2217://:80", "rfc2217://host:0", "rfc2217://host:65536",
          "socket://host:80/x", "socket://ho st:80", "socket://[::1:80", "socket://[::1]80",
          "rfc2217://host:-1", "telnet://host:23", "socket://host:123456", "COM3",
          "socket://[2]:80", "socket://[]:80"}) {
        EXPECT_FALSE(ParseNetworkPort(bad)) << bad;
    }
    // Numbers the system's lookup reads as IPv4 addresses are named as the address they reach;
    // what is no such number stays a host name.
    const std::pair<const char*, const char*> numeric[] = {
        {"socket://127.1:80", "socket://127.0.0.1:80"},
        {"socket://0x7f.1:80", "socket://127.0.0.1:80"},
        {"socket://2130706433:80", "socket://127.0.0.1:80"},
        {"socket://0177.0.0.01:80", "socket://127.0.0.1:80"},
        {"rfc2217://10.0x10.65535:2217", "rfc2217://10.16.255.255:2217"},
        {"socket://0:80", "socket://0.0.0.0:80"},
        {"socket://4294967296:80", "socket://4294967296:80"},
        {"socket://1.256.0.0:80", "socket://1.256.0.0:80"},
        {"socket://08.1:80", "socket://08.1:80"},
        {"socket://1.2.3.4.5:80", "socket://1.2.3.4.5:80"},
        {"socket://1..2:80", "socket://1..2:80"},
        {"socket://0x:80", "socket://0.0.0.0:80"},
        {"socket://1e3:80", "socket://1e3:80"},
    };
    for (auto [in, out] : numeric) {
        const auto a = ParseNetworkPort(in);
        ASSERT_TRUE(a) << in;
        EXPECT_EQ(a->Text(), out) << in;
    }
    EXPECT_TRUE(LooksLikeNetworkPort("socket://broken"));
    EXPECT_EQ(TComPort::NormalisePortName("socket://broken"), "COM1");
    EXPECT_EQ(TComPort::NormalisePortName("com5"), "COM5");
}

TEST(TelnetComPort, EscapesAndUnescapesIacBothWays) {
    const Bytes frame{0x02, 0xFF, 0x10, 0xFF, 0xFF, 0x03};
    Bytes wire;
    TelnetComPort::Escape(frame.data(), frame.size(), wire);
    EXPECT_EQ(wire, (Bytes{0x02, 0xFF, 0xFF, 0x10, 0xFF, 0xFF, 0xFF, 0xFF, 0x03}));
    TelnetComPort t;
    EXPECT_EQ(Feed(t, wire), frame);
    // Cut between the two bytes of an escape, the byte still comes out once.
    TelnetComPort cut;
    Bytes data = Feed(cut, {0x01, IAC});
    const Bytes rest = Feed(cut, {IAC, 0x02});
    data.insert(data.end(), rest.begin(), rest.end());
    EXPECT_EQ(data, (Bytes{0x01, 0xFF, 0x02}));
}

TEST(TelnetComPort, NegotiatesOptionAndLineSettings) {
    TelnetComPort t;
    const Bytes start = t.Start();
    const Bytes offer{IAC, WILL, COM};
    EXPECT_NE(std::search(start.begin(), start.end(), offer.begin(), offer.end()), start.end());
    EXPECT_EQ(t.State(), TelnetComPort::ComPortState::Pending);

    // ser2net's opening: it offers echo (refused), agrees to binary, go-ahead and the option.
    EXPECT_TRUE(Feed(t, {IAC, WILL, 3, IAC, DO, 3, IAC, WILL, 1, IAC, DO, 0, IAC, WILL, 0, IAC, DO,
                         COM, 'x'}) == Bytes{'x'});
    EXPECT_EQ(t.State(), TelnetComPort::ComPortState::Accepted);
    const Bytes out = t.TakeOutput();
    // Only the refusal of echo is an answer; agreed requests are not answered again.
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 3), (Bytes{IAC, DONT, 1}));
    const Bytes baud{IAC, SB, COM, 1, 0, 0, 0x4B, 0x00, IAC, SE};
    EXPECT_EQ(Bytes(out.begin() + 3, out.begin() + 13), baud);
    for (const Bytes& setting :
         {Bytes{IAC, SB, COM, 2, 8, IAC, SE}, Bytes{IAC, SB, COM, 3, 1, IAC, SE},
          Bytes{IAC, SB, COM, 4, 1, IAC, SE}, Bytes{IAC, SB, COM, 5, 1, IAC, SE},
          Bytes{IAC, SB, COM, 5, 8, IAC, SE}, Bytes{IAC, SB, COM, 5, 11, IAC, SE}})
        EXPECT_NE(std::search(out.begin(), out.end(), setting.begin(), setting.end()), out.end());
    EXPECT_FALSE(t.SettingsAcknowledged());

    Bytes answers = AllAnswers();
    answers.pop_back();  // the last answer's SE is still on its way
    EXPECT_TRUE(Feed(t, answers).empty());
    EXPECT_FALSE(t.SettingsAcknowledged());
    Feed(t, {SE});
    EXPECT_TRUE(t.SettingsAcknowledged());
    EXPECT_EQ(t.ServerBaudRate(), 19200u);
    EXPECT_EQ(t.PurgeRequest(), (Bytes{IAC, SB, COM, 12, 3, IAC, SE}));
    // Nothing the server sends of its own accord gets a second round of answers.
    Feed(t, {IAC, DO, COM, IAC, WILL, 0});
    EXPECT_TRUE(t.TakeOutput().empty());
}

TEST(TelnetComPort, RefusalAndHostileInput) {
    TelnetComPort refused;
    refused.Start();
    Feed(refused, {IAC, DONT, COM});
    EXPECT_EQ(refused.State(), TelnetComPort::ComPortState::Refused);
    EXPECT_TRUE(refused.PurgeRequest().empty());

    TelnetComPort t;
    t.Start();
    Feed(t, {IAC, DO, COM});
    t.TakeOutput();
    // Options nobody asked for are declined, once each.
    Feed(t, {IAC, DO, 24, IAC, WILL, 31, IAC, WONT, 31});
    EXPECT_EQ(t.TakeOutput(), (Bytes{IAC, WONT, 24, IAC, DONT, 31}));
    // An endless subnegotiation is cut and stored nowhere; an unterminated one that a command
    // ends gives back the data after it.
    Bytes flood{IAC, SB, COM, 101};
    flood.insert(flood.end(), 100000, 0x41);
    EXPECT_TRUE(Feed(t, flood).empty());
    EXPECT_EQ(Feed(t, {IAC, SE, 'a', IAC, SB, COM, 1, IAC, IAC, IAC, WILL, 0, 'b'}),
              (Bytes{'a', 'b'}));
    EXPECT_FALSE(t.SettingsAcknowledged());
    // An answer nobody waits for does not count for one that is awaited.
    Feed(t, Answer(12, {3}));
    Feed(t, Answer(5, {1}));
    EXPECT_FALSE(t.SettingsAcknowledged());
}

TEST(TelnetComPort, EachAnswerMustGiveTheValueAsked) {
    const auto negotiate = [](const Bytes& answers) {
        TelnetComPort t;
        t.Start();
        Feed(t, {IAC, DO, COM});
        Feed(t, answers);
        EXPECT_TRUE(t.SettingsAcknowledged());
        return t.RefusedSettings();
    };
    EXPECT_EQ(negotiate(AllAnswers()), 0u);
    // 300 baud, 5 data bits, 2 stop bits: counted as answers, but not what was asked.
    Bytes liar;
    for (const Bytes& a : {Answer(1, {0, 0, 1, 0x2C}), Answer(2, {5}), Answer(3, {1}),
                           Answer(4, {2}), Answer(5, {1}), Answer(5, {8}), Answer(5, {11})})
        liar.insert(liar.end(), a.begin(), a.end());
    using T = TelnetComPort;
    EXPECT_EQ(negotiate(liar), T::kSettingBaudRate | T::kSettingDataBits | T::kSettingStopBits);
    // The three control answers are matched in the order asked; an answer without a value
    // took nothing.
    Bytes swapped;
    for (const Bytes& a : {Answer(1, {0, 0, 0x4B, 0}), Answer(2, {8}), Answer(3, {}),
                           Answer(4, {1}), Answer(5, {8}), Answer(5, {1}), Answer(5, {11})})
        swapped.insert(swapped.end(), a.begin(), a.end());
    EXPECT_EQ(negotiate(swapped), T::kSettingParity | T::kSettingFlowControl | T::kSettingDtr);
    EXPECT_EQ(NetworkPortErrorText(SettingsRefusedError(T::kSettingBaudRate)),
              "the server did not take the line setting 19200 baud (RFC 2217)");
    EXPECT_EQ(NetworkPortErrorText(SettingsRefusedError(T::kAllSettings)),
              "the server did not take the line settings 19200 baud, 8 data bits, no parity, "
              "1 stop bit, no flow control, DTR on, RTS on (RFC 2217)");
}

TEST(PortFormDevice, ChoosesTheDeviceByTheName) {
    auto local = std::make_unique<FakeSerialDevice>();
    auto network = std::make_unique<FakeSerialDevice>();
    FakeSerialDevice* l = local.get();
    FakeSerialDevice* n = network.get();
    PortFormDevice device(std::move(local), std::move(network));
    ASSERT_EQ(device.Open("rfc2217://127.0.0.1:2217"), 0);
    EXPECT_EQ(n->LastOpenedPort(), "rfc2217://127.0.0.1:2217");
    device.Close();
    ASSERT_EQ(device.Open("COM4"), 0);
    EXPECT_EQ(l->LastOpenedPort(), "COM4");
}
