#pragma once
// An in-memory module behind the ModuleChannel interface. Its answers are real ModuleMessages
// run through the real Dispatcher, so checksums and block numbers are checked as on the line.
// Answers wait in a queue until Deliver(), which the tests call from their wait.
#include <algorithm>
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "link/BlockChecksum.h"
#include "link/Dispatcher.h"
#include "link/EComPort.h"
#include "link/FrameCodec.h"
#include "transfer/TransferEngine.h"

namespace orbiqa::test {

class FakeModule final : public ModuleChannel {
public:
    // Faults, each off at -1.
    int silentFromBlock = -1;   // read requests for this block and later go unanswered
    int noAckFromBlock = -1;    // writes of this block and later are not acknowledged
    int wrongBlock = -1;        // the answer for this block announces the next one
    int badChecksumBlock = -1;  // the answer for this block carries a checksum off by one
    int failOnSend = -1;        // the send with this index (0-based) raises EComPort
    int loseDeviceOnRequestOfBlock = -1;  // the device goes away with this block's request

    bool lost = false;
    int abandonedWaits = 0;  // waits that ended because the wait was told to give up

    bool connected = true;
    std::array<std::uint8_t, kModuleMemorySize> memory{};
    std::vector<ModuleMessage> sent;  // every message as built, in order
    std::vector<int> waits;           // ticks of every wait
    std::function<void()> onSend;     // lets a Qt test schedule Deliver()

    bool Connected() const override { return connected; }
    bool DeviceLost() const override { return lost; }

    void SendCommand(std::uint8_t command, const std::uint8_t* arguments) override {
        Record(BuildCommandMessage(command, sequence_++, arguments));
        const int block = arguments[3];
        if (block == loseDeviceOnRequestOfBlock) lost = true;
        if (lost) return;
        if (command == kCmdReadBlock) QueueReadAnswer(block);
        if (command == kCmdWriteHeader) {
            writeBlock_ = block;
            writeData_.clear();
        }
    }

    void SendPayload(std::uint8_t command, const std::uint8_t* payload) override {
        Record(BuildPayloadMessage(command, payload));
        if (lost || command != kCmdWriteData || writeBlock_ < 0) return;
        writeData_.insert(writeData_.end(), payload, payload + kPayloadSize);
        if (payload[0] == kWriteDataMessages - 1) AcceptWrite();
    }

    ReplyState& Reply() override { return reply_; }

    /// Hands every queued answer to the dispatcher.
    void Deliver() {
        while (!queue_.empty()) {
            dispatcher_.Dispatch(queue_.front());
            queue_.pop_front();
        }
    }

    /// The engine's wait: answers arrive during it.
    WaitForFlagFunction Wait() {
        return [this](const std::uint8_t&, int ticks, const WaitAbandoned& abandoned) {
            waits.push_back(ticks);
            if (abandoned && abandoned()) ++abandonedWaits;
            Deliver();
        };
    }

    int readRequests() const { return Count(kCmdReadBlock); }
    int writeHeaders() const { return Count(kCmdWriteHeader); }

private:
    void Record(const ModuleMessage& m) {
        const int index = static_cast<int>(sent.size());
        sent.push_back(m);
        if (index == failOnSend) throw EComPort(CError_WriteFailed, 5);
        if (onSend) onSend();
    }

    int Count(std::uint8_t command) const {
        return static_cast<int>(std::count_if(sent.begin(), sent.end(), [&](const ModuleMessage& m) { return m[1] == command; }));
    }

    static ModuleMessage Message(std::uint8_t type) {
        ModuleMessage m{};
        m[0] = kMessageOpen;
        m[1] = type;
        m[15] = kMessageClose;
        return m;
    }

    void QueueReadAnswer(int block) {
        if (silentFromBlock >= 0 && block >= silentFromBlock) return;
        if (block < 0 || block >= static_cast<int>(kModuleBlockCount)) return;
        ModuleMessage header = Message(kTypeReplyHeader);
        header[13] = static_cast<std::uint8_t>(block == wrongBlock ? block + 1 : block);
        queue_.push_back(header);
        const std::uint8_t* data = memory.data() + block * kBlockSize;
        for (std::uint8_t p = 0; p < 6; ++p) {
            ModuleMessage m = Message(kTypeReplyData);
            m[2] = p;
            const std::size_t count = p < 5 ? 12 : 4;
            std::copy_n(data + p * 12, count, m.begin() + 3);
            if (p == 5) {
                const std::uint32_t sum = BlockChecksum(data) + (block == badChecksumBlock ? 1 : 0);
                m[7] = static_cast<std::uint8_t>(sum >> 24);
                m[8] = static_cast<std::uint8_t>(sum >> 16);
                m[9] = static_cast<std::uint8_t>(sum >> 8);
                m[10] = static_cast<std::uint8_t>(sum);
            }
            queue_.push_back(m);
        }
    }

    void AcceptWrite() {
        std::array<std::uint8_t, kBlockSize> block{};
        for (std::size_t p = 0; p < 6; ++p)
            std::copy_n(writeData_.begin() + p * kPayloadSize + 1, p < 5 ? 12 : 4, block.begin() + p * 12);
        const std::uint8_t* last = writeData_.data() + 5 * kPayloadSize;
        const std::uint32_t sum = (std::uint32_t{last[5]} << 24) | (std::uint32_t{last[6]} << 16) |
                                  (std::uint32_t{last[7]} << 8) | last[8];
        const int written = writeBlock_;
        writeBlock_ = -1;
        if (sum != BlockChecksum(block.data())) return;
        if (noAckFromBlock >= 0 && written >= noAckFromBlock) return;
        std::copy(block.begin(), block.end(), memory.begin() + written * kBlockSize);
        ModuleMessage ack = Message(kTypeWriteAck);
        ack[14] = kWriteAckMark;
        queue_.push_back(ack);
    }

    ReplyState reply_;
    Dispatcher dispatcher_{reply_};
    std::deque<ModuleMessage> queue_;
    std::uint8_t sequence_ = 0;
    int writeBlock_ = -1;
    std::vector<std::uint8_t> writeData_;
};

}  // namespace orbiqa::test
