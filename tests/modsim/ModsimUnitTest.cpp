// The simulator's parts without a terminal: options, line pacing, memory and texts.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "LineReceiver.h"
#include "LineTransmitter.h"
#include "ModuleMemory.h"
#include "Options.h"
#include "base/Errors.h"

using namespace orbiqa::modsim;
using namespace std::chrono_literals;

namespace {

ParseResult Parse(std::vector<std::string> args) { return ParseOptions(args); }

}  // namespace

TEST(ModsimOptions, ValuesInBothFormsAndInTheProgramsNumberRule) {
    const ParseResult r = Parse({"--port", "COM7", "--signal=0x1F", "--status-flags", "$11",
                                 "--drop-data-message", "4:5", "--hangup-after", "100", "--fast"});
    ASSERT_EQ(r.action, ParseResult::Action::Run) << r.error;
    EXPECT_EQ(r.options.port, 7);
    EXPECT_EQ(r.options.signal, 31);
    EXPECT_EQ(r.options.statusFlags, 0x11);
    EXPECT_EQ(r.options.dropDataBlock, 4);
    EXPECT_EQ(r.options.dropDataMessage, 5);
    EXPECT_EQ(r.options.hangupAfterBytes, 100);
    EXPECT_TRUE(r.options.fast);
    EXPECT_EQ(Parse({"--drop-data-message", "9"}).options.dropDataMessage, 2);
    EXPECT_EQ(Parse({"--port", "12"}).options.port, 12);
    // The same name the command line and the window take for the same port.
    EXPECT_EQ(Parse({"--port", "com61"}).options.port, 61);
}

TEST(ModsimOptions, MistakesAreErrors) {
    for (std::vector<std::string> args :
         {std::vector<std::string>{"--bogus"}, {"--port", "COM0"}, {"--port", "COM257"}, {"--port", "LPT1"},
          {"--signal", "256"}, {"--signal"}, {"--fast=1"}, {"--drop-data-message", "3:6"},
          {"--texts", "loud"}, {"--silent-from-block", "-1"}, {"--version-text", "a\"b"},
          {"--quiet", "--verbose"}, {"--text-interval", "5"}})
        EXPECT_EQ(Parse(args).action, ParseResult::Action::Error) << args[0];
    EXPECT_EQ(Parse({"--fast", "--help", "--bogus"}).action, ParseResult::Action::Help);
}

TEST(ModsimOptions, HelpDocumentsEveryOption) {
    const std::string help = HelpText();
    for (const char* name :
         {"--port", "--link-dir", "--quiet", "--verbose", "--exit-after", "--fast", "--reply-delay", "--memory",
          "--image", "--status-flags", "--signal", "--line-state", "--version-text", "--data-version", "--texts",
          "--text-interval", "--seed", "--silent-from-block", "--bad-checksum-block", "--wrong-block",
          "--drop-data-message", "--no-ack-from-block", "--hangup-after", "--noise", "--flood", "--wrong-key", "--silent"}) {
        EXPECT_NE(help.find(std::string("  ") + name + ' '), std::string::npos) << name;
        EXPECT_NE(Parse({name}).error.rfind("unknown option", 0), 0u) << name;
    }
}

TEST(ModsimLine, ReceiverSpacesBytesThatCameTogetherByTheByteTime) {
    LineReceiver rx(kByteTime19200);
    const Time t0{};
    const std::uint8_t bytes[18] = {};
    rx.Push(bytes, 18, t0);
    int delivered = 0;
    rx.Deliver(t0 + kByteTime19200 * 17, [&](std::uint8_t, Time) { ++delivered; });
    EXPECT_EQ(delivered, 17);
    EXPECT_EQ(rx.NextArrival(), t0 + kByteTime19200 * 18);
    // A byte written long after the line went idle arrives one byte time after it was written.
    rx.Push(bytes, 1, t0 + 1s);
    rx.Deliver(t0 + 1s, [&](std::uint8_t, Time) { ++delivered; });
    EXPECT_EQ(delivered, 18);
    Time last{};
    rx.Deliver(t0 + 2s, [&](std::uint8_t, Time at) { last = at; });
    EXPECT_EQ(last, t0 + 1s + kByteTime19200);
}

