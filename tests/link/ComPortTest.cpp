#include <gtest/gtest.h>

#include <cerrno>
#include <stdexcept>
#include <thread>

#include "link/ComPort.h"
#include "netport/NetworkPortError.h"
#include "serial/PortName.h"
#include "FakeSerialDevice.h"
#include "support/ManualPump.h"

using namespace orbiqa;
using namespace std::chrono_literals;

namespace {

struct PortFixture : ::testing::Test {
    FakeSerialDevice* dev = nullptr;
    std::unique_ptr<TComPort> port;
    int losses = 0;
    bool handlerThrew = false;
    void SetUp() override {
        auto d = std::make_unique<FakeSerialDevice>();
        dev = d.get();
        port = std::make_unique<TComPort>(std::move(d));
    }

    /// Opens the port with a handler that throws at the first arrival, which ends the event
    /// thread; losses are counted in `losses`. True once the handler threw and the thread ended.
    bool EndEventsByAThrowingHandler(test::ManualPump& pump) {
        port->OnRxChar = [this](TComPort&, int) {
            handlerThrew = true;
            throw std::runtime_error("handler");
        };
        port->OnDeviceLost = [this](TComPort&) { ++losses; };
        port->SetConnected(true);
        dev->Receive("x");
        if (!pump.PumpUntil([this] { return handlerThrew; })) return false;
        for (int i = 0; i < 200 && port->EventThreadRunning(); ++i) std::this_thread::sleep_for(10ms);
        return !port->EventThreadRunning();
    }
};

std::string ErrorOf(const std::function<void()>& f, int* code = nullptr) {
    try {
        f();
    } catch (const EComPort& e) {
        if (code) *code = e.ErrorCode();
        return e.what();
    }
    return "(no error)";
}

}  // namespace

TEST(ComPortName, NormalisationRule) {
    const std::pair<const char*, const char*> cases[] = {
        {"com3", "COM3"},  {"COM 7", "COM7"}, {"12", "COM12"},  {"COM0", "COM1"},
        {"COM97", "COM97"}, {"COMX", "COM1"},  {"", "COM1"},     {"Sajátport (COM5)", "COM1"},
        {"COM96", "COM96"}, {"COM$10", "COM16"}, {"cOm0x0A", "COM10"}, {"COM-3", "COM1"},
        {"COM5 ", "COM1"},
        // Every number Windows gives a port, COM105 from a PC that has seen many adapters.
        {"COM105", "COM105"}, {"com256", "COM256"}, {"COM257", "COM1"}, {"COM65536", "COM1"},
    };
    for (auto [in, out] : cases) EXPECT_EQ(TComPort::NormalisePortName(in), out) << in;
}

TEST(ComPortErrors, TextsAndSuffix) {
    EXPECT_STREQ(EComPort(1, 2).what(), "Unable to open com port (win error code: 2)");
    EXPECT_STREQ(EComPort(14, -1).what(), "Cannot set SyncMethod while connected");
    EXPECT_STREQ(EComPort(10, 5).what(), "ClearCommError function failed (win error code: 5)");
    EXPECT_EQ(ComPortErrorText(22), "A component is linked to OnRxBuf event");
    EXPECT_EQ(ComPortErrorText(0), "");
    EXPECT_EQ(ComPortErrorText(23), "");
}

TEST(ComPortErrors, NetworkFailureShowsItsTextAndAddressNotANumber) {
    EXPECT_STREQ(EComPort(CError_OpenFailed, kNetNameNotFound, "rfc2217://nowhere.lan:2217").what(),
                 "Unable to open com port: rfc2217://nowhere.lan:2217: the host name is not known");
    // Every network-only number is named, whichever step failed, and without an address the
    // text still replaces the meaningless number.
    EXPECT_STREQ(EComPort(CError_SetStateFailed, kNetOptionRefused, "rfc2217://[::1]:7000").what(),
                 "SetCommState function failed: rfc2217://[::1]:7000: the server refused the COM "
                 "port option (RFC 2217)");
    EXPECT_STREQ(EComPort(CError_OpenFailed, kNetServerClosed).what(),
                 "Unable to open com port: the server closed the connection at once (its serial "
                 "device may be missing)");
    // A local port's message keeps its number and never shows the name; so does a network
    // port's ordinary system error, and the numbers around the network range are ordinary.
    EXPECT_STREQ(EComPort(CError_OpenFailed, 2, "COM6").what(),
                 "Unable to open com port (win error code: 2)");
    EXPECT_STREQ(EComPort(CError_OpenFailed, 111, "socket://host:4001").what(),
                 "Unable to open com port (win error code: 111)");
    EXPECT_STREQ(EComPort(CError_OpenFailed, kNetErrorBase, "socket://host:4001").what(),
                 "Unable to open com port (win error code: 1313013760)");
    EXPECT_STREQ(EComPort(CError_HasLink, -1, "socket://host:4001").what(),
                 "A component is linked to OnRxBuf event");
}

