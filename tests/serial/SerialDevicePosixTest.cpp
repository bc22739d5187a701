// The POSIX serial layer on real pseudo-terminals: name resolution through the port-link folder,
// exclusive use, byte-exact raw transfer, the write time bound, hang-up handling and the driver's
// line error counters.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <limits>
#include <mutex>
#include <thread>

#include "link/ComPort.h"
#include "support/ManualPump.h"
#include "serial/PortLinks.h"
#include "serial/SerialDevicePosix.h"
#include "support/PrivateSettingsFolder.h"
#include "portdevice/SystemSerialDevice.h"

using namespace orbiqa;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// A pseudo-terminal whose device side is published as COM<n> in a private port-link folder.
struct PtyFixture : ::testing::Test {
    testsupport::PrivateSettingsFolder settings;
    std::string home = settings.Path();
    int master = -1;
    std::string slavePath;

    void SetUp() override {
        fs::create_directories(PortLinkFolder());
        int slave = -1;
        char name[128];
        ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
        slavePath = name;
        ::close(slave);
        termios t{};
        tcgetattr(master, &t);
        cfmakeraw(&t);
        tcsetattr(master, TCSANOW, &t);
        fs::create_symlink(slavePath, fs::path(PortLinkFolder()) / "COM7");
    }
    void TearDown() override {
        if (master >= 0) ::close(master);
    }
    std::vector<std::uint8_t> ReadMaster(std::size_t n, int timeoutMs = 2000) {
        std::vector<std::uint8_t> out;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (out.size() < n && std::chrono::steady_clock::now() < deadline) {
            pollfd p{master, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            std::uint8_t buf[256];
            const ssize_t r = ::read(master, buf, sizeof buf);
            if (r > 0) out.insert(out.end(), buf, buf + r);
        }
        return out;
    }
};

// Nobody reads the other side: fills the terminal's queue until a write comes back short, and
// returns the frame-sized chunk it wrote.
std::vector<std::uint8_t> FillUntilStalled(TComPort& port) {
    std::vector<std::uint8_t> chunk(18, 0x55);
    for (int i = 0; i < 100000; ++i)
        if (port.WriteBytes(chunk.data(), 18) < 18) break;
    return chunk;
}

}  // namespace

TEST(PortFailures, EachErrnoHasOneReason) {
    const std::pair<int, PortFailure> cases[] = {
        {ENOENT, PortFailure::NotFound}, {ENXIO, PortFailure::NotFound}, {EACCES, PortFailure::Permission},
        {EPERM, PortFailure::Permission}, {EBUSY, PortFailure::Busy},    {EIO, PortFailure::Gone},
        {EINVAL, PortFailure::Other},
    };
    for (const auto& [code, reason] : cases) EXPECT_EQ(PortFailureOf(code), reason) << code;
    EXPECT_TRUE(IsPermissionDenied(EACCES));
    EXPECT_FALSE(IsPermissionDenied(EBUSY));
}

TEST(PortLinks, FixedRuleBothWays) {
    EXPECT_EQ(FixedDeviceForPort("COM1"), "/dev/ttyS0");
    EXPECT_EQ(FixedDeviceForPort("COM32"), "/dev/ttyS31");
    EXPECT_EQ(FixedDeviceForPort("COM33"), "/dev/ttyUSB0");
    EXPECT_EQ(FixedDeviceForPort("COM65"), "/dev/ttyACM0");
    EXPECT_EQ(FixedDeviceForPort("COM96"), "/dev/ttyACM31");
    EXPECT_FALSE(FixedDeviceForPort("COM97"));
    EXPECT_FALSE(FixedDeviceForPort("COM0"));
    EXPECT_EQ(FixedDeviceForPort("COM 5"), "/dev/ttyS4");  // read as every port name is
    EXPECT_FALSE(FixedDeviceForPort("COM 5x"));
    EXPECT_EQ(FixedPortForDevice("/dev/ttyUSB3"), "COM36");
    EXPECT_EQ(FixedPortForDevice("/dev/ttyACM31"), "COM96");
    EXPECT_FALSE(FixedPortForDevice("/dev/ttyUSB32"));
    EXPECT_FALSE(FixedPortForDevice("/dev/ttyUSBx"));
    EXPECT_FALSE(FixedPortForDevice("/dev/pts/3"));
}

TEST_F(PtyFixture, TheLinkFolderWinsOverTheFixedRule) {
    EXPECT_EQ(ResolvePortDevice("COM7"), (fs::path(PortLinkFolder()) / "COM7").string());
    EXPECT_EQ(ResolvePortDevice("COM8"), "/dev/ttyS7");
}

