// The whole link through a real pseudo-terminal: the program's port, codec and dispatcher read
// blocks from a running orbiqa-modsim.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "link/BlockChecksum.h"
#include "support/ManualPump.h"
#include "link/ModuleLink.h"
#include "modsim/SimHarness.h"
#include "support/PrivateSettingsFolder.h"
#include "portdevice/SystemSerialDevice.h"

using namespace orbiqa;
using namespace std::chrono_literals;

namespace {

struct CountCompletions : BlockReplyConsumer {
    int n = 0;
    void BlockReplyCompleted() override { ++n; }
};

}  // namespace

TEST(LinkEndToEnd, ReadsTheVersionRecordAndAParameterBlockFromTheSimulator) {
    testsupport::PrivateSettingsFolder home;
    modsimtest::SimProcess sim({"--texts", "off"}, home.PortLinkFolder());

    ModuleLink link(CreateSystemSerialDevice());
    test::ManualPump pump(link.ComPort1());
    CountCompletions completions;
    link.Dispatch().SetBlockReplyConsumer(&completions);
    link.ComPort1().SetPort(sim.ComName());
    link.ComPort1().SetConnected(true);

    for (std::uint8_t block : {std::uint8_t{254}, std::uint8_t{3}}) {
        link.Reply().ReadReplyReady = 0;
        const std::uint8_t args[5] = {0, 0, 0, block, 64};
        link.SendCommand(kCmdReadBlock, args);
        ASSERT_TRUE(pump.PumpUntil([&] { return link.Reply().ReadReplyReady == 1; }, 5000ms))
            << "block " << int{block};
        EXPECT_EQ(link.Reply().ReadReplyAddress, block * 64);
        if (block == 254) {
            const auto& v = link.Reply().VersionReplyBuffer;
            EXPECT_EQ(v[18], '"');
            EXPECT_NE(std::string(v.begin() + 19, v.end()).find(';'), std::string::npos);
        }
    }
    EXPECT_EQ(completions.n, 2);
    EXPECT_EQ(link.SequenceCounter(), 2);
    link.ComPort1().SetConnected(false);
}