TEST_F(PortFixture, OpenTwiceOpensOnceAndClosingWhileClosedDoesNothing) {
    port->SetConnected(false);
    EXPECT_EQ(dev->CloseCount(), 0);
    port->SetConnected(true);
    port->SetConnected(true);
    EXPECT_EQ(dev->OpenCount(), 1);
    EXPECT_TRUE(port->Connected());
    EXPECT_TRUE(port->EventThreadRunning());
    port->SetConnected(false);
    port->SetConnected(false);
    EXPECT_EQ(dev->CloseCount(), 1);
    EXPECT_FALSE(port->EventThreadRunning());
}

TEST_F(PortFixture, RenamingReopensOnlyOnARealChange) {
    port->SetPort("com4");
    port->SetConnected(true);
    EXPECT_EQ(dev->LastOpenedPort(), "COM4");
    port->SetPort("COM4");
    EXPECT_EQ(dev->OpenCount(), 1);
    port->SetPort("5");
    EXPECT_EQ(dev->OpenCount(), 2);
    EXPECT_EQ(dev->CloseCount(), 1);
    EXPECT_EQ(dev->LastOpenedPort(), "COM5");
    // A failing reopen leaves the port closed under the new name, and the error reaches the caller.
    dev->Fail().open = ENOENT;
    int code = 0;
    EXPECT_EQ(ErrorOf([&] { port->SetPort("COM6"); }, &code), "Unable to open com port (win error code: 2)");
    EXPECT_EQ(code, 1);
    EXPECT_FALSE(port->Connected());
    EXPECT_EQ(port->Port(), "COM6");
}

TEST_F(PortFixture, OpeningFailuresLeaveThePortClosed) {
    dev->Fail().open = EBUSY;
    EXPECT_EQ(ErrorOf([&] { port->SetConnected(true); }), "Unable to open com port (win error code: 16)");
    EXPECT_FALSE(port->Connected());
    dev->Fail().open = 0;

    const std::pair<int FakeSerialDevice::Failures::*, int> steps[] = {
        {&FakeSerialDevice::Failures::setupQueues, 9},
        {&FakeSerialDevice::Failures::lineSettings, 7},
        {&FakeSerialDevice::Failures::timeouts, 8},
    };
    for (auto [field, expected] : steps) {
        dev->Fail() = {};
        dev->Fail().*field = EIO;
        const int closesBefore = dev->CloseCount();
        int code = 0;
        ErrorOf([&] { port->SetConnected(true); }, &code);
        EXPECT_EQ(code, expected);
        EXPECT_FALSE(port->Connected());
        EXPECT_EQ(dev->CloseCount(), closesBefore + 1) << "the handle is closed again";
        EXPECT_FALSE(port->EventThreadRunning());
    }
}

TEST_F(PortFixture, NetworkPortThatCannotOpenNamesItsAddress) {
    dev->Fail().open = kNetResolveTimedOut;
    EXPECT_EQ(ErrorOf([&] { port->SetPort("SOCKET://serial-server:4001"); }), "(no error)");
    EXPECT_EQ(ErrorOf([&] { port->SetConnected(true); }),
              "Unable to open com port: socket://serial-server:4001: the host name could not be "
              "looked up in time");
    EXPECT_FALSE(port->Connected());
}

TEST_F(PortFixture, PurgeFailureKeepsThePortOpenAndClosedPortsRefuseIo) {
    port->SetConnected(true);
    dev->Fail().purge = EIO;
    int code = 0;
    ErrorOf([&] { port->SetConnected(false); }, &code);
    EXPECT_EQ(code, 5);
    EXPECT_TRUE(port->Connected());
    dev->Fail().purge = 0;
    port->SetConnected(false);

    std::uint8_t b = 0;
    ErrorOf([&] { port->WriteBytes(&b, 1); }, &code);
    EXPECT_EQ(code, 2);
    ErrorOf([&] { port->ReadBytes(&b, 1); }, &code);
    EXPECT_EQ(code, 3);
}

