// orbiqa-cli against servers that flood, lie or close: every command still ends within its
// documented bound, with its exit status and a message that says what happened. Each run is
// given a generous limit; a command still running after it fails the case.
#include <signal.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include "HostileServers.h"
#include "SerialServers.h"
#include "cli/CliFixture.h"
#include "link/ModuleLink.h"
#include "link/QtHandoverPump.h"
#include "netport/NetworkPortError.h"
#include "netport/NetworkSerialDevice.h"

using namespace clitest;
using namespace nettest;
using ::testing::HasSubstr;
using ::testing::Not;
using T = orbiqa::TelnetComPort;

namespace {

// Far more than any bound of the program (5 s waits, 5 s opening steps, 1 s probe), far less
// than the 120 s of the case.
constexpr int kCommandLimitMs = 30000;

class HostileServerTest : public CliEndToEndTest {
protected:
    CliResult Run(const std::vector<std::string>& args) {
        CliProcess p(args, config.Path());
        return p.Finish(kCommandLimitMs);
    }
};

Wire Pattern(std::size_t size) {
    // Every byte value, but never a frame: the frame marks are 2 bytes apart, not 17.
    Wire w(size);
    for (std::size_t i = 0; i < size; ++i) w[i] = static_cast<std::uint8_t>(i);
    return w;
}

}  // namespace

TEST_F(HostileServerTest, ADataFloodEndsTheWaitWithWhatArrivedAndAnInterruptStopsIt) {
    // 64 KiB blocks without end, capped so that a program that hoards them cannot take the
    // machine's memory.
    HostileServer::Behaviour blocks;
    blocks.flood = Pattern(65536);
    blocks.floodLimit = 1LL << 30;
    HostileServer flood(blocks);
    const std::string port = Raw(flood.Port());
    const CliResult version = Run({"version", "-p", port});
    EXPECT_EQ(version.status, 4) << version.err;
    EXPECT_THAT(version.err, HasSubstr("did not answer the version request"));
    EXPECT_THAT(version.err, HasSubstr("bytes arrived but not one of the module's frames"));

    // The interrupt comes once the read has taken more than the loopback's socket buffers can
    // hold, so it lands while the program is busy with the flood. What it took before counts
    // nothing: a slow build (the sanitizers) takes fewer bytes a second, not a different path.
    const long long sentBefore = flood.Sent();
    CliProcess read({"read", Path("flood.VR3"), "-p", port}, config.Path());
    ASSERT_TRUE(WaitUntil([&] { return flood.Clients() == 2 && flood.Sent() > sentBefore + (8 << 20); },
                          kCommandLimitMs));
    ::kill(read.Pid(), SIGINT);
    const CliResult r = read.Finish(kCommandLimitMs);
    EXPECT_EQ(r.status, 128 + SIGINT) << r.err;
    EXPECT_THAT(r.err, HasSubstr("interrupted"));
    EXPECT_FALSE(fs::exists(Path("flood.VR3")));
}

TEST_F(HostileServerTest, RandomBytesAtSpeedAreReportedAsNoise) {
    HostileServer::Behaviour random;
    random.flood = Wire(65536);
    random.randomFlood = true;
    random.bytesPerSecond = 8 << 20;
    HostileServer noise(random);
    const CliResult r = Run({"version", "-p", Raw(noise.Port())});
    EXPECT_EQ(r.status, 4) << r.err;
    EXPECT_THAT(r.err, HasSubstr("bytes arrived"));
    EXPECT_THAT(r.err, Not(HasSubstr("nothing arrived")));
    EXPECT_THAT(r.err, Not(HasSubstr("another key")));
}

TEST_F(HostileServerTest, TelnetCommandFloodsKeepTheFiveSecondBounds) {
    // Accepts everything, then sends nothing but "no operation" commands.
    HostileServer::Behaviour nop;
    nop.greeting = AcceptComPort();
    nop.flood = Repeat({T::kIac, 241}, 32768);
    HostileServer nops(nop);
    const std::string port = Rfc2217(nops.Port());
    const CliResult status = Run({"status", "-p", port, "--count", "3"});
    EXPECT_EQ(status.status, 4) << status.err;
    EXPECT_THAT(status.err, HasSubstr("did not answer the status poll for 5 s"));
    const CliResult read = Run({"read", Path("nop.VR3"), "-p", port});
    EXPECT_EQ(read.status, 4) << read.err;
    EXPECT_FALSE(fs::exists(Path("nop.VR3")));

    // Asks for an option without end and never reads the refusals: they must not pile up.
    HostileServer::Behaviour ask;
    ask.greeting = AcceptComPort();
    ask.flood = Repeat({T::kIac, T::kDo, 99}, 16384);
    ask.readsClient = false;
    HostileServer asking(ask);
    const CliResult version = Run({"version", "-p", Rfc2217(asking.Port())});
    EXPECT_EQ(version.status, 4) << version.err;
}

TEST_F(HostileServerTest, LineSettingsTheServerDidNotTakeAreNamed) {
    HostileServer::Behaviour lie;
    lie.greeting = AcceptComPort(300, 5, 1, 2);
    HostileServer liar(lie);
    const std::string port = Rfc2217(liar.Port());
    const CliResult r = Run({"version", "-p", port});
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_EQ(r.err, "orbiqa-cli: cannot open " + port +
                         ": the server did not take the line settings 19200 baud, 8 data bits, "
                         "1 stop bit (RFC 2217)\n");
}

