// The transfer engine against the in-memory module: the outcome rules of read, write and
// compare, the messages on the line, and what happens to the image and ModuleCopy.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "FakeModule.h"
#include "link/BlockChecksum.h"
#include "transfer/TransferEngine.h"

namespace orbiqa {
namespace {

using test::FakeModule;
using ::testing::Each;
using ::testing::ElementsAreArray;

struct Recorder final : TransferObserver {
    std::vector<std::string> events;
    int position = -1;
    BarColour colour = BarColour::Green;
    int firstRedAt = -1;

    void NotConnected() override { events.push_back("not connected"); }
    void TransferStarted() override { events.push_back("started"); }
    void TransferFinished() noexcept override { events.push_back("finished"); }
    void BarPositionChanged(int p) override { position = p; }
    void BarColourChanged(BarColour c) override {
        colour = c;
        if (c == BarColour::Red && firstRedAt < 0) firstRedAt = position;
    }
};

std::string Hex(const ModuleMessage& m) {
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    for (std::uint8_t b : m) {
        if (!s.empty()) s += ' ';
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

class TransferEngineTest : public ::testing::Test {
protected:
    TransferEngineTest() : engine(module, image, module.Wait()) {
        engine.SetObserver(&recorder);
        image.fill(0xFF);
        for (std::size_t i = 0; i < module.memory.size(); ++i) module.memory[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }

    std::span<const std::uint8_t> Block(const std::array<std::uint8_t, kModuleMemorySize>& bytes, int n) {
        return std::span(bytes).subspan(static_cast<std::size_t>(n) * kBlockSize, kBlockSize);
    }

    FakeModule module;
    std::array<std::uint8_t, kParameterImageSize> image{};
    Recorder recorder;
    TransferEngine engine;
};

TEST(BlockMessages, ChecksumsAndSixthWriteMessageMatchTheLineFormat) {
    std::array<std::uint8_t, kBlockSize> zeros{};
    std::array<std::uint8_t, kBlockSize> ones{};
    ones.fill(0xFF);
    EXPECT_EQ(BlockChecksum(zeros.data()), 540u);
    EXPECT_EQ(BlockChecksum(ones.data()), 15780u);

    const auto sixth = [](const std::array<std::uint8_t, kBlockSize>& block) {
        return Hex(BuildPayloadMessage(kCmdWriteData, BuildWriteDataPayloads(block.data())[5].data()));
    };
    EXPECT_EQ(sixth(zeros), "5B 3D 05 00 00 00 00 00 00 02 1C 00 00 00 00 5D");
    EXPECT_EQ(sixth(ones), "5B 3D 05 FF FF FF FF 00 00 3D A4 00 00 00 FF 5D");

    // The last byte is the fifth message's, not a fresh zero.
    std::array<std::uint8_t, kBlockSize> marked{};
    marked[59] = 0xAB;
    const auto payloads = BuildWriteDataPayloads(marked.data());
    EXPECT_EQ(payloads[4][12], 0xAB);
    EXPECT_EQ(payloads[5][12], 0xAB);
    for (std::size_t p = 0; p < 6; ++p) EXPECT_EQ(payloads[p][0], p);
}

TEST_F(TransferEngineTest, ReadRequestsAndWriteHeadersCarryTheBlockNumber) {
    module.silentFromBlock = 3;
    module.noAckFromBlock = 3;
    engine.Read();
    ASSERT_EQ(module.sent.size(), 4u);
    EXPECT_EQ(Hex(module.sent[3]), "5B 1C 03 00 FF FF 00 FF FF 00 00 00 00 03 40 5D");

    module.sent.clear();
    module.memory.fill(0);
    image.fill(0);
    engine.Write();
    ASSERT_EQ(module.sent.size(), 4u * 7);
    EXPECT_EQ(Hex(module.sent[21]), "5B 2D 07 00 FF FF 00 FF FF 00 00 00 00 03 40 5D");
}

TEST_F(TransferEngineTest, ReadFillsImageAndModuleCopyAndZeroesTheTail) {
    const TransferResult r = engine.Read();
    EXPECT_EQ(r.outcome, TransferOutcome::Completed);
    EXPECT_EQ(r.blocksDone, 15);
    EXPECT_THAT(engine.ModuleCopy(), ElementsAreArray(module.memory));
    EXPECT_THAT(std::span(image).first(kModuleMemorySize), ElementsAreArray(module.memory));
    EXPECT_THAT(std::span(image).subspan(kModuleMemorySize), Each(0));
    EXPECT_EQ(recorder.position, 15);
    EXPECT_EQ(recorder.colour, BarColour::Green);
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"started", "finished"}));
    EXPECT_EQ(module.waits, std::vector<int>(15, kReadReplyTicks));
}

TEST_F(TransferEngineTest, ReadWithoutAnswerAtBlockZeroLeavesTheImageAndModuleCopy) {
    engine.ModuleCopy().fill(0x5A);
    module.silentFromBlock = 0;
    module.Reply().ReadReplyReady = 1;  // left over from an earlier reply: must be cleared first

    const TransferResult r = engine.Read();
    EXPECT_EQ(r.outcome, TransferOutcome::NoAnswer);
    EXPECT_EQ(r.failedBlock, 0);
    EXPECT_THAT(image, Each(0xFF));  // the user's unsaved work survives
    EXPECT_THAT(engine.ModuleCopy(), Each(0x5A));
    EXPECT_EQ(recorder.position, 0);
    EXPECT_EQ(recorder.colour, BarColour::Green);
    EXPECT_EQ(module.readRequests(), 1);  // never repeated
}

TEST_F(TransferEngineTest, ReadFailuresStopAtTheBlockAndKeepWhatArrived) {
    struct Case {
        const char* name;
        int FakeModule::*fault;
        TransferOutcome outcome;
    };
    for (const Case& c : {Case{"silent", &FakeModule::silentFromBlock, TransferOutcome::NoAnswer},
                          Case{"wrong block", &FakeModule::wrongBlock, TransferOutcome::WrongBlock},
                          Case{"bad checksum", &FakeModule::badChecksumBlock, TransferOutcome::NoAnswer}}) {
        SCOPED_TRACE(c.name);
        FakeModule m;
        m.memory = module.memory;
        m.*c.fault = 5;
        std::array<std::uint8_t, kParameterImageSize> img{};
        img.fill(0xFF);
        TransferEngine e(m, img, m.Wait());
        Recorder rec;
        e.SetObserver(&rec);
        e.ModuleCopy().fill(0x5A);

        const TransferResult r = e.Read();
        EXPECT_EQ(r.outcome, c.outcome);
        EXPECT_EQ(r.failedBlock, 5);
        EXPECT_EQ(r.blocksDone, 5);
        EXPECT_EQ(rec.position, 5);
        EXPECT_EQ(rec.colour, BarColour::Green);
        EXPECT_THAT(img, Each(0xFF));
        EXPECT_THAT(std::span(e.ModuleCopy()).first(5 * kBlockSize),
                    ElementsAreArray(std::span(m.memory).first(5 * kBlockSize)));
        EXPECT_THAT(std::span(e.ModuleCopy()).subspan(5 * kBlockSize), Each(0x5A));
        EXPECT_EQ(m.readRequests(), 6);
    }
}

TEST_F(TransferEngineTest, WriteSendsTheImageAndWaitsForEachAcknowledgement) {
    module.memory.fill(0);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i ^ 0x3C);

