#include "transfer/TransferEngine.h"

#include <algorithm>

#include "link/BlockChecksum.h"

namespace orbiqa {

namespace {

constexpr std::uint8_t kBlockLength = static_cast<std::uint8_t>(kBlockSize);
constexpr std::size_t kBytesPerDataMessage = 12;
constexpr std::size_t kLastMessageDataBytes = kBlockSize - (kWriteDataMessages - 1) * kBytesPerDataMessage;  // 4

// Keeps EnableButtons promised however the transfer ends, a send error included.
class FinishGuard {
public:
    explicit FinishGuard(TransferObserver* observer) : observer_(observer) {}
    ~FinishGuard() {
        if (observer_) observer_->TransferFinished();
    }
    FinishGuard(const FinishGuard&) = delete;
    FinishGuard& operator=(const FinishGuard&) = delete;

private:
    TransferObserver* observer_;
};

std::uint8_t* BlockAt(std::uint8_t* base, int block) { return base + static_cast<std::size_t>(block) * kBlockSize; }

}  // namespace

std::array<std::uint8_t, kCommandArguments> BlockCommandArguments(int block) {
    return {0, 0, 0, static_cast<std::uint8_t>(block), kBlockLength};
}

std::array<WritePayload, kWriteDataMessages> BuildWriteDataPayloads(const std::uint8_t* block) {
    std::array<WritePayload, kWriteDataMessages> payloads{};
    for (std::size_t p = 0; p + 1 < kWriteDataMessages; ++p) {
        payloads[p][0] = static_cast<std::uint8_t>(p);
        std::copy_n(block + p * kBytesPerDataMessage, kBytesPerDataMessage, payloads[p].begin() + 1);
    }
    WritePayload& last = payloads[kWriteDataMessages - 1];
    last = payloads[kWriteDataMessages - 2];  // the byte not rewritten below carries over
    last[0] = static_cast<std::uint8_t>(kWriteDataMessages - 1);
    std::copy_n(block + (kWriteDataMessages - 1) * kBytesPerDataMessage, kLastMessageDataBytes, last.begin() + 1);
    const std::uint32_t sum = BlockChecksum(block);
    last[5] = static_cast<std::uint8_t>(sum >> 24);
    last[6] = static_cast<std::uint8_t>(sum >> 16);
    last[7] = static_cast<std::uint8_t>(sum >> 8);
    last[8] = static_cast<std::uint8_t>(sum);
    last[9] = last[10] = last[11] = 0;
    return payloads;
}

TransferEngine::TransferEngine(ModuleChannel& channel, ImageBytes image, WaitForFlagFunction waitForFlag)
    : channel_(channel), image_(image), waitForFlag_(std::move(waitForFlag)) {}

void TransferEngine::SetBarPosition(int position) {
    barPosition_ = position;
    if (observer_) observer_->BarPositionChanged(position);
}

void TransferEngine::SetBarColour(BarColour colour) {
    barColour_ = colour;
    if (observer_) observer_->BarColourChanged(colour);
}

bool TransferEngine::BeginTransfer() {
    if (!channel_.Connected()) {
        if (observer_) observer_->NotConnected();
        return false;
    }
    if (observer_) observer_->TransferStarted();
    SetBarPosition(0);
    SetBarColour(BarColour::Green);
    return true;
}

void TransferEngine::Wait(const std::uint8_t& flag, int ticks) {
    waitForFlag_(flag, ticks, [this] { return channel_.DeviceLost(); });
}

TransferOutcome TransferEngine::FailureOf(BlockAnswer answer) {
    switch (answer) {
    case BlockAnswer::OtherBlock:
        return TransferOutcome::WrongBlock;
    case BlockAnswer::Lost:
        return TransferOutcome::DeviceLost;
    default:
        return TransferOutcome::NoAnswer;
    }
}

TransferEngine::BlockAnswer TransferEngine::RequestBlock(int block) {
    ReplyState& reply = channel_.Reply();
    reply.ReadReplyReady = 0;
    const auto arguments = BlockCommandArguments(block);
    channel_.SendCommand(kCmdReadBlock, arguments.data());
    Wait(reply.ReadReplyReady, kReadReplyTicks);
    if (reply.ReadReplyReady == 0) return channel_.DeviceLost() ? BlockAnswer::Lost : BlockAnswer::Missing;
    if (reply.ReadReplyAddress != static_cast<std::size_t>(block) * kBlockSize) return BlockAnswer::OtherBlock;
    return BlockAnswer::Arrived;
}

TransferResult TransferEngine::Read() {
    TransferResult result;
    if (!BeginTransfer()) return result;
    FinishGuard guard(observer_);

    result.outcome = TransferOutcome::Completed;
    for (int n = 0; n < static_cast<int>(kModuleBlockCount); ++n) {
        const BlockAnswer answer = RequestBlock(n);
        if (answer != BlockAnswer::Arrived) {
            result.outcome = FailureOf(answer);
            result.failedBlock = n;
            break;
        }
        std::copy(channel_.Reply().ReadReplyBuffer.begin(), channel_.Reply().ReadReplyBuffer.end(),
                  BlockAt(moduleCopy_.data(), n));
        result.blocksDone = n + 1;
        SetBarPosition(n + 1);
    }
    // The image is the user's unsaved work: only a complete read may replace it, and a partial
    // one must not pass for the module's memory.
    if (result.Succeeded()) {
        std::copy(moduleCopy_.begin(), moduleCopy_.end(), image_.begin());
        std::fill(image_.begin() + kModuleMemorySize, image_.end(), 0);
    }
    return result;
}

bool TransferEngine::WriteBlock(int block) {
    const std::uint8_t* data = BlockAt(moduleCopy_.data(), block);
    const auto header = BlockCommandArguments(block);
    const auto payloads = BuildWriteDataPayloads(data);

    channel_.SendCommand(kCmdWriteHeader, header.data());
    for (std::size_t p = 0; p + 1 < kWriteDataMessages; ++p) channel_.SendPayload(kCmdWriteData, payloads[p].data());
    ReplyState& reply = channel_.Reply();
    reply.WriteAckReceived = 0;
    channel_.SendPayload(kCmdWriteData, payloads[kWriteDataMessages - 1].data());
    Wait(reply.WriteAckReceived, kWriteAckTicks);
    return reply.WriteAckReceived != 0;
}

TransferResult TransferEngine::Write() {
    TransferResult result;
    if (!BeginTransfer()) return result;
    FinishGuard guard(observer_);

    std::copy_n(image_.begin(), kModuleMemorySize, moduleCopy_.begin());
    result.outcome = TransferOutcome::Completed;
    for (int n = 0; n < static_cast<int>(kModuleBlockCount); ++n) {
        if (!WriteBlock(n)) {
            result.outcome = channel_.DeviceLost() ? TransferOutcome::DeviceLost : TransferOutcome::NoAck;
            result.failedBlock = n;
            // A failure at block 0 must still show: an empty bar would not be seen as red.
            if (barPosition_ == 0) SetBarPosition(1);
            SetBarColour(BarColour::Red);
            break;
        }
        result.blocksDone = n + 1;
        SetBarPosition(n + 1);
    }
    return result;
}

TransferResult TransferEngine::Compare() {
    TransferResult result;
    if (!BeginTransfer()) return result;
    FinishGuard guard(observer_);

    bool equal = true;
    result.outcome = TransferOutcome::Completed;
    for (int n = 0; n < static_cast<int>(kModuleBlockCount); ++n) {
        const BlockAnswer answer = RequestBlock(n);
        if (answer != BlockAnswer::Arrived) {
            // Stopping is not a difference seen: the bar keeps its colour.
            result.outcome = FailureOf(answer);
            result.failedBlock = n;
            break;
        }
        const auto& buffer = channel_.Reply().ReadReplyBuffer;
        if (observer_) observer_->BlockCompared(n, buffer.data());
        if (!std::equal(buffer.begin(), buffer.end(), BlockAt(moduleCopy_.data(), n))) {
            equal = false;
            if (result.firstDifferentBlock < 0) result.firstDifferentBlock = n;
        }
        result.blocksDone = n + 1;
        SetBarPosition(n + 1);
        if (!equal) SetBarColour(BarColour::Red);
    }
    if (result.outcome == TransferOutcome::Completed && result.firstDifferentBlock >= 0)
        result.outcome = TransferOutcome::Different;
    return result;
}

}  // namespace orbiqa
