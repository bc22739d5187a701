#include "ModuleSimulator.h"

#include <algorithm>

#include "ModuleKey.h"
#include "TextScript.h"
#include "link/BlockChecksum.h"

namespace orbiqa::modsim {
namespace {

using namespace std::chrono_literals;

constexpr std::uint8_t kStatusLineUp = 0x10;  // the wired line is present
constexpr std::uint8_t kStatusIn1Short = 0x01;
constexpr std::uint8_t kDefaultSignal = 21;
constexpr int kSignalLow = 10;
constexpr int kSignalHigh = 28;
constexpr Duration kWanderInterval = 1s;
constexpr Duration kFloodInterval = 20ms;
constexpr Duration kFirstTextDelay = 500ms;
// About one second of line time: beyond it the client is plainly not reading.
constexpr std::size_t kMaxBacklog = 100;
constexpr std::size_t kDataPerMessage = 12;
constexpr std::size_t kDataMessages = 6;
constexpr std::size_t kLastMessageData = 4;

// A module made with another key enciphers what it sends under that key and deciphers what it
// receives with it too, so a client's requests are noise to it; only the status poll, a plain
// text line, still gets an answer (which the client cannot decipher).
AesKey ModuleKeyOf(bool wrongKey) {
    AesKey key = kModuleKey;
    if (wrongKey)
        for (auto& b : key) b ^= 0xA5;
    return key;
}

ModuleMessage Message(std::uint8_t type) {
    ModuleMessage m{};
    m[0] = kMessageOpen;
    m[1] = type;
    m[15] = kMessageClose;
    return m;
}

std::string BlockName(std::size_t block) { return "block " + std::to_string(block); }

}  // namespace

ModuleSimulator::ModuleSimulator(const Options& options, ModuleMemory& memory, LineTransmitter& line,
                                 LogFn log, StoredFn stored)
    : options_(options),
      memory_(memory),
      line_(line),
      log_(std::move(log)),
      stored_(std::move(stored)),
      finder_(ModuleKeyOf(options.wrongKey)),
      frameTime_(options.fast ? Duration::zero() : Duration(kByteTime19200 * static_cast<long long>(kSecureFrameSize))),
      replyDelay_(std::chrono::milliseconds(options.replyDelayMs)),
      random_(options.seed),
      flags_(options.statusFlags.value_or(kStatusLineUp)),
      signal_(options.signal.value_or(kDefaultSignal)),
      lineState_(options.lineState.value_or(0)) {
    sendCipher_.SetKey(ModuleKeyOf(options.wrongKey));
}

void ModuleSimulator::Start(Time now) {
    if (options_.silent) {
        Log("silent: everything received is discarded, nothing is sent");
        return;  // no clock runs: nothing unsolicited either
    }
    if (options_.texts == TextMode::Demo) nextText_ = now + kFirstTextDelay;
    if (options_.flood) nextFlood_ = now + kFloodInterval;
    if (!options_.signal) nextWander_ = now + kWanderInterval;
}

std::array<std::uint8_t, 4> ModuleSimulator::StatusBytes() const { return {flags_, signal_, lineState_, 0}; }

void ModuleSimulator::ReceiveByte(std::uint8_t b, Time at) {
    // The terminal is still drained (by the caller), so a client never blocks on a full line.
    if (options_.silent) return;
    std::rotate(lastBytes_.begin(), lastBytes_.begin() + 1, lastBytes_.end());
    lastBytes_[2] = b;
    if (lastBytes_ == std::array<std::uint8_t, 3>{'?', '?', '\r'}) {
        lastBytes_ = {};
        if (!LineCongested()) SendStatus(at + replyDelay_);
    }
    if (auto m = finder_.ReceiveByte(b)) HandleMessage(*m, at);
}

void ModuleSimulator::HandleMessage(const ModuleMessage& m, Time at) {
    const std::size_t block = m[13];
    switch (m[1]) {
        case kCmdReadBlock:
            if (m[14] != kBlockSize) {
                Log("read request for " + std::to_string(m[14]) + " bytes ignored");
                return;
            }
            HandleRead(block, at);
            return;
        case kCmdWriteHeader:
            HandleWriteHeader(block);
            return;
        case kCmdWriteData:
            HandleWriteData(m, at);
            return;
        default:
            Log("message of type " + std::to_string(m[1]) + " ignored");
    }
}

bool ModuleSimulator::Silent(std::size_t block) const {
    return options_.silentFromBlock && block >= static_cast<std::size_t>(*options_.silentFromBlock);
}

void ModuleSimulator::HandleRead(std::size_t block, Time at) {
    if (Silent(block)) {
        Log("read " + BlockName(block) + ": fault: silent");
        return;
    }
    const Block data = memory_.ReadBlock(block);
    std::uint32_t checksum = BlockChecksum(data.data());
    if (options_.badChecksumBlock == static_cast<int>(block)) {
        Log("read " + BlockName(block) + ": fault: checksum off by one");
        ++checksum;
    }
    std::uint8_t announced = static_cast<std::uint8_t>(block);
    if (options_.wrongBlock == static_cast<int>(block)) {
        announced = static_cast<std::uint8_t>(block + 1);
        Log("read " + BlockName(block) + ": fault: header names block " + std::to_string(announced));
    }

    std::vector<ModuleMessage> reply;
    ModuleMessage header = Message(kTypeReplyHeader);
    header[13] = announced;
    header[14] = kBlockSize;
    reply.push_back(header);
    for (std::size_t p = 0; p < kDataMessages; ++p) {
        ModuleMessage m = Message(kTypeReplyData);
        m[2] = static_cast<std::uint8_t>(p);
        const std::size_t count = p + 1 < kDataMessages ? kDataPerMessage : kLastMessageData;
        std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(p * kDataPerMessage), count, m.begin() + 3);
        if (p + 1 == kDataMessages) {
            m[7] = static_cast<std::uint8_t>(checksum >> 24);
            m[8] = static_cast<std::uint8_t>(checksum >> 16);
            m[9] = static_cast<std::uint8_t>(checksum >> 8);
            m[10] = static_cast<std::uint8_t>(checksum);
        }
        reply.push_back(m);
    }
    if (options_.dropDataBlock == static_cast<int>(block)) {
        Log("read " + BlockName(block) + ": fault: data message " + std::to_string(options_.dropDataMessage) +
            " left out");
        reply.erase(reply.begin() + 1 + options_.dropDataMessage);
    }
    Log("read " + BlockName(block));
    Send(reply, at + replyDelay_);
}

