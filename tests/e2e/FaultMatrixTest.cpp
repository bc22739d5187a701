// The fault matrix: read, write and compare through the program's real link (POSIX serial
// device, Qt hand-over pump, Qt waiter, frame codec, dispatcher, transfer engine) against
// orbiqa-modsim with one injected fault per row. Every row checks the outcome the engineer sees
// (bar position and colour), what became of the image, ModuleCopy and the module's memory, that
// the row ended in bounded time, and that the process did not spin while it waited.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <thread>
#include <fstream>
#include <iterator>
#include <span>

#include "ModsimSession.h"
#include "support/PrivateSettingsFolder.h"
#include "link/EComPort.h"

namespace orbiqa {
namespace {

using bench::TransferSession;
using bench::ModsimProcess;
using ::testing::Each;
using ::testing::ElementsAreArray;

// Failed waits run out in 10 ms ticks instead of 100 ms, except in the rows about the 5 s wait.
constexpr int kQuickTickMs = 10;
constexpr std::size_t kReplyBytes = 7 * kSecureFrameSize;  // header and six data messages
constexpr std::uint8_t kUntouched = 0x3E;                  // ModuleCopy before a row
constexpr std::uint8_t kUserImage = 0x17;                  // the image before a row: unsaved work

using Bytes = std::span<const std::uint8_t>;
Bytes Blocks(Bytes all, std::size_t from, std::size_t to) { return all.subspan(from * kBlockSize, (to - from) * kBlockSize); }

/// Wall and process CPU time (all threads) over one row.
class RowClock {
public:
    RowClock() : wall_(std::chrono::steady_clock::now()), cpu_(CpuSeconds()) {}
    double Wall() const { return std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_).count(); }
    double Cpu() const { return CpuSeconds() - cpu_; }

private:
    static double CpuSeconds() {
        rusage u{};
        getrusage(RUSAGE_SELF, &u);
        return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
               static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    }
    std::chrono::steady_clock::time_point wall_;
    double cpu_;
};

/// Everything the dispatcher hands out, counted.
struct Consumers final : TextConsumer, StatusConsumer, BlockReplyConsumer {
    void AppendLogText(LogPane, const std::string&, bool) override { ++texts; }
    void ModuleStatusReceived(const std::array<std::uint8_t, 4>&) override { ++statuses; }
    void BlockReplyCompleted() override { ++blocks; }
    int texts = 0, statuses = 0, blocks = 0;
};

/// Records what the window would show, and can hold the transfer at a bar position.
struct Observer final : TransferObserver {
    void TransferFinished() noexcept override { ++finished; }
    void BarPositionChanged(int position) override {
        if (position == holdAt && hold) hold();
    }
    int finished = 0;
    int holdAt = -1;
    std::function<void()> hold;
};

class FaultMatrixTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { config.emplace(); }
    static void TearDownTestSuite() { config.reset(); }

    void SetUp() override {
        if (!QFile::exists(bench::ModsimProgram())) GTEST_SKIP() << "orbiqa-modsim not built";
        for (std::size_t i = 0; i < moduleBytes.size(); ++i) moduleBytes[i] = static_cast<std::uint8_t>(i * 11 + 5);
        for (std::size_t i = 0; i < newBytes.size(); ++i) newBytes[i] = static_cast<std::uint8_t>(255 - i % 251);
        memoryFile = files.filePath(QStringLiteral("module.VR3"));
        std::ofstream(memoryFile.toStdString(), std::ios::binary)
            .write(reinterpret_cast<const char*>(moduleBytes.data()), static_cast<std::streamsize>(moduleBytes.size()));
    }

    void TearDown() override {
        if (!session) return;
        // Closing must never hang, also after the device went away.
        const RowClock close;
        session->Link().ComPort1().SetConnected(false);
        EXPECT_FALSE(session->Link().ComPort1().Connected());
        EXPECT_LT(close.Wall(), 2.0);
        session.reset();
    }

    TransferSession& Connect(QStringList options, int tickMs = kQuickTickMs) {
        options << QStringLiteral("--memory") << memoryFile;
        if (!options.contains(QStringLiteral("--texts"))) options << QStringLiteral("--texts") << QStringLiteral("off");
        session = std::make_unique<TransferSession>(sim.Start(options), tickMs);
        Link().Dispatch().SetTextConsumer(&seen);
        Link().Dispatch().SetStatusConsumer(&seen);
        Link().Dispatch().SetBlockReplyConsumer(&seen);
        Link().ComPort1().OnDeviceLost = [this](TComPort&) { ++devicesLost; };
        Engine().SetObserver(&observer);
        Engine().ModuleCopy().fill(kUntouched);
        session->Image().fill(kUserImage);
        return *session;
    }
    ModuleLink& Link() { return session->Link(); }
    TransferEngine& Engine() { return session->Engine(); }
    Bytes Image() { return session->Image(); }
    Bytes Copy() { return Engine().ModuleCopy(); }