    const TransferResult r = engine.Write();
    EXPECT_EQ(r.outcome, TransferOutcome::Completed);
    EXPECT_THAT(module.memory, ElementsAreArray(std::span(image).first(kModuleMemorySize)));
    EXPECT_THAT(engine.ModuleCopy(), ElementsAreArray(module.memory));
    EXPECT_EQ(recorder.position, 15);
    EXPECT_EQ(recorder.colour, BarColour::Green);
    EXPECT_EQ(module.waits, std::vector<int>(15, kWriteAckTicks));
    EXPECT_EQ(module.sent.size(), 15u * 7);

    // Compare after the write: equal, and the image keeps every byte, the tail included.
    const auto before = image;
    const TransferResult c = engine.Compare();
    EXPECT_EQ(c.outcome, TransferOutcome::Completed);
    EXPECT_EQ(recorder.position, 15);
    EXPECT_EQ(recorder.colour, BarColour::Green);
    EXPECT_EQ(image, before);
}

TEST_F(TransferEngineTest, WriteWithoutAcknowledgementTurnsTheBarRed) {
    module.noAckFromBlock = 0;
    module.Reply().WriteAckReceived = 1;  // stale: cleared before the last data message
    TransferResult r = engine.Write();
    EXPECT_EQ(r.outcome, TransferOutcome::NoAck);
    EXPECT_EQ(r.failedBlock, 0);
    EXPECT_EQ(recorder.position, 1);  // red must show even at block 0
    EXPECT_EQ(recorder.colour, BarColour::Red);
    EXPECT_EQ(module.writeHeaders(), 1);

    module.noAckFromBlock = 6;
    module.sent.clear();
    r = engine.Write();
    EXPECT_EQ(r.failedBlock, 6);
    EXPECT_EQ(r.blocksDone, 6);
    EXPECT_EQ(recorder.position, 6);
    EXPECT_EQ(recorder.colour, BarColour::Red);
    EXPECT_EQ(module.writeHeaders(), 7);
    EXPECT_THAT(std::span(image), Each(0xFF));  // a write never changes the image
}

TEST_F(TransferEngineTest, CompareWithOneDifferentBlockGoesOnAndLeavesTheImageAlone) {
    engine.Read();
    image[kParameterImageSize - 1] = 0x77;  // an edit since, in the part no transfer moves
    const auto before = image;
    module.memory[3 * kBlockSize + 40] ^= 1;

    const TransferResult r = engine.Compare();
    EXPECT_EQ(r.outcome, TransferOutcome::Different);
    EXPECT_EQ(r.firstDifferentBlock, 3);
    EXPECT_EQ(recorder.firstRedAt, 4);
    EXPECT_EQ(recorder.position, 15);
    EXPECT_EQ(recorder.colour, BarColour::Red);
    EXPECT_EQ(module.readRequests(), 30);  // 15 for the read, 15 for the compare
    EXPECT_EQ(image, before);
}

TEST_F(TransferEngineTest, CompareThatStopsAnsweringStaysGreenShortOfFull) {
    engine.Read();
    const auto before = image;
    module.silentFromBlock = 9;
    const TransferResult r = engine.Compare();
    EXPECT_EQ(r.outcome, TransferOutcome::NoAnswer);
    EXPECT_EQ(r.failedBlock, 9);
    EXPECT_EQ(r.firstDifferentBlock, -1);
    EXPECT_EQ(recorder.position, 9);
    EXPECT_EQ(recorder.colour, BarColour::Green);
    EXPECT_EQ(image, before);
}

TEST_F(TransferEngineTest, ALostDeviceEndsTheWaitAtOnceWithItsOwnOutcome) {
    // The device goes away with the request for block 4: no answer will ever come.
    module.loseDeviceOnRequestOfBlock = 4;
    TransferResult r = engine.Read();
    EXPECT_EQ(r.outcome, TransferOutcome::DeviceLost);
    EXPECT_EQ(r.failedBlock, 4);
    EXPECT_EQ(r.blocksDone, 4);
    EXPECT_THAT(image, Each(0xFF));
    EXPECT_EQ(module.abandonedWaits, 1);

    module.lost = false;
    r = engine.Compare();
    EXPECT_EQ(r.outcome, TransferOutcome::DeviceLost);
    EXPECT_EQ(recorder.colour, BarColour::Green);

    module.lost = false;
    module.loseDeviceOnRequestOfBlock = 2;
    r = engine.Write();
    EXPECT_EQ(r.outcome, TransferOutcome::DeviceLost);
    EXPECT_EQ(r.failedBlock, 2);
    EXPECT_EQ(r.blocksDone, 2);
    EXPECT_EQ(recorder.colour, BarColour::Red);
    EXPECT_EQ(module.abandonedWaits, 3);
}

TEST_F(TransferEngineTest, FreshCompareTestsTheModuleAgainstZeros) {
    module.memory.fill(0);
    EXPECT_EQ(engine.Compare().outcome, TransferOutcome::Completed);
    module.memory[0] = 1;
    EXPECT_EQ(engine.Compare().firstDifferentBlock, 0);
    EXPECT_EQ(recorder.firstRedAt, 1);
}

TEST_F(TransferEngineTest, ClosedPortSendsNothingAndChangesNothing) {
    module.connected = false;
    engine.ModuleCopy().fill(0x11);
    for (auto run : {&TransferEngine::Read, &TransferEngine::Write, &TransferEngine::Compare})
        EXPECT_EQ((engine.*run)().outcome, TransferOutcome::NotConnected);
    EXPECT_TRUE(module.sent.empty());
    EXPECT_THAT(image, Each(0xFF));
    EXPECT_THAT(engine.ModuleCopy(), Each(0x11));
    EXPECT_EQ(recorder.events, std::vector<std::string>(3, "not connected"));
    EXPECT_EQ(recorder.position, -1);
}

TEST_F(TransferEngineTest, SendErrorPropagatesButTheTransferStillFinishes) {
    module.failOnSend = 4;  // during the write of block 0
    EXPECT_THROW(engine.Write(), EComPort);
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"started", "finished"}));

    module.failOnSend = static_cast<int>(module.sent.size()) + 2;  // third read request
    EXPECT_THROW(engine.Read(), EComPort);
    EXPECT_EQ(recorder.events.back(), "finished");
    EXPECT_EQ(recorder.events.size(), 4u);
}

}  // namespace
}  // namespace orbiqa