void ModuleSimulator::HandleWriteHeader(std::size_t block) {
    // A new header abandons any write in progress.
    writeBlock_.reset();
    if (Silent(block)) {
        Log("write " + BlockName(block) + ": fault: silent");
        return;
    }
    writeBlock_ = block;
    nextWriteMessage_ = 0;
    writeData_ = {};
}

void ModuleSimulator::HandleWriteData(const ModuleMessage& m, Time at) {
    if (!writeBlock_) return;
    const std::size_t block = *writeBlock_;
    const int p = m[2];
    if (p != nextWriteMessage_) {
        // Data that do not follow cannot be trusted: the whole write is dropped unacknowledged.
        Log("write " + BlockName(block) + ": data message " + std::to_string(p) + " out of order, write dropped");
        writeBlock_.reset();
        return;
    }
    if (p + 1 < static_cast<int>(kDataMessages)) {
        std::copy_n(m.begin() + 3, kDataPerMessage, writeData_.begin() + p * static_cast<std::ptrdiff_t>(kDataPerMessage));
        ++nextWriteMessage_;
        return;
    }
    writeBlock_.reset();
    std::copy_n(m.begin() + 3, kLastMessageData, writeData_.begin() + 60);
    const std::uint32_t expected = static_cast<std::uint32_t>(m[7]) << 24 | static_cast<std::uint32_t>(m[8]) << 16 |
                                   static_cast<std::uint32_t>(m[9]) << 8 | m[10];
    if (expected != BlockChecksum(writeData_.data())) {
        Log("write " + BlockName(block) + ": checksum does not match, write dropped");
        return;
    }
    if (block == kVersionBlock) {
        Log("write " + BlockName(block) + ": the version record cannot be written");
        return;
    }
    memory_.WriteBlock(block, writeData_);
    if (stored_) stored_(block);
    if (options_.noAckFromBlock && block >= static_cast<std::size_t>(*options_.noAckFromBlock)) {
        Log("write " + BlockName(block) + " stored: fault: no acknowledgement");
        return;
    }
    Log("write " + BlockName(block) + " stored");
    ModuleMessage ack = Message(kTypeWriteAck);
    ack[13] = static_cast<std::uint8_t>(block);
    ack[14] = kWriteAckMark;
    Send({ack}, at + replyDelay_);
}

