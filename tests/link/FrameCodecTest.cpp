#include <gtest/gtest.h>

#include <cerrno>

#include <stdexcept>
#include <string>
#include <vector>

#include "ModuleKey.h"
#include "FakeSerialDevice.h"
#include "link/FrameCodec.h"
#include "link/LineErrorText.h"
#include "link/ModuleLink.h"
#include "portdevice/PortFormDevice.h"

using namespace orbiqa;

namespace {

std::vector<std::uint8_t> Bytes(const SecureFrame& f) { return {f.begin(), f.end()}; }

SecureFrame Frame(const ModuleMessage& m, const AesKey& key = kModuleKey) {
    AesCipher c;
    c.SetKey(key);
    return EncodeFrame(c, m);
}

ModuleMessage Text(std::uint8_t type, const char* text) {
    ModuleMessage m{};
    m[0] = kMessageOpen;
    m[1] = type;
    for (std::size_t i = 0; text[i] && i < 13; ++i) m[2 + i] = static_cast<std::uint8_t>(text[i]);
    m[15] = kMessageClose;
    return m;
}

std::vector<ModuleMessage> Feed(FrameFinder& f, const std::vector<std::uint8_t>& bytes) {
    std::vector<ModuleMessage> out;
    for (auto b : bytes)
        if (auto m = f.ReceiveByte(b)) out.push_back(*m);
    return out;
}

}  // namespace

TEST(AesCipher, Fips197KnownAnswer) {
    AesCipher c;
    c.SetKey({0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0a, 0x0b, 0x0c, 0x0d, 0x0e, 0x0f});
    Block16 b{0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff};
    c.EncryptBlock(b);
    EXPECT_EQ(b, (Block16{0x69, 0xc4, 0xe0, 0xd8, 0x6a, 0x7b, 0x04, 0x30, 0xd8, 0xcd, 0xb7, 0x80, 0x70, 0xb4, 0xc5, 0x5a}));
    c.DecryptBlock(b);
    EXPECT_EQ(b[1], 0x11);
}

TEST(SendOperations, FirstCommandIsTheKnownFrameAndTheCounterWraps) {
    auto dev = std::make_unique<FakeSerialDevice>();
    FakeSerialDevice* d = dev.get();
    // The expected cipher bytes were produced independently with `openssl enc -aes-128-ecb` and
    // the development key.
    ModuleLink link(std::move(dev), {0x4f, 0x72, 0x62, 0x69, 0x71, 0x61, 0x20, 0x64, 0x65, 0x76, 0x2d, 0x6b,
                                     0x65, 0x79, 0x20, 0x31});
    link.ComPort1().SetConnected(true);
    const std::uint8_t args[5] = {0, 0, 0, 254, 64};
    link.SendCommand(kCmdReadBlock, args);
    EXPECT_EQ(d->TakeWritten(),
              (std::vector<std::uint8_t>{0x7B, 0x25, 0x3d, 0x3a, 0x41, 0x5d, 0x35, 0xd1, 0x81, 0xba, 0x42,
                                         0xf1, 0xb1, 0x2a, 0xf6, 0x8b, 0x7c, 0x7D}));

    // Sequence numbers: the 1st command carried 0; the 256th carries 255, the 257th 0 again,
    // and payload messages in between do not count.
    FrameFinder finder(kModuleKey);
    const std::uint8_t payload[13] = {};
    for (int i = 2; i <= 257; ++i) {
        link.SendPayload(kCmdWriteData, payload);
        link.SendCommand(kCmdReadBlock, args);
        const auto written = d->TakeWritten();
        ASSERT_EQ(written.size(), 36u);
        const auto msgs = Feed(finder, written);
        ASSERT_EQ(msgs.size(), 2u);
        EXPECT_EQ(msgs[0][1], kCmdWriteData);
        if (i == 256) {
            EXPECT_EQ(msgs[1][2], 255);
        }
        if (i == 257) {
            EXPECT_EQ(msgs[1][2], 0);
        }
        EXPECT_EQ(msgs[1][13], 254);
        EXPECT_EQ(msgs[1][14], 64);
    }
}

TEST(SendOperations, TextLineIsPlainAndOnlyWhileOpen) {
    auto dev = std::make_unique<FakeSerialDevice>();
    FakeSerialDevice* d = dev.get();
    ModuleLink link(std::move(dev));
    link.SendTextLine("??");
    EXPECT_TRUE(d->TakeWritten().empty());
    link.ComPort1().SetConnected(true);
    link.SendTextLine("??");
    EXPECT_EQ(d->TakeWritten(), (std::vector<std::uint8_t>{'?', '?', 0x0D}));
}

