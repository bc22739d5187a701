#pragma once
// Routes every valid ModuleMessage by its type: texts to the log panes, status bytes to the
// status window, block-read replies into ReadReplyBuffer with their checksum, and write
// acknowledgements to WriteAckReceived. It never answers the module.
#include <array>
#include <cstdint>
#include <string>

#include "link/ModuleMessage.h"

namespace orbiqa {

/// The memos a module text can reach.
enum class LogPane { Memo3, Memo4, Memo5, MemoDTMF, MemoState };

/// Consumers plug in here; any of them may be absent.
class TextConsumer {
public:
    virtual ~TextConsumer() = default;
    /// force off: write only while the traffic log window is visible; on: always.
    virtual void AppendLogText(LogPane pane, const std::string& text, bool force) = 0;
};

class StatusConsumer {
public:
    virtual ~StatusConsumer() = default;
    /// The four status bytes (message bytes 11..14) have been stored; show them.
    virtual void ModuleStatusReceived(const std::array<std::uint8_t, 4>& statusBytes) = 0;
};

class BlockReplyConsumer {
public:
    virtual ~BlockReplyConsumer() = default;
    /// A block-read reply completed with a valid checksum (enables VersionWindowTimer).
    virtual void BlockReplyCompleted() = 0;
};

/// The reply state the dispatcher fills and the requesters poll. All zero at start.
struct ReplyState {
    std::uint8_t ReadReplyReady = 0;
    std::uint16_t ReadReplyAddress = 0;
    std::array<std::uint8_t, kBlockSize> ReadReplyBuffer{};
    std::array<std::uint8_t, kBlockSize> VersionReplyBuffer{};
    std::uint8_t WriteAckReceived = 0;
    std::uint16_t ReplyFrameIndex = 0;
    std::uint32_t ReplyChecksum = 0;
};

class Dispatcher {
public:
    explicit Dispatcher(ReplyState& state) : state_(state) {}

    void SetTextConsumer(TextConsumer* c) { text_ = c; }
    void SetStatusConsumer(StatusConsumer* c) { status_ = c; }
    void SetBlockReplyConsumer(BlockReplyConsumer* c) { blockReply_ = c; }

    /// Handles one validated message.
    void Dispatch(const ModuleMessage& m);

    const std::array<std::uint8_t, 4>& ModuleStatusBytes() const { return statusBytes_; }

private:
    void Text(const ModuleMessage& m, bool isLong, LogPane pane, bool alsoState);
    void ReplyData(const ModuleMessage& m);

    ReplyState& state_;
    std::array<std::uint8_t, 4> statusBytes_{};
    TextConsumer* text_ = nullptr;
    StatusConsumer* status_ = nullptr;
    BlockReplyConsumer* blockReply_ = nullptr;
};

}  // namespace orbiqa