    std::vector<std::uint8_t> MemoryFileBytes() const {
        std::ifstream in(memoryFile.toStdString(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    /// Runs events until the condition holds or the time is up, sleeping between events (the
    /// timed overload of processEvents returns at once when nothing is pending, which would spin
    /// and spoil the CPU figures).
    static bool ProcessEventsUntil(const std::function<bool()>& done, int ms) {
        const QDeadlineTimer deadline(ms);
        QTimer wake;
        wake.start(10);
        while (!done() && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return done();
    }

    /// The row took no longer than expected and slept while it waited.
    static void ExpectCalm(const RowClock& row, double maxWallSeconds) {
        ::testing::Test::RecordProperty("wall_ms", static_cast<int>(row.Wall() * 1000));
        ::testing::Test::RecordProperty("cpu_ms", static_cast<int>(row.Cpu() * 1000));
        EXPECT_LT(row.Wall(), maxWallSeconds) << "the row hung";
        EXPECT_LT(row.Cpu(), 0.5 * row.Wall() + 0.05) << "busy while waiting: " << row.Cpu() << " s CPU in " << row.Wall() << " s";
    }

    /// A read that stopped at `block`: the image as it was, ModuleCopy holds the blocks before it.
    void ExpectReadStoppedAt(const TransferResult& r, TransferOutcome outcome, int block) {
        EXPECT_EQ(r.outcome, outcome);
        EXPECT_EQ(r.failedBlock, block);
        EXPECT_EQ(Engine().BarPosition(), block);
        EXPECT_EQ(Engine().Colour(), BarColour::Green);
        EXPECT_THAT(Image(), Each(kUserImage));
        const auto n = static_cast<std::size_t>(block);
        EXPECT_THAT(Blocks(Copy(), 0, n), ElementsAreArray(Blocks(moduleBytes, 0, n)));
        EXPECT_THAT(Blocks(Copy(), n, kModuleBlockCount), Each(kUntouched));
    }

    /// The module's memory file: blocks before `block` written, the rest as they were.
    void ExpectModuleWrittenUpTo(std::size_t block) {
        const std::vector<std::uint8_t> stored = MemoryFileBytes();
        ASSERT_EQ(stored.size(), kParameterImageSize);
        EXPECT_THAT(Blocks(stored, 0, block), ElementsAreArray(Blocks(newBytes, 0, block)));
        EXPECT_THAT(std::span(stored).subspan(block * kBlockSize), ElementsAreArray(std::span(moduleBytes).subspan(block * kBlockSize)));
    }

    void StartWrite() { std::copy(newBytes.begin(), newBytes.end(), session->Image().begin()); }

    static inline std::optional<testsupport::PrivateSettingsFolder> config;
    QTemporaryDir files;
    QString memoryFile;
    std::array<std::uint8_t, kParameterImageSize> moduleBytes{};
    std::array<std::uint8_t, kParameterImageSize> newBytes{};
    Consumers seen;
    Observer observer;
    int devicesLost = 0;
    ModsimProcess sim;
    std::unique_ptr<TransferSession> session;  // after sim: closed before the simulator ends
};

const QString kFast = QStringLiteral("--fast");

// ---- The module stops answering ----------------------------------------------------------

TEST_F(FaultMatrixTest, SilenceFromBlockFiveEndsTheReadThereWithTheImageUnchanged) {
    Connect({kFast, "--silent-from-block", "5"});
    const RowClock row;
    ExpectReadStoppedAt(Engine().Read(), TransferOutcome::NoAnswer, 5);
    ExpectCalm(row, 3.0);
    EXPECT_EQ(observer.finished, 1);
}

TEST_F(FaultMatrixTest, SilenceFromBlockThreeDuringAWriteTurnsRedAndStoresNothingMore) {
    Connect({kFast, "--silent-from-block", "3"});
    StartWrite();
    const RowClock row;
    const TransferResult r = Engine().Write();
    EXPECT_EQ(r.outcome, TransferOutcome::NoAck);
    EXPECT_EQ(r.failedBlock, 3);
    EXPECT_EQ(Engine().BarPosition(), 3);
    EXPECT_EQ(Engine().Colour(), BarColour::Red);
    EXPECT_THAT(Copy(), ElementsAreArray(Blocks(newBytes, 0, kModuleBlockCount)));
    EXPECT_THAT(Image(), ElementsAreArray(newBytes));  // a write never changes the image
    ExpectModuleWrittenUpTo(3);
    ExpectCalm(row, 3.0);
}

TEST_F(FaultMatrixTest, NoAcknowledgementForTheLastBlockTurnsRedAtFourteen) {
    Connect({kFast, "--no-ack-from-block", "14"});
    StartWrite();
    const RowClock row;
    const TransferResult r = Engine().Write();
    EXPECT_EQ(r.outcome, TransferOutcome::NoAck);
    EXPECT_EQ(r.failedBlock, 14);
    EXPECT_EQ(Engine().BarPosition(), 14);
    EXPECT_EQ(Engine().Colour(), BarColour::Red);
    ExpectModuleWrittenUpTo(15);  // the module stored block 14, it only did not say so
    ExpectCalm(row, 3.0);
}

// ---- Damaged replies ---------------------------------------------------------------------

TEST_F(FaultMatrixTest, AWrongChecksumIsDroppedAndEndsTheReadAsNoAnswer) {
    Connect({kFast, "--bad-checksum-block", "4"});
    const RowClock row;
    ExpectReadStoppedAt(Engine().Read(), TransferOutcome::NoAnswer, 4);
    EXPECT_EQ(seen.blocks, 4);  // the damaged block never completed
    ExpectCalm(row, 3.0);
}

TEST_F(FaultMatrixTest, ADroppedLastDataMessageAbandonsTheReply) {
    Connect({kFast, "--drop-data-message", "7:5"});
    const RowClock row;
    ExpectReadStoppedAt(Engine().Read(), TransferOutcome::NoAnswer, 7);
    ExpectCalm(row, 3.0);
}

TEST_F(FaultMatrixTest, AWrongBlockInACompareStopsWithoutTurningRed) {
    Connect({kFast, "--wrong-block", "2"});
    std::copy_n(moduleBytes.begin(), kModuleMemorySize, Engine().ModuleCopy().begin());  // equal so far
    const RowClock row;
    const TransferResult r = Engine().Compare();
    EXPECT_EQ(r.outcome, TransferOutcome::WrongBlock);
    EXPECT_EQ(r.failedBlock, 2);
    EXPECT_EQ(r.firstDifferentBlock, -1);
    EXPECT_EQ(Engine().BarPosition(), 2);
    EXPECT_EQ(Engine().Colour(), BarColour::Green);
    EXPECT_THAT(Image(), Each(kUserImage));  // a compare never changes the image
    EXPECT_THAT(Copy(), ElementsAreArray(Blocks(moduleBytes, 0, kModuleBlockCount)));  // a compare only reads it
    ExpectCalm(row, 3.0);
}

TEST_F(FaultMatrixTest, FramesUnderAnotherKeyAreNeverDispatched) {
    Connect({kFast, "--wrong-key", "--texts", "demo", "--text-interval", "50"});
    const RowClock row;
    ExpectReadStoppedAt(Engine().Read(), TransferOutcome::NoAnswer, 0);
    EXPECT_EQ(seen.texts + seen.statuses + seen.blocks, 0);
    EXPECT_EQ(Link().LastMessage(), ModuleMessage{});
    ExpectCalm(row, 3.0);
}

// ---- Busy lines --------------------------------------------------------------------------

TEST_F(FaultMatrixTest, NoiseBetweenFramesLosesNothing) {
    Connect({kFast, "--noise"});
    StartWrite();
    const RowClock row;
    EXPECT_EQ(Engine().Write().outcome, TransferOutcome::Completed);
    EXPECT_EQ(Engine().Compare().outcome, TransferOutcome::Completed);
    EXPECT_EQ(Engine().Read().outcome, TransferOutcome::Completed);
    EXPECT_THAT(Blocks(Image(), 0, kModuleBlockCount), ElementsAreArray(Blocks(newBytes, 0, kModuleBlockCount)));
    EXPECT_EQ(Engine().BarPosition(), 15);
    EXPECT_EQ(Engine().Colour(), BarColour::Green);
    ExpectCalm(row, 5.0);
}

TEST_F(FaultMatrixTest, AFloodOfStatusAndTextsDuringTransfersLosesNothing) {
    // At the line's own speed a transfer lasts about a second, so the flood (a message every
    // 20 ms) and the texts really fall between the reply frames. Together they fill the line, and
    // answers queue behind them: the program's own 5 s waits apply.
    Connect({"--flood", "--texts", "demo", "--text-interval", "200"}, kWaitTickMs);
    StartWrite();
    const RowClock row;
    EXPECT_EQ(Engine().Write().outcome, TransferOutcome::Completed);
    const TransferResult read = Engine().Read();
    EXPECT_EQ(read.outcome, TransferOutcome::Completed) << "stopped at block " << read.failedBlock;
    EXPECT_THAT(Blocks(Image(), 0, kModuleBlockCount), ElementsAreArray(Blocks(newBytes, 0, kModuleBlockCount)));
    EXPECT_THAT(std::span(Image()).subspan(kModuleMemorySize), Each(0));
    ExpectModuleWrittenUpTo(15);
    EXPECT_GT(seen.statuses, 20);
    EXPECT_GT(seen.texts, 10);
    ExpectCalm(row, 6.0);
}

// ---- The device goes away ----------------------------------------------------------------

TEST_F(FaultMatrixTest, HangUpDuringAReadEndsItAtOnceAsALostDeviceAndReportsTheLossOnce) {
    // The line dies in the middle of block 3's reply. The 5 s ticks show that the wait ends when
    // the loss is reported, not when it runs out.
    Connect({kFast, "--hangup-after", QString::number(3 * kReplyBytes + 50)}, kWaitTickMs);
    const RowClock row;
    ExpectReadStoppedAt(Engine().Read(), TransferOutcome::DeviceLost, 3);
    EXPECT_LT(row.Wall(), 2.0);
    EXPECT_TRUE(Link().ComPort1().DeviceLost());
    QCoreApplication::processEvents();
    EXPECT_EQ(devicesLost, 1);
    // The event thread reports the loss first and then ends: on a loaded machine the end may
    // come a moment after the report has been handled.
    for (int i = 0; i < 500 && Link().ComPort1().EventThreadRunning(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(Link().ComPort1().EventThreadRunning());
    ExpectCalm(row, 4.0);
}

TEST_F(FaultMatrixTest, HangUpDuringAWriteRaisesTheSendErrorAndKeepsWhatWasWritten) {
    // The module hangs up after acknowledging block 3; the transfer is held there until the
    // loss has been reported, so the send of block 4 meets a device that is gone.
    Connect({kFast, "--hangup-after", QString::number(4 * kSecureFrameSize)});
    observer.holdAt = 4;
    observer.hold = [&] { ProcessEventsUntil([&] { return devicesLost > 0; }, 3000); };
    StartWrite();
    const RowClock row;
    try {
        Engine().Write();
        ADD_FAILURE() << "the write went on after the hang-up";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.ErrorCode(), CError_WriteFailed);
    }
    EXPECT_EQ(devicesLost, 1);
    EXPECT_EQ(observer.finished, 1);  // the window gets its buttons back
    EXPECT_EQ(Engine().BarPosition(), 4);
    EXPECT_EQ(Engine().Colour(), BarColour::Green);
    EXPECT_THAT(Image(), ElementsAreArray(newBytes));
    ExpectModuleWrittenUpTo(4);
    ExpectCalm(row, 4.0);
}

// ---- The 5 s wait, with the program's own 100 ms ticks ----------------------------------

/// Returns just after a tick of the waiter's timer, so that a wait started now lasts its full
/// 50 ticks rather than 49 and a part.
void AlignToTick(QTimer& timer) {
    QEventLoop loop;
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    loop.exec();
}

TEST_F(FaultMatrixTest, AnAnswerAfterFourPointNineSecondsIsInsideTheWait) {
    // Block 0 comes late but in time; block 1 never comes, which ends the row after one wait.
    Connect({kFast, "--reply-delay", "4900", "--silent-from-block", "1"}, kWaitTickMs);
    AlignToTick(session->Waiter().Timer1());
    const RowClock row;
    const TransferResult r = Engine().Read();
    ExpectReadStoppedAt(r, TransferOutcome::NoAnswer, 1);
    EXPECT_EQ(r.blocksDone, 1);
    ExpectCalm(row, 11.0);
}

TEST_F(FaultMatrixTest, AnAnswerAfterFivePointOneSecondsIsTooLate) {
    Connect({kFast, "--reply-delay", "5100"}, kWaitTickMs);
    AlignToTick(session->Waiter().Timer1());
    const RowClock row;
    ExpectReadStoppedAt(Engine().Read(), TransferOutcome::NoAnswer, 0);
    EXPECT_GT(row.Wall(), 4.8);
    // The late answer arrives after the read gave up and changes nothing it left behind.
    EXPECT_TRUE(ProcessEventsUntil([&] { return seen.blocks == 1; }, 2000));
    EXPECT_THAT(Image(), Each(kUserImage));
    EXPECT_THAT(Copy(), Each(kUntouched));
    ExpectCalm(row, 8.0);
}

}  // namespace
}  // namespace orbiqa
