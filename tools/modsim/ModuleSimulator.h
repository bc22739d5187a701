#pragma once
// The module's side of the protocol, without any I/O: it takes received bytes at the moment
// they arrived, answers status polls, block reads and block writes, plays its texts, and puts
// every answer on the line transmitter. Faults from the options are applied here.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "LineTiming.h"
#include "LineTransmitter.h"
#include "ModuleMemory.h"
#include "Options.h"
#include "link/AesCipher.h"
#include "link/FrameCodec.h"

namespace orbiqa::modsim {

class ModuleSimulator {
public:
    using LogFn = std::function<void(const std::string&)>;
    /// Called after a write to a block has been stored.
    using StoredFn = std::function<void(std::size_t block)>;

    ModuleSimulator(const Options& options, ModuleMemory& memory, LineTransmitter& line,
                    LogFn log, StoredFn stored);

    /// Starts the clocks of the texts, the flood and the wandering signal.
    void Start(Time now);

    /// One byte that finished arriving at `at`.
    void ReceiveByte(std::uint8_t b, Time at);

    /// Runs whatever timed work is due.
    void Tick(Time now);

    /// When Tick has work next; nothing when no timer runs.
    std::optional<Time> NextTimer() const;

    /// The four bytes the next status message carries.
    std::array<std::uint8_t, 4> StatusBytes() const;

private:
    void HandleMessage(const ModuleMessage& m, Time at);
    void HandleRead(std::size_t block, Time at);
    void HandleWriteHeader(std::size_t block);
    void HandleWriteData(const ModuleMessage& m, Time at);
    void SendStatus(Time notBefore);
    void PlayScriptStep(Time now);
    void SendFlood(Time now);
    void WanderSignal();

    /// Sends messages one frame time apart from `first`, so that messages queued meanwhile
    /// (texts, the flood) may slip in between them as they would on a real module.
    void Send(const std::vector<ModuleMessage>& messages, Time first);
    /// Unsolicited messages are left out while the client is not taking what is already queued.
    bool LineCongested() const;
    void Log(const std::string& text) const;
    bool Silent(std::size_t block) const;

    const Options& options_;
    ModuleMemory& memory_;
    LineTransmitter& line_;
    LogFn log_;
    StoredFn stored_;

    FrameFinder finder_;
    AesCipher sendCipher_;
    Duration frameTime_;
    Duration replyDelay_;
    std::mt19937 random_;
    std::array<std::uint8_t, 3> lastBytes_{};  // for the "??" + carriage return poll

    // Write in progress.
    std::optional<std::size_t> writeBlock_;
    int nextWriteMessage_ = 0;
    Block writeData_{};

    // Live status.
    std::uint8_t flags_;
    std::uint8_t signal_;
    std::uint8_t lineState_;

    std::size_t scriptStep_ = 0;
    std::size_t floodCount_ = 0;
    std::optional<Time> nextText_;
    std::optional<Time> nextFlood_;
    std::optional<Time> nextWander_;
};

}  // namespace orbiqa::modsim