void ModuleSimulator::SendStatus(Time notBefore) {
    ModuleMessage m = Message(kTypeStatus);
    const auto status = StatusBytes();
    std::copy(status.begin(), status.end(), m.begin() + 11);
    Send({m}, notBefore);
}

void ModuleSimulator::Tick(Time now) {
    // After a long stall (a stopped process, a loaded machine) carry on from now instead of
    // sending every missed step at once.
    auto advance = [now](std::optional<Time>& next, Duration interval) {
        *next += interval;
        if (*next <= now) *next = now + interval;
    };
    if (nextWander_ && *nextWander_ <= now) {
        WanderSignal();
        advance(nextWander_, kWanderInterval);
    }
    if (nextText_ && *nextText_ <= now) {
        PlayScriptStep(now);
        advance(nextText_, std::chrono::milliseconds(options_.textIntervalMs));
    }
    if (nextFlood_ && *nextFlood_ <= now) {
        SendFlood(now);
        advance(nextFlood_, kFloodInterval);
    }
}

std::optional<Time> ModuleSimulator::NextTimer() const {
    std::optional<Time> next;
    for (const auto& t : {nextWander_, nextText_, nextFlood_})
        if (t && (!next || *t < *next)) next = t;
    return next;
}

void ModuleSimulator::WanderSignal() {
    std::uniform_int_distribution<int> step(-2, 2);
    signal_ = static_cast<std::uint8_t>(std::clamp(signal_ + step(random_), kSignalLow, kSignalHigh));
}

void ModuleSimulator::PlayScriptStep(Time now) {
    const ScriptStep& step = DemoScript()[scriptStep_];
    scriptStep_ = (scriptStep_ + 1) % DemoScript().size();
    if (step.lineState && !options_.lineState) lineState_ = *step.lineState;
    if (step.in1Short && !options_.statusFlags)
        flags_ = static_cast<std::uint8_t>((flags_ & ~kStatusIn1Short) | (*step.in1Short ? kStatusIn1Short : 0));
    if (LineCongested()) return;
    Send(TextMessages(step.channel, step.longForm, step.text), now);
}

void ModuleSimulator::SendFlood(Time now) {
    if (LineCongested()) return;
    const std::size_t n = floodCount_++;
    if (n % 2 == 0) {
        SendStatus(now);
        return;
    }
    static constexpr TextChannel kChannels[] = {TextChannel::One, TextChannel::Two, TextChannel::Three,
                                                TextChannel::Dtmf};
    const TextChannel channel = kChannels[(n / 2) % 4];
    const std::string text = "Jelszint " + std::to_string(signal_) + "\r";
    Send(TextMessages(channel, (n / 2) % 8 < 4, text), now);
}

void ModuleSimulator::Send(const std::vector<ModuleMessage>& messages, Time first) {
    std::uniform_int_distribution<int> noiseLength(0, 6);
    std::uniform_int_distribution<int> noiseByte(0, 255 + 2 * 64);  // a third are "{" or "}"
    Time at = first;
    for (const ModuleMessage& m : messages) {
        if (options_.noise) {
            std::vector<std::uint8_t> noise(static_cast<std::size_t>(noiseLength(random_)));
            for (auto& b : noise) {
                const int v = noiseByte(random_);
                b = v < 256 ? static_cast<std::uint8_t>(v) : (v < 256 + 64 ? kFrameOpen : kFrameClose);
            }
            line_.Enqueue(std::move(noise), at);
        }
        const SecureFrame frame = EncodeFrame(sendCipher_, m);
        line_.Enqueue(std::vector<std::uint8_t>(frame.begin(), frame.end()), at);
        at += frameTime_;
    }
}

bool ModuleSimulator::LineCongested() const { return line_.Backlog() > kMaxBacklog; }

void ModuleSimulator::Log(const std::string& text) const {
    if (log_) log_(text);
}

}  // namespace orbiqa::modsim