TEST_F(PtyFixture, OpeningIsExclusiveAndAMissingDeviceIsError1) {
    TComPort first(std::make_unique<SerialDevicePosix>());
    first.SetPort("COM7");
    first.SetConnected(true);
    TComPort second(std::make_unique<SerialDevicePosix>());
    second.SetPort("COM7");
    try {
        second.SetConnected(true);
        FAIL() << "a second opener must be refused";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.ErrorCode(), 1);
        EXPECT_EQ(e.SystemCode(), EBUSY);
    }
    EXPECT_FALSE(second.Connected());
    first.SetConnected(false);
    second.SetConnected(true);  // free again once the first has closed
    EXPECT_TRUE(second.Connected());
    second.SetConnected(false);

    fs::remove(fs::path(PortLinkFolder()) / "COM7");
    fs::create_symlink(home + "/nothing-here", fs::path(PortLinkFolder()) / "COM7");
    try {
        second.SetConnected(true);
        FAIL();
    } catch (const EComPort& e) {
        EXPECT_STREQ(e.what(), "Unable to open com port (win error code: 2)");
    }
}

TEST_F(PtyFixture, RawBytesPassUnchangedBothWays) {
    TComPort port(std::make_unique<SerialDevicePosix>());
    test::ManualPump pump(port);
    std::vector<std::uint8_t> got;
    port.OnRxChar = [&](TComPort& p, int count) {
        std::vector<std::uint8_t> buf(static_cast<std::size_t>(count));
        const int n = p.ReadBytes(buf.data(), count);
        got.insert(got.end(), buf.begin(), buf.begin() + n);
    };
    port.SetPort("COM7");
    port.SetConnected(true);

    const std::vector<std::uint8_t> special = {0x00, 0x0D, 0x0A, 0x11, 0x13, 0x7B, 0x7D, 0xFF, 0x03, 0x1C, 0x7F};
    port.WriteBytes(special.data(), static_cast<int>(special.size()));
    EXPECT_EQ(ReadMaster(special.size()), special);

    ASSERT_EQ(::write(master, special.data(), special.size()), static_cast<ssize_t>(special.size()));
    ASSERT_TRUE(pump.PumpUntil([&] { return got.size() >= special.size(); }));
    EXPECT_EQ(got, special);

    std::uint8_t b = 0;
    EXPECT_EQ(port.ReadBytes(&b, 1), 0) << "a read with nothing queued returns at once";
    EXPECT_FALSE(port.TakeLineErrors().Any()) << "a terminal without line counters counts nothing";
    port.SetConnected(false);
}

TEST(DriverLineCounters, EachCounterThatMovedCountsItsKindOnce) {
    using Field = int DriverLineCounters::*;
    using Kind = bool LineErrorKinds::*;
    const std::pair<Field, Kind> pairs[] = {
        {&DriverLineCounters::overrun, &LineErrorKinds::overrun},
        {&DriverLineCounters::bufferOverrun, &LineErrorKinds::queueOverflow},
        {&DriverLineCounters::framing, &LineErrorKinds::framing},
        {&DriverLineCounters::parity, &LineErrorKinds::parity},
        {&DriverLineCounters::breaks, &LineErrorKinds::breaks},
    };
    const Kind kinds[] = {&LineErrorKinds::overrun, &LineErrorKinds::queueOverflow, &LineErrorKinds::framing,
                          &LineErrorKinds::parity, &LineErrorKinds::breaks};
    const DriverLineCounters before{5, 6, 7, 8, 9};
    for (const auto& [field, kind] : pairs) {
        DriverLineCounters now = before;
        now.*field += 40;  // many errors between two checks are one finding
        const LineErrorKinds found = LineErrorsBetween(before, now);
        for (Kind k : kinds) EXPECT_EQ(found.*k, k == kind);
    }
    const LineErrorKinds none = LineErrorsBetween(before, before);
    for (Kind k : kinds) EXPECT_FALSE(none.*k);

    DriverLineCounters atTheTop{}, wrapped{};
    atTheTop.parity = std::numeric_limits<int>::max();
    wrapped.parity = std::numeric_limits<int>::min();
    EXPECT_TRUE(LineErrorsBetween(atTheTop, wrapped).parity) << "a counter that wrapped still moved";

    int master = -1, slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    DriverLineCounters counters;
    EXPECT_FALSE(ReadDriverLineCounters(slave, counters)) << "pseudo-terminals keep no counters";
    ::close(slave);
    ::close(master);
}

