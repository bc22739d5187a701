// Transfers through the real link: orbiqa-modsim on a pseudo-terminal, the POSIX serial
// device, the frame codec, the dispatcher and the Qt waiter, with the simulator's faults.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <fstream>
#include <iterator>

#include <QLabel>

#include "ModsimSession.h"
#include "support/PrivateSettingsFolder.h"
#include "params/FieldCatalog.h"
#include "transfer/DownloadForm.h"

namespace orbiqa {
namespace {

using bench::TransferSession;
using bench::ModsimProcess;
using ::testing::Each;
using ::testing::ElementsAreArray;

// Failed waits run out in 10 ms ticks instead of 100 ms, so the fault cases stay quick.
constexpr int kQuickTickMs = 10;

class DownloadEndToEndTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { config.emplace(); }
    static void TearDownTestSuite() { config.reset(); }

    void SetUp() override {
        if (!QFile::exists(bench::ModsimProgram())) GTEST_SKIP() << "orbiqa-modsim not built";
        for (std::size_t i = 0; i < fileBytes.size(); ++i) fileBytes[i] = static_cast<std::uint8_t>(i * 11 + 5);
        memoryFile = files.filePath(QStringLiteral("module.VR3"));
        std::ofstream(memoryFile.toStdString(), std::ios::binary)
            .write(reinterpret_cast<const char*>(fileBytes.data()), static_cast<std::streamsize>(fileBytes.size()));
    }

    /// Starts the simulator on the memory file with extra options and connects to it.
    TransferSession& Connect(QStringList options = {}) {
        options << QStringLiteral("--fast") << QStringLiteral("--memory") << memoryFile;
        if (!options.contains(QStringLiteral("--texts"))) options << QStringLiteral("--texts") << QStringLiteral("off");
        session = std::make_unique<TransferSession>(sim.Start(options), kQuickTickMs);
        return *session;
    }

