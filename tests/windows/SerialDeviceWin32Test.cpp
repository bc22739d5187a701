// SerialDeviceWin32 over a driver with the documented Windows behaviour, for what Wine's serial
// emulation on a pseudo-terminal cannot show: exclusive opening, waits that stay pending until
// an arrival, and the errors of an unplugged adapter.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "FakeCommDriver.h"
#include "link/ComPort.h"
#include "support/ManualPump.h"
#include "serial/PortLinks.h"
#include "portdevice/SystemSerialDevice.h"
#include "serial/SerialDeviceWin32.h"

using namespace orbiqa;
using namespace std::chrono_literals;
using WaitResult = SerialDevice::WaitResult;

namespace {

constexpr auto kNoResultYet = 100ms;
constexpr auto kResultDue = 3s;

struct DeviceFixture : ::testing::Test {
    test::FakeCommDriver driver;
    std::unique_ptr<SerialDeviceWin32> device;

    void SetUp() override {
        driver.AddPort("COM3");
        device = std::make_unique<SerialDeviceWin32>(driver.Functions());
        ASSERT_EQ(device->Open("COM3"), 0);
        ASSERT_EQ(device->SetupQueues(1024, 1024), 0);
        ASSERT_EQ(device->ApplyLineSettings(), 0);
        ASSERT_EQ(device->ApplyTimeouts(100, 1000), 0);
        device->ResetStop();
    }
    // The event thread's wait, run on its own thread as the port runs it.
    std::future<WaitResult> StartWait() {
        return std::async(std::launch::async, [this] { return device->WaitForEvent(); });
    }
};

bool Finishes(std::future<WaitResult>& wait, std::chrono::milliseconds within) {
    return wait.wait_for(within) == std::future_status::ready;
}

}  // namespace