TEST_F(PortFixture, ReadReturnsAtOnceWithWhatIsQueued) {
    port->SetConnected(true);
    std::uint8_t buf[4] = {};
    EXPECT_EQ(port->ReadBytes(buf, 1), 0);
    const std::uint8_t frame[18] = {0x7B};
    EXPECT_EQ(port->WriteBytes(frame, 18), 18);
    EXPECT_EQ(dev->TakeWritten().size(), 18u);
}

TEST_F(PortFixture, ArrivalsAreHandedToTheUserThreadWithTheirCount) {
    test::ManualPump pump(*port);
    std::vector<std::uint8_t> got;
    std::thread::id handlerThread;
    port->OnRxChar = [&](TComPort& p, int count) {
        handlerThread = std::this_thread::get_id();
        std::vector<std::uint8_t> buf(static_cast<std::size_t>(count));
        got.insert(got.end(), buf.begin(), buf.begin() + p.ReadBytes(buf.data(), count));
    };
    port->SetConnected(true);
    dev->Receive(std::string("\x00\x0D\x11\x13", 4));
    ASSERT_TRUE(pump.PumpUntil([&] { return got.size() == 4; }));
    EXPECT_EQ(got, (std::vector<std::uint8_t>{0x00, 0x0D, 0x11, 0x13}));
    EXPECT_EQ(handlerThread, std::this_thread::get_id());
    port->SetConnected(false);
}

TEST_F(PortFixture, ClosingWithAPendingHandOverServesItInsteadOfDeadlocking) {
    test::ManualPump pump(*port);
    int delivered = 0;
    port->OnRxChar = [&](TComPort& p, int count) {
        std::vector<std::uint8_t> buf(static_cast<std::size_t>(count));
        p.ReadBytes(buf.data(), count);
        ++delivered;
    };
    port->SetConnected(true);
    dev->Receive("abc");
    // Wait until the event thread has asked, then close without pumping.
    for (int i = 0; i < 300 && pump.Notifications() == 0; ++i) std::this_thread::sleep_for(10ms);
    ASSERT_GT(pump.Notifications(), 0);
    port->SetConnected(false);
    // The close served the hand-over itself; the bytes were purged first, so none reached the
    // handler.
    EXPECT_EQ(delivered, 0);
    EXPECT_FALSE(port->EventThreadRunning());
    port->RunPendingHandover();  // the late queued call finds nothing to do
    EXPECT_EQ(delivered, 0);
}

TEST_F(PortFixture, ClosingFromInsideTheHandlerDoesNotDeadlock) {
    test::ManualPump pump(*port);
    bool closed = false;
    port->OnRxChar = [&](TComPort& p, int) {
        p.SetConnected(false);
        closed = true;
    };
    port->SetConnected(true);
    dev->Receive("x");
    ASSERT_TRUE(pump.PumpUntil([&] { return closed; }));
    EXPECT_FALSE(port->Connected());
    EXPECT_FALSE(port->EventThreadRunning());
}

TEST_F(PortFixture, DeviceLossIsReportedOnceAndTheOwnerCanClose) {
    test::ManualPump pump(*port);
    int lost = 0;
    port->OnDeviceLost = [&](TComPort& p) {
        ++lost;
        p.SetConnected(false);
    };
    port->SetConnected(true);
    dev->Fail().purge = EIO;  // a vanished device cannot be purged either
    dev->LoseDevice();
    ASSERT_TRUE(pump.PumpUntil([&] { return lost > 0; }));
    pump.PumpUntil([] { return false; }, 100ms);
    EXPECT_EQ(lost, 1);
    EXPECT_FALSE(port->Connected());
}

