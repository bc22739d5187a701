// End-to-end: the built simulator on a real pseudo-terminal, driven with the program's codec.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "SimHarness.h"
#include "link/BlockChecksum.h"

using namespace modsimtest;
using orbiqa::ModuleMessage;
namespace fs = std::filesystem;

namespace {

using Block = std::array<std::uint8_t, 64>;

struct BlockReply {
    std::optional<int> headerBlock;
    std::vector<ModuleMessage> data;  // the data messages after the last header
    bool HasAllMessages() const {
        if (data.size() != 6) return false;
        for (std::size_t p = 0; p < 6; ++p)
            if (data[p][2] != p) return false;
        return true;
    }
    Block Bytes() const {
        Block b{};
        for (std::size_t p = 0; p < 5; ++p) std::copy_n(data[p].begin() + 3, 12, b.begin() + 12 * p);
        std::copy_n(data[5].begin() + 3, 4, b.begin() + 60);
        return b;
    }
    std::uint32_t SentChecksum() const {
        const auto& m = data[5];
        return std::uint32_t{m[7]} << 24 | std::uint32_t{m[8]} << 16 | std::uint32_t{m[9]} << 8 | m[10];
    }
    bool ChecksumMatches() const { return SentChecksum() == orbiqa::BlockChecksum(Bytes().data()); }
};

std::uint8_t TypeOf(const ModuleMessage& m) { return m[1] & orbiqa::kTypeMask; }

BlockReply ReadBlock(SimClient& client, std::uint8_t block, int timeoutMs = 3000) {
    BlockReply reply;
    client.SendCommand(orbiqa::kCmdReadBlock, block);
    client.Receive(timeoutMs, [&](const ModuleMessage& m) {
        if (TypeOf(m) == orbiqa::kTypeReplyHeader) {
            reply.headerBlock = m[13];
            reply.data.clear();
        } else if (TypeOf(m) == orbiqa::kTypeReplyData && reply.headerBlock) {
            reply.data.push_back(m);
            return m[2] == 5;
        }
        return false;
    });
    return reply;
}

struct WriteFaults {
    bool badChecksum = false;
    int skipMessage = -1;
};

// Sends a block write as the program does (header, six data messages, the 6th with the checksum
// and byte 14 repeating block byte 59); returns whether the acknowledgement came.
bool WriteBlock(SimClient& client, std::uint8_t block, const Block& data, WriteFaults faults = {},
                int timeoutMs = 3000) {
    client.SendCommand(orbiqa::kCmdWriteHeader, block);
    std::uint8_t payload[13] = {};
    for (int p = 0; p < 6; ++p) {
        payload[0] = static_cast<std::uint8_t>(p);
        if (p < 5) {
            std::copy_n(data.begin() + 12 * p, 12, payload + 1);
        } else {
            std::copy_n(data.begin() + 60, 4, payload + 1);
            std::uint32_t sum = orbiqa::BlockChecksum(data.data()) + (faults.badChecksum ? 1 : 0);
            payload[5] = static_cast<std::uint8_t>(sum >> 24);
            payload[6] = static_cast<std::uint8_t>(sum >> 16);
            payload[7] = static_cast<std::uint8_t>(sum >> 8);
            payload[8] = static_cast<std::uint8_t>(sum);
            payload[9] = payload[10] = payload[11] = 0;
        }
        if (p != faults.skipMessage) client.SendPayload(orbiqa::kCmdWriteData, payload);
    }
    bool acked = false;
    client.Receive(timeoutMs, [&](const ModuleMessage& m) {
        acked = TypeOf(m) == orbiqa::kTypeWriteAck && m[14] == orbiqa::kWriteAckMark;
        return acked;
    });
    return acked;
}

Block Pattern(std::uint8_t seed) {
    Block b{};
    for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(seed + i * 7);
    return b;
}

struct Sim {
    explicit Sim(std::vector<std::string> args) : process(std::move(args), dir.Path() + "/ports") {}
    TempDir dir;
    SimProcess process;
};

// Most tests want quick, quiet answers; timing tests leave --fast out.
std::vector<std::string> Fast(std::vector<std::string> more = {}) {
    std::vector<std::string> args = {"--fast", "--texts", "off"};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

}  // namespace

TEST(ModsimPty, PublishesItselfAndReadsTheVersionRecordThroughTheLink) {
    Sim sim(Fast());
    ASSERT_EQ(sim.process.ComName(), "COM90") << sim.process.StartLine();
    EXPECT_EQ(sim.process.DevicePath().rfind("/dev/pts/", 0), 0u);
    EXPECT_EQ(fs::read_symlink(sim.process.LinkPath()), sim.process.DevicePath());

    SimClient client(sim.process.LinkPath());
    const BlockReply reply = ReadBlock(client, 254);
    ASSERT_EQ(reply.headerBlock, 254);
    ASSERT_TRUE(reply.HasAllMessages());
    EXPECT_TRUE(reply.ChecksumMatches());
    const Block b = reply.Bytes();
    EXPECT_EQ(b[2], 5);
    EXPECT_EQ(b[3], 0);
    EXPECT_EQ(b[18], '"');
    const std::string text(b.begin() + 19, b.end());
    EXPECT_EQ(text.substr(0, text.find('"')), "ORBIQA-GSM;V1.05;2026-11-30;3.2");
}

TEST(ModsimPty, SecondSimulatorTakesTheNextFreeNameAndEndingRemovesTheLink) {
    TempDir dir;
    const std::string links = dir.Path() + "/ports";
    fs::create_directories(links);
    fs::create_symlink("/nonexistent/pts/77", links + "/COM90");  // left by a killed simulator
    std::string firstLink;
    {
        SimProcess first(Fast(), links);
        EXPECT_EQ(first.ComName(), "COM90");  // the stale link is taken over
        SimProcess second(Fast(), links);
        EXPECT_EQ(second.ComName(), "COM91");
        firstLink = first.LinkPath();
        ::kill(first.Pid(), SIGTERM);
        EXPECT_EQ(first.Wait(5000), 0);
        EXPECT_FALSE(fs::exists(fs::symlink_status(firstLink)));
        EXPECT_TRUE(fs::is_symlink(second.LinkPath()));
    }
    EXPECT_TRUE(fs::is_empty(links));
}

TEST(ModsimPty, ExplicitPortThatIsTakenIsAnError) {
    TempDir dir;
    const std::string links = dir.Path() + "/ports";
    SimProcess first(Fast({"--port", "COM7"}), links);
    ASSERT_EQ(first.ComName(), "COM7");
    SimProcess second(Fast({"--port", "7"}), links);
    EXPECT_EQ(second.StartLine(), "");
    EXPECT_EQ(second.Wait(5000), 1);
    EXPECT_EQ(fs::read_symlink(first.LinkPath()), first.DevicePath());
}

TEST(ModsimPty, WriteThenReadRoundTripsAndBadWritesAreNotAcknowledged) {
    Sim sim(Fast());
    SimClient client(sim.process.DevicePath());
    const Block data = Pattern(3);
    ASSERT_TRUE(WriteBlock(client, 3, data));
    BlockReply reply = ReadBlock(client, 3);
    ASSERT_TRUE(reply.HasAllMessages());
    EXPECT_EQ(reply.Bytes(), data);

    // Neither a wrong checksum nor a missing data message may change the block.
    EXPECT_FALSE(WriteBlock(client, 3, Pattern(9), {.badChecksum = true}, 400));
    EXPECT_FALSE(WriteBlock(client, 3, Pattern(9), {.skipMessage = 2}, 400));
    EXPECT_FALSE(WriteBlock(client, 254, Pattern(9), {}, 400));
    reply = ReadBlock(client, 3);
    ASSERT_TRUE(reply.HasAllMessages());
    EXPECT_EQ(reply.Bytes(), data);
    EXPECT_EQ(ReadBlock(client, 254).Bytes()[18], '"');

    // A write of a high block (outside the parameter memory) is kept too.
    ASSERT_TRUE(WriteBlock(client, 200, Pattern(1)));
    EXPECT_EQ(ReadBlock(client, 200).Bytes(), Pattern(1));
}

TEST(ModsimPty, StatusPollAnswersWithTheGivenState) {
    Sim sim(Fast({"--status-flags", "0x11", "--signal", "17", "--line-state", "3"}));
    SimClient client(sim.process.DevicePath());
    client.WriteBytes({'?', '?', '\r'});
    const auto messages = client.Receive(3000, [](const ModuleMessage& m) { return TypeOf(m) == orbiqa::kTypeStatus; });
    ASSERT_FALSE(messages.empty());
    const ModuleMessage& status = messages.back();
    ASSERT_EQ(TypeOf(status), orbiqa::kTypeStatus);
    EXPECT_EQ(status[11], 0x11);
    EXPECT_EQ(status[12], 17);
    EXPECT_EQ(status[13], 3);
    // "?" without the carriage return is no poll.
    client.WriteBytes({'?', '?'});
    EXPECT_TRUE(client.ReceiveFor(300).empty());
}

TEST(ModsimPty, AnotherClientAfterTheFirstClosedIsServed) {
    Sim sim(Fast());
    { SimClient first(sim.process.DevicePath()); ASSERT_TRUE(ReadBlock(first, 0).HasAllMessages()); }
    SimClient second(sim.process.DevicePath());
    const BlockReply reply = ReadBlock(second, 1);
    EXPECT_FALSE(second.HungUp());
    EXPECT_TRUE(reply.HasAllMessages());
}

TEST(ModsimPty, MemoryFileIsLoadedAndWritesPersistKeepingTheTail) {
    TempDir files;
    const std::string path = files.Path() + "/params.VR3";
    std::vector<std::uint8_t> original(1088);
    for (std::size_t i = 0; i < original.size(); ++i) original[i] = static_cast<std::uint8_t>(i % 251);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(original.data()), 1088);