TEST_F(HostileServerTest, AServerThatClosesAtOnceIsSaidToHaveClosed) {
    HostileServer::Behaviour close;
    close.closeAtOnce = true;
    HostileServer closing(close);
    const CliResult r = Run({"version", "-p", Rfc2217(closing.Port())});
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_THAT(r.err, HasSubstr("the server closed the connection at once"));
    EXPECT_THAT(r.err, Not(HasSubstr("reset")));
}

TEST_F(HostileServerTest, NumericHostFormsAreShownAsTheAddressTheyReach) {
    const int nobody = FreeTcpPort();
    for (const char* host : {"127.1", "0x7f.1", "2130706433", "0177.0.0.1"}) {
        const CliResult r =
            Run({"version", "-p", "socket://" + std::string(host) + ":" + std::to_string(nobody)});
        EXPECT_EQ(r.status, 3) << host;
        EXPECT_EQ(r.err, "orbiqa-cli: cannot open " + Raw(nobody) + ": Connection refused\n")
            << host;
    }
}

TEST(NetworkSerialDevice, FloodsStayWithinTheQueuesBoundsAndAStopEndsTheWait) {
    using orbiqa::NetworkReceiveQueue;
    using Result = orbiqa::SerialDevice::WaitResult;
    int error = 0;
    {
        // Data without end, and a reader that takes little at a time.
        HostileServer::Behaviour blocks;
        blocks.flood = Pattern(65536);
        HostileServer server(blocks);
        orbiqa::NetworkSerialDevice device;
        ASSERT_EQ(device.Open(Raw(server.Port())), 0);
        std::uint8_t bytes[1000];
        for (int i = 0; i < 300; ++i) {
            ASSERT_EQ(device.WaitForEvent(), Result::Arrival);
            ASSERT_GT(device.Read(bytes, sizeof bytes, error), 0);
        }
        EXPECT_LE(device.QueuePeaks().data, NetworkReceiveQueue::kDataLimit);
        EXPECT_GT(device.QueuePeaks().data, NetworkReceiveQueue::kDataLimit / 2);
        // Bytes still wait, and the stop still comes first.
        device.StopWaiting();
        EXPECT_EQ(device.WaitForEvent(), Result::Stopped);
        EXPECT_GT(device.PendingInput(error), 0);
    }
    {
        // Requests without end from a server that never reads the refusals.
        HostileServer::Behaviour ask;
        ask.greeting = AcceptComPort();
        ask.flood = Repeat({T::kIac, T::kDo, 99}, 16384);
        ask.readsClient = false;
        HostileServer server(ask);
        orbiqa::NetworkSerialDevice device;
        ASSERT_EQ(device.Open(Rfc2217(server.Port())), 0);
        bool filled = false;
        std::thread watcher([&] {
            filled = WaitUntil(
                [&] {
                    return device.QueuePeaks().answers > NetworkReceiveQueue::kAnswerLimit / 2;
                },
                20000);
            device.StopWaiting();
        });
        Result r = Result::Arrival;
        while (r == Result::Arrival) r = device.WaitForEvent();
        watcher.join();
        EXPECT_TRUE(filled);
        EXPECT_EQ(r, Result::Stopped);
        EXPECT_LE(device.QueuePeaks().answers, NetworkReceiveQueue::kAnswerLimit);
    }
    {
        // Takes the option, then sends nothing but "no operation": the opening still ends at
        // its bound.
        HostileServer::Behaviour nop;
        nop.greeting = {T::kIac, T::kDo, T::kOptComPort};
        nop.flood = Repeat({T::kIac, 241}, 32768);
        HostileServer server(nop);
        orbiqa::NetworkSerialDevice device;
        EXPECT_EQ(device.Open(Rfc2217(server.Port())), orbiqa::kNetNoNegotiation);
    }
}

// The window's side: the link's own handler on the Qt event loop, as the main window runs it.
// While a server floods, timers still fire, and closing the port from the loop ("Kilépés")
// returns at once instead of serving the flood.
TEST(NetworkLinkOnTheEventLoop, AFloodLeavesTheLoopAliveAndClosingReturns) {
    int argc = 1;
    char name[] = "network-tests";
    char* argv[] = {name, nullptr};
    std::unique_ptr<QCoreApplication> app;
    if (!QCoreApplication::instance()) app = std::make_unique<QCoreApplication>(argc, argv);

    HostileServer::Behaviour blocks;
    blocks.flood = Pattern(65536);
    HostileServer server(blocks);
    auto owned = std::make_unique<orbiqa::NetworkSerialDevice>();
    orbiqa::NetworkSerialDevice* device = owned.get();
    orbiqa::ModuleLink link(std::move(owned));
    orbiqa::QtHandoverPump pump(link.ComPort1());
    long long received = 0;
    link.OnBytesReceived = [&](const std::uint8_t*, int count) { received += count; };
    link.ComPort1().SetPort(Raw(server.Port()));
    link.ComPort1().SetConnected(true);

    QEventLoop loop;
    int ticks = 0;
    bool closedByTheLoop = false;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        // The user's "Kilépés" once the flood has been running for a while.
        if (++ticks < 20 || received < (32 << 20)) return;
        link.ComPort1().SetConnected(false);
        closedByTheLoop = true;
        loop.quit();
    });
    tick.start(10);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);  // a starved loop never gets here first
    loop.exec();
    EXPECT_TRUE(closedByTheLoop) << ticks << " ticks, " << received << " bytes";
    EXPECT_FALSE(link.ComPort1().Connected());
    EXPECT_LE(device->QueuePeaks().data, orbiqa::NetworkReceiveQueue::kDataLimit);
}