TEST(SerialDeviceWin32Open, ExclusiveByDevicePathWithClearErrors) {
    test::FakeCommDriver driver;
    driver.AddPort("COM12");
    SerialDeviceWin32 first(driver.Functions()), second(driver.Functions());

    EXPECT_EQ(first.Open("COM12"), 0);
    // The device path is what lets COM10 and above open; overlapped, so waits can be stopped.
    const auto opening = driver.Openings().back();
    EXPECT_EQ(opening.path, "\\\\.\\COM12");
    EXPECT_EQ(opening.share, 0u);
    EXPECT_TRUE(opening.flags & FILE_FLAG_OVERLAPPED);

    EXPECT_EQ(second.Open("COM12"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(first.Open("COM12"), ERROR_BUSY);
    EXPECT_EQ(second.Open("COM4"), ERROR_FILE_NOT_FOUND);
    first.Close();
    first.Close();
    EXPECT_EQ(second.Open("COM12"), 0);
    EXPECT_EQ(driver.OpenHandles(), 1);
}

TEST(SerialDeviceWin32Open, MessagesNameTheWindowsDeviceAndError) {
    EXPECT_EQ(ResolvePortDevice("COM12"), "\\\\.\\COM12");
    EXPECT_EQ(ResolvePortDevice("COMX"), std::nullopt);
    EXPECT_EQ(ResolvePortDevice("LPT1"), std::nullopt);
    // A refused opening means another program holds the port: no hint about permissions.
    EXPECT_FALSE(IsPermissionDenied(ERROR_ACCESS_DENIED));
    EXPECT_EQ(PortFailureOf(ERROR_ACCESS_DENIED), PortFailure::Busy);
    EXPECT_EQ(PortFailureOf(ERROR_FILE_NOT_FOUND), PortFailure::NotFound);
    EXPECT_EQ(PortFailureOf(ERROR_BAD_COMMAND), PortFailure::Gone);
    EXPECT_EQ(PortFailureOf(ERROR_INVALID_PARAMETER), PortFailure::Other);
    const std::string text = SystemErrorText(ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(text.empty());
    EXPECT_NE(text.back(), '\n');
    EXPECT_NE(text.back(), '.');
    EXPECT_EQ(SystemErrorText(0x7FFFFFF0), "system error 2147483632");
}

TEST_F(DeviceFixture, LineSettingsAndTimeouts) {
    const DCB dcb = driver.LineSettings();
    EXPECT_EQ(dcb.BaudRate, 19200u);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    EXPECT_TRUE(dcb.fBinary);
    EXPECT_FALSE(dcb.fOutxCtsFlow || dcb.fOutxDsrFlow || dcb.fOutX || dcb.fInX || dcb.fParity);
    EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
    EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_ENABLE));
    EXPECT_FALSE(dcb.fAbortOnError || dcb.fErrorChar || dcb.fNull || dcb.fDsrSensitivity);
    // What the line does not need stays as the driver had it.
    EXPECT_EQ(dcb.XonLim, 2048);
    EXPECT_EQ(dcb.XoffLim, 512);
    EXPECT_EQ(dcb.EofChar, 0x1A);
    EXPECT_EQ(dcb.EvtChar, '\n');
    const COMMTIMEOUTS t = driver.Timeouts();
    EXPECT_EQ(t.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(t.ReadTotalTimeoutMultiplier + t.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(t.WriteTotalTimeoutMultiplier, 100u);
    EXPECT_EQ(t.WriteTotalTimeoutConstant, 1000u);
}

// Some USB serial drivers refuse a line record whose fields they own differ from theirs.
TEST(SerialDeviceWin32Line, ADriverThatRefusesForeignFieldsAcceptsTheLineSettings) {
    test::FakeCommDriver driver;
    driver.AddPort("COM4");
    driver.RejectForeignLineSettings();
    SerialDeviceWin32 device(driver.Functions());
    ASSERT_EQ(device.Open("COM4"), 0);
    ASSERT_EQ(device.SetupQueues(1024, 1024), 0);
    EXPECT_EQ(device.ApplyLineSettings(), 0);
    EXPECT_EQ(driver.LineSettings().BaudRate, 19200u);
}

TEST_F(DeviceFixture, LineErrorsAreCountedUntilTaken) {
    int error = 0;
    EXPECT_FALSE(device->TakeLineErrors().Any());
    driver.LineError(CE_OVERRUN | CE_FRAME);
    EXPECT_EQ(device->PendingInput(error), 0);
    driver.LineError(CE_FRAME | CE_RXPARITY | CE_RXOVER | CE_BREAK);
    EXPECT_EQ(device->PendingInput(error), 0);
    const LineErrorCounts counts = device->TakeLineErrors();
    EXPECT_EQ(counts.overrun, 1u);
    EXPECT_EQ(counts.framing, 2u);
    EXPECT_EQ(counts.parity, 1u);
    EXPECT_EQ(counts.queueOverflow, 1u);
    EXPECT_EQ(counts.breaks, 1u);
    EXPECT_FALSE(device->TakeLineErrors().Any());

    // Errors of a connection that ended untaken are not the next one's.
    driver.LineError(CE_BREAK);
    EXPECT_EQ(device->PendingInput(error), 0);
    device->Close();
    ASSERT_EQ(device->Open("COM3"), 0);
    EXPECT_FALSE(device->TakeLineErrors().Any());
}

// A read that does not complete at once (a driver ignoring the read time-outs) ends on a stop,
// and its request is cancelled and waited for.
TEST_F(DeviceFixture, AHeldReadEndsOnAStop) {
    driver.HoldReads();
    auto read = std::async(std::launch::async, [&] {
        std::uint8_t in[4];
        int error = 0;
        const long n = device->Read(in, sizeof in, error);
        return n < 0 ? static_cast<long>(-error) : n;
    });
    EXPECT_EQ(read.wait_for(kNoResultYet), std::future_status::timeout);
    device->StopWaiting();
    ASSERT_EQ(read.wait_for(kResultDue), std::future_status::ready);
    EXPECT_EQ(read.get(), -static_cast<long>(ERROR_OPERATION_ABORTED));
    EXPECT_FALSE(driver.ReadPending());
}

// A driver that completes cancelled requests late writes into their records then: the device
// must not have freed them (the record's event is still a valid handle when the driver ends it).
TEST_F(DeviceFixture, RequestsTheDriverKeepsAfterACancelAreNeverFreedUnderIt) {
    // The device waits a while for the driver before it gives a request up.
    constexpr auto kGivenUpDue = 20s;
    driver.IgnoreCancels();
    driver.HoldWrites();
    const std::uint8_t bytes[] = {1, 2, 3};
    auto write = std::async(std::launch::async, [&] {
        int error = 0;
        return device->Write(bytes, sizeof bytes, error) < 0 ? error : 0;
    });
    EXPECT_EQ(write.wait_for(kNoResultYet), std::future_status::timeout);
    device->StopWaiting();
    ASSERT_EQ(write.wait_for(kGivenUpDue), std::future_status::ready);
    EXPECT_EQ(write.get(), static_cast<int>(ERROR_OPERATION_ABORTED));
    EXPECT_TRUE(driver.WritePending());
    EXPECT_TRUE(driver.FinishCancelled());

    // The same for the arrival wait that neither the mask nor a cancel ends: the next watch
    // uses a record of its own.
    device->ResetStop();
    auto wait = StartWait();
    EXPECT_FALSE(Finishes(wait, kNoResultYet));
    device->StopWaiting();
    ASSERT_TRUE(Finishes(wait, kGivenUpDue));
    EXPECT_EQ(wait.get(), WaitResult::Stopped);
    EXPECT_TRUE(driver.WaitPending());
    EXPECT_TRUE(driver.FinishCancelled());
}

TEST_F(DeviceFixture, TransfersCompleteThroughTheirOwnWait) {
    int error = 0;
    const std::uint8_t bytes[] = {0x00, 0x0D, 0x11, 0x13};
    EXPECT_EQ(device->Write(bytes, 4, error), 4);
    EXPECT_EQ(driver.Written(), std::string("\x00\x0D\x11\x13", 4));
    // A write ended by its time-out reports what went out; the port decides what that means.
    driver.LimitWrites(2);
    EXPECT_EQ(device->Write(bytes, 4, error), 2);

    std::uint8_t in[8] = {};
    EXPECT_EQ(device->PendingInput(error), 0);
    EXPECT_EQ(device->Read(in, sizeof in, error), 0);  // an empty queue returns at once
    driver.Arrive("abc");
    EXPECT_EQ(device->PendingInput(error), 3);
    EXPECT_EQ(device->Read(in, 2, error), 2);
    EXPECT_EQ(device->Read(in + 2, sizeof in, error), 1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(in), 3), "abc");
}

TEST_F(DeviceFixture, ArrivalsEndPendingWaitsAndEarlierOnesAreKept) {
    auto wait = StartWait();
    EXPECT_FALSE(Finishes(wait, kNoResultYet));
    driver.Arrive("x");
    ASSERT_TRUE(Finishes(wait, kResultDue));
    EXPECT_EQ(wait.get(), WaitResult::Arrival);

    // Bytes that come while nobody waits complete the next wait at once.
    driver.Arrive("y");
    auto next = StartWait();
    ASSERT_TRUE(Finishes(next, kResultDue));
    EXPECT_EQ(next.get(), WaitResult::Arrival);
}

TEST_F(DeviceFixture, StopEndsAPendingWaitAndReleasesTheDriversRecord) {
    auto wait = StartWait();
    EXPECT_FALSE(Finishes(wait, kNoResultYet));
    device->StopWaiting();
    ASSERT_TRUE(Finishes(wait, kResultDue));
    EXPECT_EQ(wait.get(), WaitResult::Stopped);
    // The driver no longer holds the wait, watches nothing, and the queues were cleared.
    EXPECT_FALSE(driver.WaitPending());
    EXPECT_EQ(driver.Mask(), 0u);
    EXPECT_EQ(driver.Purges().back(), static_cast<DWORD>(PURGE_TXCLEAR | PURGE_RXCLEAR));

    // Stopped and arrived together: the stop wins.
    device->ResetStop();
    driver.Arrive("z");
    device->StopWaiting();
    EXPECT_EQ(device->WaitForEvent(), WaitResult::Stopped);
}

TEST_F(DeviceFixture, AWriteWaitingForRoomEndsOnAStopOrAnUnplug) {
    driver.HoldWrites();
    const std::uint8_t bytes[] = {0x00, 0x0D, 0x11, 0x13};
    auto write = [&] {
        return std::async(std::launch::async, [&] {
            int error = 0;
            const long n = device->Write(bytes, sizeof bytes, error);
            return n < 0 ? static_cast<long>(-error) : n;
        });
    };
    auto held = write();
    EXPECT_EQ(held.wait_for(kNoResultYet), std::future_status::timeout);
    device->StopWaiting();
    ASSERT_EQ(held.wait_for(kResultDue), std::future_status::ready);
    EXPECT_EQ(held.get(), -static_cast<long>(ERROR_OPERATION_ABORTED));
    EXPECT_FALSE(driver.WritePending());  // cancelled and taken back, not left to the driver

    device->ResetStop();
    auto lost = write();
    EXPECT_EQ(lost.wait_for(kNoResultYet), std::future_status::timeout);
    driver.Unplug(ERROR_BAD_COMMAND);
    ASSERT_EQ(lost.wait_for(kResultDue), std::future_status::ready);
    EXPECT_EQ(lost.get(), -static_cast<long>(ERROR_BAD_COMMAND));
}

TEST_F(DeviceFixture, UnpluggedAdapterIsLostWhicheverErrorItsDriverUses) {
    struct Case {
        DWORD error;
        bool whileWaiting;
        WaitResult expected;
    };
    const Case cases[] = {
        {ERROR_OPERATION_ABORTED, true, WaitResult::Lost},
        {ERROR_ACCESS_DENIED, true, WaitResult::Lost},
        {ERROR_BAD_COMMAND, true, WaitResult::Lost},
        {ERROR_OPERATION_ABORTED, false, WaitResult::Lost},
        {ERROR_GEN_FAILURE, true, WaitResult::Failed},
        {ERROR_GEN_FAILURE, false, WaitResult::Failed},
    };
    for (const Case& c : cases) {
        test::FakeCommDriver driver2;
        driver2.AddPort("COM3");
        SerialDeviceWin32 dev(driver2.Functions());
        ASSERT_EQ(dev.Open("COM3"), 0);
        dev.ApplyTimeouts(100, 1000);
        dev.ResetStop();
        WaitResult result{};
        if (c.whileWaiting) {
            auto wait = std::async(std::launch::async, [&] { return dev.WaitForEvent(); });
            EXPECT_FALSE(Finishes(wait, kNoResultYet));
            driver2.Unplug(c.error);
            ASSERT_TRUE(Finishes(wait, kResultDue)) << c.error;
            result = wait.get();
        } else {
            driver2.Unplug(c.error);
            result = dev.WaitForEvent();
        }
        EXPECT_EQ(result, c.expected)
            << "error " << c.error << (c.whileWaiting ? " while waiting" : " at once");
        // Closing a vanished device still releases it.
        dev.Close();
        EXPECT_EQ(driver2.OpenHandles(), 0);
    }
}

TEST(SerialDeviceWin32Port, UnplugIsReportedOnceAndThePortStillCloses) {
    test::FakeCommDriver driver;
    driver.AddPort("COM3");
    TComPort port(std::make_unique<SerialDeviceWin32>(driver.Functions()));
    test::ManualPump pump(port);
    int lost = 0;
    port.OnDeviceLost = [&](TComPort&) { ++lost; };
    port.SetPort("COM3");
    driver.Arrive("stale");
    port.SetConnected(true);
    // Opening clears what the line held before and what an earlier user left pending.
    ASSERT_FALSE(driver.Purges().empty());
    EXPECT_TRUE(driver.Purges().front() & PURGE_RXCLEAR);
    for (int i = 0; i < 300 && !driver.WaitPending(); ++i) std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(driver.WaitPending());
    driver.Unplug(ERROR_ACCESS_DENIED);
    EXPECT_TRUE(pump.PumpUntil([&] { return lost > 0; }));
    pump.PumpUntil([] { return false; }, 200ms);  // nothing more comes
    EXPECT_EQ(lost, 1);
    EXPECT_NO_THROW(port.SetConnected(false));
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(driver.OpenHandles(), 0);
}
