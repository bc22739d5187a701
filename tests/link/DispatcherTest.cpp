#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "link/BlockChecksum.h"
#include "link/Dispatcher.h"

using namespace orbiqa;

namespace {

struct Recorder : TextConsumer, StatusConsumer, BlockReplyConsumer {
    std::vector<std::tuple<LogPane, std::string, bool>> texts;
    std::vector<std::array<std::uint8_t, 4>> statuses;
    int completed = 0;
    void AppendLogText(LogPane p, const std::string& t, bool force) override { texts.emplace_back(p, t, force); }
    void ModuleStatusReceived(const std::array<std::uint8_t, 4>& b) override { statuses.push_back(b); }
    void BlockReplyCompleted() override { ++completed; }
};

ModuleMessage Msg(std::uint8_t type, std::initializer_list<std::pair<int, std::uint8_t>> bytes = {}) {
    ModuleMessage m{};
    m[0] = kMessageOpen;
    m[1] = type;
    m[15] = kMessageClose;
    for (auto [i, v] : bytes) m[static_cast<std::size_t>(i)] = v;
    return m;
}

std::vector<ModuleMessage> Reply(std::uint8_t block, const std::array<std::uint8_t, 64>& data, int checksumDelta = 0) {
    std::vector<ModuleMessage> out{Msg(kTypeReplyHeader, {{13, block}})};
    for (int p = 0; p < 6; ++p) {
        ModuleMessage m = Msg(kTypeReplyData, {{2, static_cast<std::uint8_t>(p)}});
        const int n = p < 5 ? 12 : 4;
        for (int i = 0; i < n; ++i) m[3 + static_cast<std::size_t>(i)] = data[static_cast<std::size_t>(p * 12 + i)];
        if (p == 5) {
            const std::uint32_t c = BlockChecksum(data.data()) + static_cast<std::uint32_t>(checksumDelta);
            m[7] = static_cast<std::uint8_t>(c >> 24);
            m[8] = static_cast<std::uint8_t>(c >> 16);
            m[9] = static_cast<std::uint8_t>(c >> 8);
            m[10] = static_cast<std::uint8_t>(c);
        }
        out.push_back(m);
    }
    return out;
}

struct DispatcherFixture : ::testing::Test {
    ReplyState state;
    Dispatcher d{state};
    Recorder r;
    std::array<std::uint8_t, 64> data{};
    void SetUp() override {
        d.SetTextConsumer(&r);
        d.SetStatusConsumer(&r);
        d.SetBlockReplyConsumer(&r);
        std::iota(data.begin(), data.end(), std::uint8_t{100});
    }
    void Run(const std::vector<ModuleMessage>& ms) {
        for (const auto& m : ms) d.Dispatch(m);
    }
};

}  // namespace

TEST(BlockChecksum, KnownValues) {
    std::array<std::uint8_t, 64> zeros{}, ones{};
    ones.fill(0xFF);
    EXPECT_EQ(BlockChecksum(zeros.data()), 540u);
    EXPECT_EQ(BlockChecksum(ones.data()), 15780u);
}

TEST_F(DispatcherFixture, TextTypesReachTheirPanes) {
    Run({Msg(0x61, {{11, 'a'}}),                        // masked to "!"
         Msg(0x31, {{2, 'A'}, {3, 0}, {4, 'B'}}),      // zero skipped, not an end
         Msg(0x22, {{14, 'q'}}), Msg(0x32, {{2, 'w'}}), Msg(0x23, {{11, 'e'}}), Msg(0x33, {{2, 'r'}}),
         Msg(0x25, {{11, 't'}}), Msg(0x35, {{2, 'y'}}),
         Msg(0x73, {{2, 'z'}}),   // not "3": only the exact byte counts (0x73 & 0x3F = 0x33)
         Msg(0x21)});             // empty short text: nothing
    using T = std::tuple<LogPane, std::string, bool>;
    EXPECT_EQ(r.texts, (std::vector<T>{
                           {LogPane::Memo3, "a", false}, {LogPane::MemoState, "a", true},
                           {LogPane::Memo3, "AB", false}, {LogPane::MemoState, "AB", true},
                           {LogPane::Memo4, "q", false}, {LogPane::MemoState, "q", true},
                           {LogPane::Memo4, "w", false}, {LogPane::MemoState, "w", true},
                           {LogPane::Memo5, "e", false}, {LogPane::Memo5, "r", false},
                           {LogPane::MemoDTMF, "t", false}, {LogPane::MemoDTMF, "y", false}}));
}

TEST_F(DispatcherFixture, StatusAndWriteAck) {
    Run({Msg(kTypeStatus, {{11, 0x11}, {12, 31}, {13, 2}, {14, 9}})});
    ASSERT_EQ(r.statuses.size(), 1u);
    EXPECT_EQ(r.statuses[0], (std::array<std::uint8_t, 4>{0x11, 31, 2, 9}));
    EXPECT_EQ(d.ModuleStatusBytes()[0], 0x11);
    Run({Msg(kTypeWriteAck, {{14, 0x41}})});
    EXPECT_EQ(state.WriteAckReceived, 0);
    Run({Msg(kTypeWriteAck | 0x40, {{14, 0x40}})});
    EXPECT_EQ(state.WriteAckReceived, 1);
}

TEST_F(DispatcherFixture, CompleteReplyWithValidChecksum) {
    Run(Reply(3, data));
    EXPECT_EQ(state.ReadReplyAddress, 192);
    EXPECT_EQ(state.ReadReplyReady, 1);
    EXPECT_EQ(state.ReadReplyBuffer, data);
    EXPECT_EQ(state.VersionReplyBuffer, data);
    EXPECT_EQ(state.ReplyFrameIndex, 0);
    EXPECT_EQ(r.completed, 1);
}

TEST_F(DispatcherFixture, MissingRepeatedOrBrokenRepliesAreAbandoned) {
    auto missing = Reply(3, data);
    missing.erase(missing.begin() + 3);  // data message 2
    Run(missing);
    EXPECT_EQ(state.ReadReplyReady, 0);
    EXPECT_EQ(state.ReplyFrameIndex, 0);

    auto repeated = Reply(3, data);
    repeated.insert(repeated.begin() + 2, repeated[1]);
    Run(repeated);
    EXPECT_EQ(state.ReadReplyReady, 0);

    const auto before = state.VersionReplyBuffer;
    Run(Reply(3, data, +1));
    EXPECT_EQ(state.ReadReplyReady, 0);
    EXPECT_EQ(state.VersionReplyBuffer, before);
    EXPECT_EQ(r.completed, 0);

    // Data without a header changes nothing and keeps the index at 0.
    Run({Msg(kTypeReplyData, {{2, 0}})});
    EXPECT_EQ(state.ReplyFrameIndex, 0);

    // A new header restarts a reply in progress.
    auto restarted = Reply(3, data);
    restarted.resize(3);  // header and two data messages of block 3 ...
    const auto block4 = Reply(4, data);
    restarted.insert(restarted.end(), block4.begin(), block4.end());  // ... then all of block 4
    Run(restarted);
    EXPECT_EQ(state.ReadReplyReady, 1);
    EXPECT_EQ(state.ReadReplyAddress, 256);
}