TEST(ModsimLine, TransmitterHandsOverEachMessageWhenItsLastByteIsDone) {
    LineTransmitter tx(kByteTime19200);
    const Time t0{};
    std::vector<std::uint8_t> out;
    auto sink = [&](const std::uint8_t* d, std::size_t n) {
        out.insert(out.end(), d, d + n);
        return n;
    };
    tx.Enqueue(std::vector<std::uint8_t>(18, 1), t0);
    tx.Enqueue(std::vector<std::uint8_t>(18, 2), t0);
    tx.Enqueue(std::vector<std::uint8_t>(2, 3), t0 + 1s);
    tx.Enqueue(std::vector<std::uint8_t>(1, 4), t0 + 10ms);  // may start sooner: goes ahead
    EXPECT_EQ(tx.NextDue(), t0 + kByteTime19200 * 18);
    tx.Pump(t0 + kByteTime19200 * 18 - 1ns, sink);
    EXPECT_TRUE(out.empty());
    tx.Pump(t0 + kByteTime19200 * 18, sink);
    EXPECT_EQ(out.size(), 18u);
    EXPECT_EQ(tx.NextDue(), t0 + kByteTime19200 * 36);
    tx.Pump(t0 + 2s, sink);
    ASSERT_EQ(out.size(), 39u);
    EXPECT_EQ(out[36], 4);
    EXPECT_EQ(out[37], 3);
    EXPECT_EQ(tx.NextDue(), std::nullopt);
}

TEST(ModsimLine, TransmitterResumesAPartialWrite) {
    LineTransmitter tx(Duration::zero());
    std::vector<std::uint8_t> out;
    std::size_t room = 5;
    auto sink = [&](const std::uint8_t* d, std::size_t n) {
        const std::size_t k = std::min(n, room);
        out.insert(out.end(), d, d + k);
        room -= k;
        return k;
    };
    std::vector<std::uint8_t> frame(18);
    for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<std::uint8_t>(i);
    tx.Enqueue(frame, Time{});
    EXPECT_FALSE(tx.Pump(Time{}, sink));
    room = 100;
    EXPECT_TRUE(tx.Pump(Time{}, sink));
    EXPECT_EQ(out, frame);
    EXPECT_EQ(tx.Backlog(), 0u);
}

TEST(ModsimMemory, DemoImageHoldsNoVersionMarkAndTheVersionRecordIsLaidOut) {
    ModuleMemory memory;
    memory.LoadDemoImage();
    memory.SetVersionRecord("A;B;C;D", 0x0105);
    // A parameter block with a double quote at byte 18 would pop up the program's version box.
    for (std::size_t block = 0; block < kParameterBlocks; ++block)
        EXPECT_NE(memory.ReadBlock(block)[18], '"') << block;
    EXPECT_EQ(memory.ReadBlock(0)[0], 11);  // digit count of the automatic dialling number
    const Block version = memory.ReadBlock(254);
    EXPECT_EQ(version[2], 0x05);
    EXPECT_EQ(version[3], 0x01);
    EXPECT_EQ(std::string(version.begin() + 18, version.begin() + 27), "\"A;B;C;D\"");
    EXPECT_EQ(memory.ReadBlock(255), Block{});
}

TEST(ModsimMemory, ParameterFileKeepsItsTailAndShortFilesAreRefused) {
    const auto dir = std::filesystem::temp_directory_path() / ("modsim-unit-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "p.VR3").string();
    ParameterFile file{};
    for (std::size_t i = 0; i < file.size(); ++i) file[i] = static_cast<std::uint8_t>(i * 3);
    WriteParameterFile(path, file);
    ModuleMemory memory;
    memory.LoadParameters(ReadParameterFile(path));
    Block b{};
    b.fill(0xAB);
    memory.WriteBlock(14, b);
    const ParameterFile saved = memory.SaveParameters(file);
    EXPECT_EQ(saved[895], file[895]);
    EXPECT_EQ(saved[896], 0xAB);
    EXPECT_EQ(saved[959], 0xAB);
    EXPECT_EQ(saved[960], file[960]);
    EXPECT_EQ(saved[1087], file[1087]);

    std::ofstream(path, std::ios::binary | std::ios::trunc) << std::string(1087, 'x');
    EXPECT_THROW(ReadParameterFile(path), orbiqa::OrbiqaError);
    std::filesystem::remove_all(dir);
}
