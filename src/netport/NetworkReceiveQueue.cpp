#include "netport/NetworkReceiveQueue.h"

#include <algorithm>

namespace orbiqa {

void NetworkReceiveQueue::Reset(bool telnet) {
    telnet_ = telnet;
    telnet_session_ = TelnetComPort();
    data_.clear();
    answers_.clear();
    peaks_ = {};
}

std::size_t NetworkReceiveQueue::Room() const {
    // A chunk decodes into at most its own size of data, and into at most its own size of
    // answers (three bytes answer three) besides the line settings, which go out once: a chunk
    // of room is kept for those.
    if (data_.size() + kChunk > kDataLimit) return 0;
    if (telnet_ && answers_.size() + 2 * kChunk > kAnswerLimit) return 0;
    return kChunk;
}

void NetworkReceiveQueue::Take(const std::uint8_t* bytes, std::size_t count) {
    if (!telnet_) {
        data_.insert(data_.end(), bytes, bytes + count);
    } else {
        decoded_.clear();
        telnet_session_.Feed(bytes, count, decoded_);
        data_.insert(data_.end(), decoded_.begin(), decoded_.end());
        const Bytes more = telnet_session_.TakeOutput();
        answers_.insert(answers_.end(), more.begin(), more.end());
    }
    NotePeaks();
}

std::size_t NetworkReceiveQueue::Read(std::uint8_t* out, std::size_t count) {
    const std::size_t n = std::min(count, data_.size());
    std::copy_n(data_.begin(), n, out);
    data_.erase(data_.begin(), data_.begin() + static_cast<std::ptrdiff_t>(n));
    return n;
}

std::size_t NetworkReceiveQueue::Peek(std::uint8_t* out, std::size_t count) const {
    const std::size_t n = std::min(count, data_.size());
    std::copy_n(data_.begin(), n, out);
    return n;
}

void NetworkReceiveQueue::PutAnswersFirst(const std::uint8_t* bytes, std::size_t count) {
    answers_.insert(answers_.begin(), bytes, bytes + count);
    NotePeaks();
}

void NetworkReceiveQueue::PutAnswersLast(const Bytes& bytes) {
    answers_.insert(answers_.end(), bytes.begin(), bytes.end());
    NotePeaks();
}

void NetworkReceiveQueue::NotePeaks() {
    peaks_.data = std::max(peaks_.data, data_.size());
    peaks_.answers = std::max(peaks_.answers, answers_.size());
}

}  // namespace orbiqa