TEST(FrameFinder, FindsFramesAmidNoiseBackToBackAndWithBracesInsideTheCipher) {
    FrameFinder f(kModuleKey);
    const auto a = Bytes(Frame(Text(0x31, "HELLO")));
    const auto b = Bytes(Frame(Text(0x32, "WORLD")));

    std::vector<std::uint8_t> stream = {'x', '{', '}', '{', 0x00, '}', 'O', 'K', '\r'};
    stream.insert(stream.end(), a.begin(), a.end());
    stream.insert(stream.end(), b.begin(), b.end());  // back to back
    stream.insert(stream.end(), {'{', '{', '}'});
    stream.insert(stream.end(), a.begin(), a.begin() + 9);  // a lost tail ...
    stream.insert(stream.end(), b.begin(), b.end());        // ... does not hide the next frame
    const auto msgs = Feed(f, stream);
    ASSERT_EQ(msgs.size(), 3u);
    EXPECT_EQ(msgs[0][2], 'H');
    EXPECT_EQ(msgs[1][2], 'W');
    EXPECT_EQ(msgs[2][2], 'W');

    // A message whose cipher bytes contain "{" (found by trying texts) is still found whole.
    int withBrace = 0;
    for (int i = 0; i < 2000 && withBrace < 3; ++i) {
        const std::string t = "T" + std::to_string(i);
        const auto fr = Bytes(Frame(Text(0x31, t.c_str())));
        if (std::find(fr.begin() + 1, fr.end() - 1, kFrameOpen) == fr.end() - 1) continue;
        ++withBrace;
        FrameFinder g(kModuleKey);
        const auto found = Feed(g, fr);
        ASSERT_EQ(found.size(), 1u) << t;
        EXPECT_EQ(found[0], Text(0x31, t.c_str()));
    }
    EXPECT_EQ(withBrace, 3);
}

TEST(FrameFinder, DropsCorruptedAndForeignFrames) {
    const auto good = Bytes(Frame(Text(0x31, "X")));
    for (std::size_t i = 1; i < 17; ++i) {
        auto bad = good;
        bad[i] ^= 0x01;
        FrameFinder f(kModuleKey);
        EXPECT_TRUE(Feed(f, bad).empty()) << i;
    }
    AesKey other = kModuleKey;
    other[0] ^= 0xFF;
    FrameFinder f(kModuleKey);
    EXPECT_TRUE(Feed(f, Bytes(Frame(Text(0x31, "X"), other))).empty());
}

TEST(ReceivedCharacters, LineErrorsAreToldOnceAfterTheEventThatFoundThem) {
    // Through the device the programs get, which chooses between a local and a network port.
    auto dev = std::make_unique<FakeSerialDevice>();
    FakeSerialDevice* d = dev.get();
    ModuleLink link(std::make_unique<PortFormDevice>(std::move(dev), std::make_unique<FakeSerialDevice>()));
    std::vector<std::string> told;
    link.OnLineErrors = [&](const LineErrorCounts& c) { told.push_back(LineErrorText(c)); };
    link.ComPort1().SetConnected(true);
    d->Receive("x");
    link.ComPort1RxChar(1);  // none counted: nothing told
    LineErrorCounts counts;
    counts.overrun = 1;
    counts.framing = 2;
    d->CountLineErrors(counts);
    d->Receive("y");
    link.ComPort1RxChar(1);
    link.ComPort1RxChar(0);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0], "Vonali hib\xE1k: t\xFAlcsordul\xE1s 1, keretez\xE9si hiba 2");
    counts = {};
    counts.queueOverflow = 3;
    counts.parity = 1;
    counts.breaks = 4;
    EXPECT_EQ(LineErrorText(counts), "Vonali hib\xE1k: megtelt bemeneti sor 3, parit\xE1shiba 1, break jel 4");
    EXPECT_EQ(LineErrorText({}), "");
}

TEST(ReceivedCharacters, AFailingMessageLosesOnlyItselfAndAFailedReadEndsTheEvent) {
    auto dev = std::make_unique<FakeSerialDevice>();
    FakeSerialDevice* d = dev.get();
    ModuleLink link(std::move(dev));
    struct FailingOnce : TextConsumer {
        bool failed = false;
        std::vector<std::string> texts;
        void AppendLogText(LogPane, const std::string& t, bool) override {
            if (!failed) {
                failed = true;
                throw std::runtime_error("memo gone");
            }
            texts.push_back(t);
        }
    } consumer;
    link.Dispatch().SetTextConsumer(&consumer);
    link.ComPort1().SetConnected(true);

    auto stream = Bytes(Frame(Text(0x31, "ONE")));
    const auto second = Bytes(Frame(Text(0x31, "TWO")));
    stream.insert(stream.end(), second.begin(), second.end());
    d->Receive(stream);
    // Bytes are taken a block at a time: showing the first message fails, and the second,
    // already read with it, is still shown.
    link.ComPort1RxChar(36);
    EXPECT_EQ(link.LastMessage(), Text(0x31, "TWO"));
    EXPECT_EQ(consumer.texts, (std::vector<std::string>{"TWO", "TWO"}));
    EXPECT_EQ(link.ComPort1().PendingInputCount(), 0);

    // A read that fails ends the event quietly; what it could not read waits for the next.
    d->Receive(Bytes(Frame(Text(0x31, "SIX"))));
    d->Fail().read = EIO;
    link.ComPort1RxChar(18);
    d->Fail().read = 0;
    EXPECT_EQ(link.ComPort1().PendingInputCount(), 18);
    link.ComPort1RxChar(18);
    EXPECT_EQ(consumer.texts.back(), "SIX");
    link.ComPort1().SetConnected(false);
}