    {
        Sim sim(Fast({"--memory", path}));
        SimClient client(sim.process.DevicePath());
        const BlockReply reply = ReadBlock(client, 1);
        ASSERT_TRUE(reply.HasAllMessages());
        EXPECT_TRUE(std::equal(original.begin() + 64, original.begin() + 128, reply.Bytes().begin()));
        ASSERT_TRUE(WriteBlock(client, 2, Pattern(42)));
    }
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> saved((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(saved.size(), 1088u);
    EXPECT_TRUE(std::equal(saved.begin() + 128, saved.begin() + 192, Pattern(42).begin()));
    EXPECT_TRUE(std::equal(saved.begin(), saved.begin() + 128, original.begin()));
    EXPECT_TRUE(std::equal(saved.begin() + 192, saved.end(), original.begin() + 192));

    Sim again(Fast({"--memory", path}));
    SimClient client(again.process.DevicePath());
    EXPECT_EQ(ReadBlock(client, 2).Bytes(), Pattern(42));
}

TEST(ModsimPty, MissingMemoryFileIsCreatedByTheFirstWriteAndAShortOneIsRefused) {
    TempDir files;
    const std::string path = files.Path() + "/new.VR3";
    {
        Sim sim(Fast({"--memory", path, "--image", "erased"}));
        SimClient client(sim.process.DevicePath());
        ASSERT_TRUE(WriteBlock(client, 14, Pattern(5)));
    }
    ASSERT_EQ(fs::file_size(path), 1088u);
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> saved((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(saved[0], 0xFF);
    EXPECT_TRUE(std::equal(saved.begin() + 896, saved.begin() + 960, Pattern(5).begin()));
    EXPECT_EQ(saved[1087], 0xFF);

    const std::string shortFile = files.Path() + "/short.VR3";
    std::ofstream(shortFile, std::ios::binary) << "too short";
    Sim sim(Fast({"--memory", shortFile}));
    EXPECT_EQ(sim.process.StartLine(), "");
    EXPECT_EQ(sim.process.Wait(5000), 1);

    // A named pipe is refused at once: reading it would wait for a writer for good.
    const std::string pipe = files.Path() + "/pipe.VR3";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    Sim piped(Fast({"--memory", pipe}));
    EXPECT_EQ(piped.process.StartLine(), "");
    EXPECT_EQ(piped.process.Wait(5000), 1);
}

TEST(ModsimPty, ReadFaultsSpoilOnlyTheirBlock) {
    Sim sim(Fast({"--bad-checksum-block", "3", "--wrong-block", "4", "--drop-data-message", "5:0"}));
    SimClient client(sim.process.DevicePath());

    BlockReply bad = ReadBlock(client, 3);
    ASSERT_TRUE(bad.HasAllMessages());
    EXPECT_EQ(bad.SentChecksum(), orbiqa::BlockChecksum(bad.Bytes().data()) + 1);

    BlockReply wrong = ReadBlock(client, 4);
    EXPECT_EQ(wrong.headerBlock, 5);
    ASSERT_TRUE(wrong.HasAllMessages());
    EXPECT_TRUE(wrong.ChecksumMatches());

    BlockReply dropped = ReadBlock(client, 5);
    EXPECT_EQ(dropped.headerBlock, 5);
    ASSERT_EQ(dropped.data.size(), 5u);
    EXPECT_EQ(dropped.data.front()[2], 1);

    BlockReply fine = ReadBlock(client, 6);
    EXPECT_TRUE(fine.HasAllMessages());
    EXPECT_TRUE(fine.ChecksumMatches());
}

TEST(ModsimPty, SilenceAndMissingAcknowledgementFromABlockOn) {
    Sim sim(Fast({"--silent-from-block", "10", "--no-ack-from-block", "6"}));
    SimClient client(sim.process.DevicePath());
    EXPECT_TRUE(ReadBlock(client, 9).HasAllMessages());
    EXPECT_FALSE(ReadBlock(client, 10, 500).headerBlock.has_value());
    EXPECT_FALSE(ReadBlock(client, 254, 500).headerBlock.has_value());

    EXPECT_TRUE(WriteBlock(client, 5, Pattern(1)));
    EXPECT_FALSE(WriteBlock(client, 6, Pattern(2), {}, 500));
    EXPECT_FALSE(WriteBlock(client, 11, Pattern(3), {}, 500));
    // The unacknowledged write was stored; the silent one was not.
    EXPECT_EQ(ReadBlock(client, 6).Bytes(), Pattern(2));
}

// A module made with another key cannot read the client's requests, but answers the status
// poll, a plain text line, under its own key: frames arrive, none deciphers.
TEST(ModsimPty, WrongKeyModuleIgnoresRequestsAndAnswersThePollUnderItsKey) {
    Sim sim(Fast({"--wrong-key"}));
    SimClient client(sim.process.DevicePath());
    EXPECT_FALSE(ReadBlock(client, 0, 500).headerBlock.has_value());
    EXPECT_FALSE(WriteBlock(client, 1, Pattern(1), {}, 300));
    EXPECT_TRUE(client.RawBytes().empty());
    client.WriteBytes({'?', '?', '\r'});
    EXPECT_TRUE(client.ReceiveFor(300).empty());
    EXPECT_GE(client.RawBytes().size(), 18u);
}

TEST(ModsimPty, SilentModuleTakesEverythingAndSendsNothing) {
    // Texts and the flood would otherwise come unasked; a status poll is answered even by a
    // module silent from block 0.
    Sim sim({"--fast", "--silent", "--flood", "--texts", "demo", "--text-interval", "20"});
    SimClient client(sim.process.DevicePath());
    client.WriteBytes({'?', '?', '\r'});
    EXPECT_FALSE(ReadBlock(client, 0, 300).headerBlock.has_value());
    EXPECT_FALSE(ReadBlock(client, 254, 300).headerBlock.has_value());
    EXPECT_FALSE(WriteBlock(client, 1, Pattern(1), {}, 300));
    // Far more than a terminal buffers: written only if the simulator keeps reading.
    client.WriteBytes(std::vector<std::uint8_t>(1 << 20, '?'));
    client.ReceiveFor(300);
    EXPECT_TRUE(client.RawBytes().empty());
}

TEST(ModsimPty, NoiseBetweenFramesLeavesTheFramesIntact) {
    Sim sim(Fast({"--noise", "--seed", "7"}));
    SimClient client(sim.process.DevicePath());
    for (std::uint8_t block = 0; block < 15; ++block) {
        const BlockReply reply = ReadBlock(client, block);
        ASSERT_TRUE(reply.HasAllMessages()) << int{block};
        EXPECT_TRUE(reply.ChecksumMatches());
    }
    EXPECT_GT(client.RawBytes().size(), 15u * 7u * 18u);
}

TEST(ModsimPty, HangupAfterNBytesEndsTheLineAndRemovesTheLink) {
    Sim sim(Fast({"--hangup-after", "100"}));
    const std::string link = sim.process.LinkPath();
    SimClient client(sim.process.DevicePath());
    client.SendCommand(orbiqa::kCmdReadBlock, 0);
    client.ReceiveFor(3000);
    EXPECT_TRUE(client.HungUp());
    EXPECT_EQ(client.RawBytes().size(), 100u);
    EXPECT_EQ(sim.process.Wait(5000), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    // The hang-up stays: poll reports it at once every time, so a client must not spin on it.
    pollfd pfd{client.Fd(), POLLIN, 0};
    EXPECT_EQ(::poll(&pfd, 1, 0), 1);
    EXPECT_TRUE(pfd.revents & POLLHUP);
}

TEST(ModsimPty, TextsArriveOnAllFourChannelsInWindows1250) {
    Sim sim({"--fast", "--text-interval", "20"});
    SimClient client(sim.process.DevicePath());
    std::set<std::uint8_t> types;
    std::string text;
    client.Receive(5000, [&](const ModuleMessage& m) {
        const std::uint8_t type = m[1];
        const bool longText = type == 0x31 || type == 0x32 || type == 0x33 || type == 0x35;
        const bool shortText = type == 0x21 || type == 0x22 || type == 0x23 || type == 0x25;
        if (longText || shortText) {
            types.insert(type);
            for (int i = longText ? 2 : 11; i <= 14; ++i)
                if (m[i] != 0) text += static_cast<char>(m[i]);
        }
        return types.size() >= 8 && text.find('\xFB') != std::string::npos;
    });
    EXPECT_EQ(types.size(), 8u);
    EXPECT_NE(text.find("Kimen\xF5 h\xEDv\xE1s"), std::string::npos);
    EXPECT_NE(text.find("T\xFBzjelz\xE9s"), std::string::npos);
    EXPECT_NE(text.find("\r\r"), std::string::npos);
}

TEST(ModsimPty, FloodDoesNotDisturbABlockRead) {
    Sim sim({"--flood", "--texts", "off"});
    SimClient client(sim.process.DevicePath());
    const BlockReply reply = ReadBlock(client, 7);
    ASSERT_TRUE(reply.HasAllMessages());
    EXPECT_TRUE(reply.ChecksumMatches());
    const auto more = client.ReceiveFor(300);
    EXPECT_GE(more.size(), 5u);  // a message every 20 ms
}

TEST(ModsimPty, LineTimingPacesABlockReadAndFastModeDoesNot) {
    Sim paced({"--texts", "off"});
    SimClient client(paced.process.DevicePath());
    const auto start = SteadyClock::now();
    ASSERT_TRUE(ReadBlock(client, 3).HasAllMessages());
    const auto pacedMs = std::chrono::duration_cast<Ms>(SteadyClock::now() - start).count();
    // 144 bytes at 19200 baud 8N1 are 75 ms; machines are noisy, so only a lower bound.
    EXPECT_GE(pacedMs, 60);

    Sim fast(Fast());
    SimClient fastClient(fast.process.DevicePath());
    ASSERT_TRUE(ReadBlock(fastClient, 3).HasAllMessages());  // warm up
    const auto fastStart = SteadyClock::now();
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(ReadBlock(fastClient, 3).HasAllMessages());
    const auto fastMs = std::chrono::duration_cast<Ms>(SteadyClock::now() - fastStart).count();
    EXPECT_LT(fastMs, 5 * 60);
}

TEST(ModsimPty, ReplyDelayHoldsEveryAnswer) {
    Sim sim(Fast({"--reply-delay", "400"}));
    SimClient client(sim.process.DevicePath());
    const auto start = SteadyClock::now();
    ASSERT_TRUE(ReadBlock(client, 0).HasAllMessages());
    EXPECT_GE(std::chrono::duration_cast<Ms>(SteadyClock::now() - start).count(), 400);
}

TEST(ModsimPty, CommandLineErrorExitsWithTwoBeforePublishing) {
    TempDir dir;
    SimProcess sim({"--no-such-option"}, dir.Path());
    EXPECT_EQ(sim.Wait(5000), 2);
    EXPECT_TRUE(fs::is_empty(dir.Path()));
}