TEST_F(PortFixture, ADeviceFailingBetweenArrivalAndHandOverIsALossAndCloseSucceeds) {
    test::ManualPump pump(*port);
    int lost = 0;
    int delivered = 0;
    port->OnRxChar = [&](TComPort&, int) { ++delivered; };
    port->OnDeviceLost = [&](TComPort&) { ++lost; };
    port->SetConnected(true);
    dev->FailAfterNextArrival();  // the pending count and the purge fail with EIO from here on
    dev->Receive("x");
    ASSERT_TRUE(pump.PumpUntil([&] { return lost > 0; }));
    pump.PumpUntil([] { return false; }, 100ms);
    EXPECT_EQ(lost, 1);
    EXPECT_EQ(delivered, 0);
    EXPECT_TRUE(port->DeviceLost());
    EXPECT_TRUE(port->Connected());
    EXPECT_NO_THROW(port->SetConnected(false));
    EXPECT_FALSE(port->Connected());
    EXPECT_TRUE(port->DeviceLost());  // still tells why, until the next opening
}

TEST_F(PortFixture, ACloseFindsAVanishedDeviceEvenWhenNothingReportedIt) {
    port->SetConnected(true);
    dev->Fail().purge = EIO;
    dev->Fail().pending = EIO;
    EXPECT_NO_THROW(port->SetConnected(false));
    EXPECT_FALSE(port->Connected());
}

TEST_F(PortFixture, AFailedDeliveryNotCausedByTheDeviceEndsTheEventsButIsNoLoss) {
    test::ManualPump pump(*port);
    ASSERT_TRUE(EndEventsByAThrowingHandler(pump));
    EXPECT_FALSE(port->EventThreadRunning());
    EXPECT_TRUE(port->Connected());
    EXPECT_EQ(losses, 0);
    EXPECT_FALSE(port->DeviceLost());
    port->SetConnected(false);
}

// Some drivers never end a pending wait when their adapter is pulled; the system's removal
// report must end the link as a loss all the same, once.
TEST_F(PortFixture, ARemovalReportEndsTheLinkAsALossThoughTheWaitNeverEnds) {
    test::ManualPump pump(*port);
    int lost = 0;
    port->OnDeviceLost = [&](TComPort& p) {
        ++lost;
        p.SetConnected(false);
    };
    port->DeviceRemoved();  // closed: nothing to end
    port->SetConnected(true);
    port->DeviceRemoved();
    port->DeviceRemoved();
    ASSERT_TRUE(pump.PumpUntil([&] { return lost > 0; }));
    pump.PumpUntil([] { return false; }, 100ms);
    EXPECT_EQ(lost, 1);
    EXPECT_TRUE(port->DeviceLost());
    EXPECT_FALSE(port->Connected());

    // Opened again: a stop the port asks for is no loss.
    port->SetConnected(true);
    EXPECT_FALSE(port->DeviceLost());
    port->SetConnected(false);
    EXPECT_FALSE(port->DeviceLost());
    EXPECT_EQ(lost, 1);
}

TEST_F(PortFixture, ARemovalReportAfterTheEventsEndedIsStillALoss) {
    test::ManualPump pump(*port);
    ASSERT_TRUE(EndEventsByAThrowingHandler(pump));
    ASSERT_FALSE(port->EventThreadRunning());
    port->DeviceRemoved();
    ASSERT_TRUE(pump.PumpUntil([&] { return losses > 0; }));
    EXPECT_TRUE(port->DeviceLost());
    EXPECT_NO_THROW(port->SetConnected(false));
}

TEST_F(PortFixture, BytesQueuedBeforeOpeningAreNeverDelivered) {
    test::ManualPump pump(*port);
    std::string got;
    port->OnRxChar = [&](TComPort& p, int count) {
        std::string buf(static_cast<std::size_t>(count), '\0');
        p.ReadBytes(reinterpret_cast<std::uint8_t*>(buf.data()), count);
        got += buf;
    };
    dev->Receive("stale reply");
    port->SetConnected(true);
    dev->Receive("fresh");
    ASSERT_TRUE(pump.PumpUntil([&] { return got.size() >= 5; }));
    EXPECT_EQ(got, "fresh");

    port->SetConnected(false);
    dev->Fail().purge = EIO;  // an opening that cannot discard them fails as a whole
    try {
        port->SetConnected(true);
        FAIL();
    } catch (const EComPort& e) {
        EXPECT_EQ(e.ErrorCode(), CError_PurgeFailed);
    }
    EXPECT_FALSE(port->Connected());
}

TEST_F(PortFixture, DestroyingAnOpenPortClosesIt) {
    bool closed = false;
    dev->onClose = [&] { closed = true; };
    port->SetConnected(true);
    port.reset();
    EXPECT_TRUE(closed);
}
