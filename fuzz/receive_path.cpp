// Line bytes -> frame finder -> dispatcher -> text panes, status view, reply state and version
// box, through the program's own ModuleLink with the development key.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "FuzzSupport.h"
#include "ReceiveScript.h"
#include "diag/LogMemo.h"
#include "FakeSerialDevice.h"
#include "link/ModuleLink.h"
#include "shell/VersionRecord.h"
#include "status/ModuleStatusText.h"

using namespace orbiqa;
using namespace orbiqa::fuzz;

namespace {

class Memo final : public LogMemo {
public:
    void AddLine(std::string_view text) override { lines.emplace_back(text); }
    void AppendToLastLine(std::string_view text) override {
        if (lines.empty()) lines.emplace_back();
        lines.back() += text;
    }
    std::vector<std::string> lines;
};

// Every consumer the program plugs into the dispatcher, in core form.
class Consumers final : public TextConsumer, public StatusConsumer, public BlockReplyConsumer {
public:
    explicit Consumers(ModuleLink& link) : link_(link) {}

    void AppendLogText(LogPane pane, const std::string& text, bool) override {
        FUZZ_CHECK(!text.empty());
        FUZZ_CHECK(text.find('\0') == std::string::npos);
        orbiqa::AppendLogText(memos_[static_cast<std::size_t>(pane)], text);
    }
    void ModuleStatusReceived(const std::array<std::uint8_t, 4>& statusBytes) override {
        const ModuleStatusView view = DescribeModuleStatus(statusBytes);
        FUZZ_CHECK(view.SignalBarPosition >= 0 && view.SignalBarPosition <= kSignalMaximum);
        FUZZ_CHECK(!view.SignalText.empty());
    }
    void BlockReplyCompleted() override {
        ++completed;
        ReplyState& r = link_.Reply();
        const ModuleMessage& last = link_.LastMessage();
        const std::uint32_t expected = std::uint32_t{last[7]} << 24 | std::uint32_t{last[8]} << 16 |
                                       std::uint32_t{last[9]} << 8 | last[10];
        FUZZ_CHECK(BlockChecksum(r.ReadReplyBuffer.data()) == expected);
        FUZZ_CHECK(r.VersionReplyBuffer == r.ReadReplyBuffer);
        FUZZ_CHECK(r.ReadReplyReady == 1);
        if (const auto text = VersionReplyText(r.VersionReplyBuffer)) FUZZ_CHECK(text->size() < 128);
    }

    int completed = 0;

private:
    ModuleLink& link_;
    std::array<Memo, 5> memos_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static AesCipher& cipher = *[] {
        auto* c = new AesCipher;
        c->SetKey(kModuleKey);
        return c;
    }();

    ModuleLink link(std::make_unique<FakeSerialDevice>());
    Consumers consumers(link);
    link.Dispatch().SetTextConsumer(&consumers);
    link.Dispatch().SetStatusConsumer(&consumers);
    link.Dispatch().SetBlockReplyConsumer(&consumers);
    ReplyState& reply = link.Reply();

    ByteCursor in(data, size);
    std::vector<std::uint8_t> line;
    while (!in.AtEnd()) {
        line.clear();
        const auto step = static_cast<Step>(in.Byte() % kStepKinds);
        bool intactReply = false;
        std::uint8_t block = 0;
        std::array<std::uint8_t, kBlockSize> blockData{};
        switch (step) {
            case Step::Raw: {
                const std::string_view raw = in.Bytes(in.Byte());
                line.assign(raw.begin(), raw.end());
                break;
            }
            case Step::Message: {
                std::uint8_t body[13]{};
                const std::uint8_t type = in.Byte();
                for (auto& b : body) b = in.Byte();
                AppendFrame(line, cipher, BuildPayloadMessage(type, body));
                break;
            }
            case Step::BlockReply: {
                block = in.Byte();
                for (auto& b : blockData) b = in.Byte();
                const ReplyFault fault = ReplyFault::From(in.Byte());
                for (const ModuleMessage& m : BlockReplyMessages(block, blockData.data(), fault))
                    AppendFrame(line, cipher, m);
                intactReply = fault.Intact();
                break;
            }
            case Step::Plaintext: {
                ModuleMessage m{};
                for (auto& b : m) b = in.Byte();
                AppendFrame(line, cipher, m);
                break;
            }
        }
        reply.ReadReplyReady = 0;
        const int completedBefore = consumers.completed;
        for (std::uint8_t b : line) {
            link.ReceiveByte(b);
            FUZZ_CHECK(reply.ReplyFrameIndex <= 6);
        }
        if (intactReply) {
            // A whole, correct reply always arrives, whatever came before it on the line.
            FUZZ_CHECK(reply.ReadReplyReady == 1);
            FUZZ_CHECK(consumers.completed == completedBefore + 1);
            FUZZ_CHECK(reply.ReadReplyAddress == block * kBlockSize);
            FUZZ_CHECK(reply.ReadReplyBuffer == blockData);
            FUZZ_CHECK(reply.ReplyFrameIndex == 0);
        }
    }
    return 0;
}