    std::vector<std::uint8_t> MemoryFileBytes() const {
        std::ifstream in(memoryFile.toStdString(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    static inline std::optional<testsupport::PrivateSettingsFolder> config;
    QTemporaryDir files;
    QString memoryFile;
    std::array<std::uint8_t, kParameterImageSize> fileBytes{};
    ModsimProcess sim;
    std::unique_ptr<TransferSession> session;  // after sim: closed before the simulator ends
};

struct CountingBlocks final : BlockReplyConsumer {
    int count = 0;
    void BlockReplyCompleted() override { ++count; }
};

TEST_F(DownloadEndToEndTest, ReadInTheWindowFillsTheImageFromTheModule) {
    TransferSession& s = Connect();
    CountingBlocks blocks;
    s.Link().Dispatch().SetBlockReplyConsumer(&blocks);
    std::array<std::uint8_t, kParameterImageSize> image{};
    TFormDownload form(s, image);
    image.fill(0x99);  // bytes 960.. must come out zero whatever they held

    form.btReadClick();
    EXPECT_THAT(std::span(image).first(kModuleMemorySize), ElementsAreArray(std::span(fileBytes).first(kModuleMemorySize)));
    EXPECT_THAT(std::span(image).subspan(kModuleMemorySize), Each(0));
    EXPECT_EQ(form.BarPosition(), 15);
    EXPECT_EQ(form.Colour(), BarColour::Green);
    EXPECT_EQ(blocks.count, 15);  // every block passes the version query's check too
    s.Link().Dispatch().SetBlockReplyConsumer(nullptr);
}

TEST_F(DownloadEndToEndTest, WriteThenReadAndCompareRoundTrip) {
    TransferSession& s = Connect();
    auto& image = s.Image();
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(255 - i % 251);
    const auto written = image;

    EXPECT_EQ(s.Engine().Write().outcome, TransferOutcome::Completed);
    EXPECT_EQ(s.Engine().Compare().outcome, TransferOutcome::Completed);
    EXPECT_EQ(s.Engine().BarPosition(), 15);
    EXPECT_EQ(s.Engine().Colour(), BarColour::Green);
    image.fill(0x42);
    EXPECT_EQ(s.Engine().Read().outcome, TransferOutcome::Completed);
    EXPECT_THAT(std::span(image).first(kModuleMemorySize), ElementsAreArray(std::span(written).first(kModuleMemorySize)));
    const std::vector<std::uint8_t> stored = MemoryFileBytes();
    ASSERT_EQ(stored.size(), kParameterImageSize);
    EXPECT_THAT(std::span(stored).first(kModuleMemorySize), ElementsAreArray(std::span(written).first(kModuleMemorySize)));
}

TEST_F(DownloadEndToEndTest, CompareWithADifferenceInBlockThreeTurnsRedAtFour) {
    TransferSession& s = Connect();
    ASSERT_TRUE(s.Engine().Read().Succeeded());
    s.Image()[kParameterImageSize - 1] = 0x5C;  // edited since the read
    const auto before = s.Image();
    s.Engine().ModuleCopy()[3 * kBlockSize + 63] ^= 0x80;
    const TransferResult r = s.Engine().Compare();
    EXPECT_EQ(r.outcome, TransferOutcome::Different);
    EXPECT_EQ(r.firstDifferentBlock, 3);
    EXPECT_EQ(r.blocksDone, 15);
    EXPECT_EQ(s.Engine().Colour(), BarColour::Red);
    EXPECT_EQ(s.Image(), before);  // a compare only checks
}

// The window's compare against the simulator names what another writer changed in the editor's
// words, the setting a person knows, not the memory map's.
TEST_F(DownloadEndToEndTest, CompareInTheWindowNamesTheChangedSettingsByTheirCaptions) {
    TransferSession& s = Connect();
    ParameterImage image;
    TFormDownload form(s, ImageBytes(image.data(), kParameterImageSize));
    form.btWriteClick();
    ASSERT_EQ(form.Colour(), BarColour::Green);

    ParameterImage other = image;
    ASSERT_EQ(SetFieldValue(other, "CallMax", "12"), std::nullopt);
    ASSERT_EQ(SetFieldValue(other, "BELLPhnrEnabled2", "301234567"), std::nullopt);
    std::copy(other.begin(), other.end(), s.Image().begin());
    ASSERT_EQ(s.Engine().Write().outcome, TransferOutcome::Completed);

    form.btCompareClick();
    EXPECT_EQ(form.Colour(), BarColour::Red);
    const auto* label = form.findChild<QLabel*>(QStringLiteral("lbDifferences"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->accessibleDescription().toStdString(),
              "Eltérő beállítások: Bejövő hívás idejének korlátozása (0-25 perc), "
              "2. Engedélyezett hívószám (Bell 103)");
    EXPECT_TRUE(label->text().startsWith(QString::fromUtf8("Eltér: Bejöv"))) << label->text().toStdString();
}

struct FaultCase {
    const char* name;
    QStringList options;
    TransferResult (TransferEngine::*run)();
    TransferOutcome outcome;
    int failedBlock;
    int position;
    BarColour colour;
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class DownloadFaultTest : public DownloadEndToEndTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(DownloadFaultTest, EndsAtTheBlockWithTheBarAsExpected) {
    const FaultCase& c = GetParam();
    TransferSession& s = Connect(c.options);
    s.Engine().ModuleCopy().fill(0x3E);
    if (c.run == &TransferEngine::Compare)
        std::copy_n(fileBytes.begin(), kModuleMemorySize, s.Engine().ModuleCopy().begin());  // equal so far
    s.Image().fill(0x17);

    const TransferResult r = (s.Engine().*c.run)();
    EXPECT_EQ(r.outcome, c.outcome);
    EXPECT_EQ(r.failedBlock, c.failedBlock);
    EXPECT_EQ(s.Engine().BarPosition(), c.position);
    EXPECT_EQ(s.Engine().Colour(), c.colour);
    EXPECT_THAT(s.Image(), Each(0x17));  // no failed transfer touches the user's image
    if (c.run == &TransferEngine::Read) {
        EXPECT_THAT(std::span(s.Engine().ModuleCopy()).subspan(static_cast<std::size_t>(c.failedBlock) * kBlockSize),
                    Each(0x3E));
    }
}

const QString kSilent = QStringLiteral("--silent-from-block");
const QString kNoAck = QStringLiteral("--no-ack-from-block");

INSTANTIATE_TEST_SUITE_P(
    Faults, DownloadFaultTest,
    ::testing::Values(
        FaultCase{"SilentAtBlock0", {kSilent, "0"}, &TransferEngine::Read, TransferOutcome::NoAnswer, 0, 0, BarColour::Green},
        FaultCase{"SilentAtBlock9", {kSilent, "9"}, &TransferEngine::Read, TransferOutcome::NoAnswer, 9, 9, BarColour::Green},
        FaultCase{"NoAckAtBlock0", {kNoAck, "0"}, &TransferEngine::Write, TransferOutcome::NoAck, 0, 1, BarColour::Red},
        FaultCase{"NoAckAtBlock4", {kNoAck, "4"}, &TransferEngine::Write, TransferOutcome::NoAck, 4, 4, BarColour::Red},
        FaultCase{"WrongBlock2", {"--wrong-block", "2"}, &TransferEngine::Read, TransferOutcome::WrongBlock, 2, 2, BarColour::Green},
        FaultCase{"BadChecksum6", {"--bad-checksum-block", "6"}, &TransferEngine::Read, TransferOutcome::NoAnswer, 6, 6, BarColour::Green},
        FaultCase{"DroppedDataMessage7", {"--drop-data-message", "7:2"}, &TransferEngine::Read, TransferOutcome::NoAnswer, 7, 7, BarColour::Green},
        FaultCase{"CompareSilentAt5", {kSilent, "5"}, &TransferEngine::Compare, TransferOutcome::NoAnswer, 5, 5, BarColour::Green},
        FaultCase{"NoiseAndFlood", {"--noise", "--flood", "--texts", "demo"}, &TransferEngine::Write, TransferOutcome::Completed, -1, 15, BarColour::Green}),
    [](const ::testing::TestParamInfo<FaultCase>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace orbiqa