TEST_F(PtyFixture, AWriteToAStalledLineReturnsWithinItsBound) {
    TComPort port(std::make_unique<SerialDevicePosix>());
    port.SetPort("COM7");
    port.SetConnected(true);
    const std::vector<std::uint8_t> chunk = FillUntilStalled(port);
    const auto start = std::chrono::steady_clock::now();
    const int n = port.WriteBytes(chunk.data(), 18);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(n, 18);
    EXPECT_GE(took, 2500ms);  // 100 ms per byte plus 1000 ms = 2800 ms
    EXPECT_LT(took, 6000ms);
    port.SetConnected(false);
}

TEST_F(PtyFixture, HangUpEndsTheEventThreadOnceWithoutBurningCpu) {
    TComPort port(std::make_unique<SerialDevicePosix>());
    test::ManualPump pump(port);
    int lost = 0;
    port.OnDeviceLost = [&](TComPort&) { ++lost; };
    port.SetPort("COM7");
    port.SetConnected(true);

    const double cpuBefore = CpuSeconds();
    ::close(master);  // the other side goes away
    master = -1;
    ASSERT_TRUE(pump.PumpUntil([&] { return lost > 0; }));
    pump.PumpUntil([] { return false; }, 500ms);  // would show a second report or spinning
    EXPECT_EQ(lost, 1);
    EXPECT_FALSE(port.EventThreadRunning());
    EXPECT_LT(CpuSeconds() - cpuBefore, 0.25);
    port.SetConnected(false);  // closing a lost device works
    EXPECT_FALSE(port.Connected());
}

TEST_F(PtyFixture, BytesQueuedBeforeOpeningAreDiscarded) {
    const std::string stale = "late reply of an earlier run";
    ASSERT_EQ(::write(master, stale.data(), stale.size()), static_cast<ssize_t>(stale.size()));
    TComPort port(std::make_unique<SerialDevicePosix>());
    test::ManualPump pump(port);
    std::string got;
    port.OnRxChar = [&](TComPort& p, int count) {
        std::string buf(static_cast<std::size_t>(count), '\0');
        const int n = p.ReadBytes(reinterpret_cast<std::uint8_t*>(buf.data()), count);
        got += buf.substr(0, static_cast<std::size_t>(n));
    };
    port.SetPort("COM7");
    port.SetConnected(true);
    ASSERT_EQ(::write(master, "now", 3), 3);
    ASSERT_TRUE(pump.PumpUntil([&] { return got.size() >= 3; }));
    EXPECT_EQ(got, "now");
    port.SetConnected(false);
}

TEST_F(PtyFixture, AnInterruptWakesAWriteWaitingForRoom) {
    TComPort port(std::make_unique<SerialDevicePosix>());
    port.SetPort("COM7");
    port.SetConnected(true);
    const std::vector<std::uint8_t> chunk = FillUntilStalled(port);
    std::thread interrupter([&] {
        std::this_thread::sleep_for(200ms);
        port.Interrupt();
    });
    // A time-out would return short; only the stop makes the waiting write fail.
    int systemCode = 0;
    try {
        port.WriteBytes(chunk.data(), 18);
    } catch (const EComPort& e) {
        EXPECT_EQ(e.ErrorCode(), 2);
        systemCode = e.SystemCode();
    }
    interrupter.join();
    EXPECT_EQ(systemCode, ECANCELED);
    EXPECT_TRUE(port.Interrupted());
    port.SetConnected(false);
    port.SetConnected(true);
    EXPECT_FALSE(port.Interrupted());
    port.SetConnected(false);
}

TEST_F(PtyFixture, AHangUpBetweenArrivalAndHandOverIsReportedAsALoss) {
    TComPort port(std::make_unique<SerialDevicePosix>());
    // The hand-over is held back until the other side has hung up.
    std::mutex m;
    std::condition_variable cv;
    bool arrived = false;
    port.SetHandoverNotifier([&] {
        std::lock_guard lock(m);
        arrived = true;
        cv.notify_all();
    });
    int lost = 0;
    port.OnRxChar = [](TComPort& p, int count) {
        std::vector<std::uint8_t> buf(static_cast<std::size_t>(count));
        p.ReadBytes(buf.data(), count);
    };
    port.OnDeviceLost = [&](TComPort&) { ++lost; };
    port.SetPort("COM7");
    port.SetConnected(true);
    ASSERT_EQ(::write(master, "x", 1), 1);
    {
        std::unique_lock lock(m);
        ASSERT_TRUE(cv.wait_for(lock, 3s, [&] { return arrived; }));
    }
    ::close(master);
    master = -1;
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    while (lost == 0 && std::chrono::steady_clock::now() < deadline) {
        port.RunPendingHandover();
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(lost, 1);
    EXPECT_TRUE(port.DeviceLost());
    EXPECT_NO_THROW(port.SetConnected(false));
    EXPECT_FALSE(port.Connected());
}
