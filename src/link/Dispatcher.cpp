#include "link/Dispatcher.h"

namespace orbiqa {

void Dispatcher::Dispatch(const ModuleMessage& m) {
    const std::uint8_t exact = m[1];
    // Channel 3 and DTMF long texts are recognised only by their exact byte.
    if (exact == kTypeLongText3) return Text(m, true, LogPane::Memo5, false);
    if (exact == kTypeLongDtmf) return Text(m, true, LogPane::MemoDTMF, false);
    switch (exact & kTypeMask) {
        case kTypeShortText1: return Text(m, false, LogPane::Memo3, true);
        case kTypeLongText1: return Text(m, true, LogPane::Memo3, true);
        case kTypeShortText2: return Text(m, false, LogPane::Memo4, true);
        case kTypeLongText2: return Text(m, true, LogPane::Memo4, true);
        case kTypeShortText3: return Text(m, false, LogPane::Memo5, false);
        case kTypeShortDtmf: return Text(m, false, LogPane::MemoDTMF, false);
        case kTypeStatus:
            for (std::size_t i = 0; i < 4; ++i) statusBytes_[i] = m[11 + i];
            if (status_) status_->ModuleStatusReceived(statusBytes_);
            return;
        case kTypeReplyHeader:
            state_.ReadReplyAddress = static_cast<std::uint16_t>(m[13] * kBlockSize);
            state_.ReplyFrameIndex = 1;
            state_.ReplyChecksum = 0;
            return;
        case kTypeReplyData: return ReplyData(m);
        case kTypeWriteAck:
            if (m[14] == kWriteAckMark) state_.WriteAckReceived = 1;
            return;
        default: return;
    }
}

void Dispatcher::Text(const ModuleMessage& m, bool isLong, LogPane pane, bool alsoState) {
    std::string text;
    for (std::size_t i = isLong ? 2 : 11; i <= 14; ++i)
        if (m[i] != 0) text += static_cast<char>(m[i]);  // a zero is skipped, it does not end the text
    if (text.empty() || !text_) return;
    text_->AppendLogText(pane, text, false);
    if (alsoState) text_->AppendLogText(LogPane::MemoState, text, true);
}

void Dispatcher::ReplyData(const ModuleMessage& m) {
    const unsigned n = m[2];
    if (n + 1 != state_.ReplyFrameIndex) {
        state_.ReplyFrameIndex = 0;
        return;
    }
    const unsigned k = state_.ReplyFrameIndex;
    if (k <= 5) {
        for (unsigned i = 0; i < 12; ++i) {
            state_.ReadReplyBuffer[(k - 1) * 12 + i] = m[3 + i];
            state_.ReplyChecksum += (k + i) ^ m[3 + i];
        }
        ++state_.ReplyFrameIndex;
        return;
    }
    for (unsigned i = 0; i < 4; ++i) {
        state_.ReadReplyBuffer[60 + i] = m[3 + i];
        state_.ReplyChecksum += (6 + i) ^ m[3 + i];
    }
    const std::uint32_t expected = (std::uint32_t{m[7]} << 24) | (std::uint32_t{m[8]} << 16) |
                                   (std::uint32_t{m[9]} << 8) | std::uint32_t{m[10]};
    state_.ReplyFrameIndex = 0;
    if (expected != state_.ReplyChecksum) return;
    state_.ReadReplyReady = 1;
    state_.VersionReplyBuffer = state_.ReadReplyBuffer;
    if (blockReply_) blockReply_->BlockReplyCompleted();
}

}  // namespace orbiqa
