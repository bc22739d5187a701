#pragma once
// Read, write and compare of the module's parameter memory, block by block. The engine owns
// ModuleCopy (what the module is taken to contain) and works on the caller's 1088-byte image.
// It never repeats a request and reports its progress only through the bar position and
// colour; the caller supplies the wait, so the window, the command line and the tests share it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "link/ModuleMessage.h"
#include "params/EEAddr.h"
#include "transfer/ModuleChannel.h"

namespace orbiqa {

inline constexpr std::size_t kParameterImageSize = EEAddr::ImageSize;
inline constexpr std::size_t kModuleBlockCount = EEAddr::BlockCount;
inline constexpr std::size_t kModuleMemorySize = EEAddr::ModuleMemorySize;
static_assert(kBlockSize == EEAddr::BlockSize, "the link moves the memory map's blocks");

/// Waits in ticks of 100 ms: 50 for a block-read answer, 80 for a write acknowledgement.
inline constexpr int kReadReplyTicks = 50;
inline constexpr int kWriteAckTicks = 80;
inline constexpr int kWaitTickMs = 100;

/// The bar shows 0..12 while 15 blocks move, so positions 12 to 15 all look full.
inline constexpr int kProgressMaximum = 12;

inline constexpr std::size_t kWriteDataMessages = 6;
inline constexpr std::size_t kPayloadSize = 13;
inline constexpr std::size_t kCommandArguments = 5;

using ImageBytes = std::span<std::uint8_t, kParameterImageSize>;
using ModuleCopyBytes = std::array<std::uint8_t, kModuleMemorySize>;
using WritePayload = std::array<std::uint8_t, kPayloadSize>;

/// Tells a wait to give up early: true once nothing can answer any more (the device is lost).
using WaitAbandoned = std::function<bool()>;

/// Blocks until the flag is non-zero, the ticks have run out, or abandoned() turns true;
/// received characters must keep being handled meanwhile, since that is what sets the flag and
/// reports a lost device. The caller tests the flag after.
using WaitForFlagFunction = std::function<void(const std::uint8_t& flag, int ticks, const WaitAbandoned& abandoned)>;

enum class BarColour { Green, Red };

struct BarRgb {
    int red, green, blue;
};
inline constexpr BarRgb kBarGreen{0, 128, 0};
inline constexpr BarRgb kBarRed{255, 0, 0};
constexpr BarRgb RgbOf(BarColour c) { return c == BarColour::Green ? kBarGreen : kBarRed; }

/// How a transfer shows itself. Every member has an empty default.
class TransferObserver {
public:
    virtual ~TransferObserver() = default;
    /// The port was closed: nothing else happened (the window shows " Nincs soros kapcsolat.").
    virtual void NotConnected() {}
    /// A transfer starts (DisableButtons).
    virtual void TransferStarted() {}
    /// The transfer has ended, also when a send error is leaving it early (EnableButtons).
    /// Must not throw.
    virtual void TransferFinished() noexcept {}
    /// Blocks done; may exceed kProgressMaximum.
    virtual void BarPositionChanged(int /*position*/) {}
    virtual void BarColourChanged(BarColour /*colour*/) {}
    /// Compare: the 64 bytes the module sent for a block, before they are held against
    /// ModuleCopy (what tells which settings differ).
    virtual void BlockCompared(int /*block*/, const std::uint8_t* /*moduleBlock*/) {}
};

enum class TransferOutcome {
    NotConnected,  // nothing was sent
    Completed,     // all 15 blocks read, written, or found equal
    NoAnswer,      // no valid answer for failedBlock within the wait
    WrongBlock,    // the answer for failedBlock announced another block
    NoAck,         // no acknowledgement for failedBlock within the wait
    Different,     // compare: every block answered, firstDifferentBlock is the first to differ
    DeviceLost,    // the device went away while failedBlock was awaited; the wait ended at once
};

struct TransferResult {
    TransferOutcome outcome = TransferOutcome::NotConnected;
    int failedBlock = -1;           // where a transfer stopped early
    int firstDifferentBlock = -1;   // compare: first block unlike ModuleCopy, also when it stopped later
    int blocksDone = 0;             // blocks read, acknowledged or compared

    bool Succeeded() const { return outcome == TransferOutcome::Completed; }
};

class TransferEngine {
public:
    /// The image and channel must outlive the engine. ModuleCopy starts all zeros.
    TransferEngine(ModuleChannel& channel, ImageBytes image, WaitForFlagFunction waitForFlag);
    TransferEngine(const TransferEngine&) = delete;
    TransferEngine& operator=(const TransferEngine&) = delete;

    void SetObserver(TransferObserver* observer) { observer_ = observer; }

    /// Reads blocks 0..14 into ModuleCopy and, only when all arrived, sets the image to them:
    /// bytes 0..959 from the module, 960..1087 zero. A read that fails leaves the image exactly
    /// as it was. EComPort from a send propagates (TransferFinished still runs).
    TransferResult Read();
    /// Copies image bytes 0..959 into ModuleCopy and writes them block by block, each waiting
    /// for its acknowledgement. A failure turns the bar red at max(position, 1).
    TransferResult Write();
    /// Compares each block the module sends with ModuleCopy, going on past differences. It only
    /// checks: the image is never changed, whatever the outcome.
    TransferResult Compare();

    ModuleCopyBytes& ModuleCopy() { return moduleCopy_; }
    const ModuleCopyBytes& ModuleCopy() const { return moduleCopy_; }

    int BarPosition() const { return barPosition_; }
    BarColour Colour() const { return barColour_; }

private:
    enum class BlockAnswer { Arrived, Missing, OtherBlock, Lost };

    void Wait(const std::uint8_t& flag, int ticks);
    static TransferOutcome FailureOf(BlockAnswer answer);

    bool BeginTransfer();
    BlockAnswer RequestBlock(int block);
    bool WriteBlock(int block);
    void SetBarPosition(int position);
    void SetBarColour(BarColour colour);

    ModuleChannel& channel_;
    ImageBytes image_;
    WaitForFlagFunction waitForFlag_;
    TransferObserver* observer_ = nullptr;
    ModuleCopyBytes moduleCopy_{};
    int barPosition_ = 0;
    BarColour barColour_ = BarColour::Green;
};

/// Arguments a0..a4 of the block read request and of the write header: 0, 0, 0, block, 64.
std::array<std::uint8_t, kCommandArguments> BlockCommandArguments(int block);

/// The six data messages' payloads (message bytes 2..14) for writing one 64-byte block. The
/// last carries bytes 60..63 and the checksum; its final byte is not rewritten, so it repeats
/// the fifth message's (block byte 59), exactly as modules in the field have always received it.
std::array<WritePayload, kWriteDataMessages> BuildWriteDataPayloads(const std::uint8_t* block);

}  // namespace orbiqa
