// The device notifications as Windows delivers them: WM_DEVICECHANGE sent to the watcher's hidden
// window, with the structures the system passes.
#include <gtest/gtest.h>

#include <windows.h>
#include <dbt.h>

#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>

#include "ports/DeviceWatcherWin32.h"

using namespace orbiqa;

namespace {

class Notifications : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(watcher_.Start([this](const DeviceEvent& e) {
            std::lock_guard lock(mutex_);
            events_.push_back(e);
        }));
        window_ = FindWindowW(DeviceWatcherWin32::kWindowClass, nullptr);
        ASSERT_NE(window_, nullptr);
    }
    // Sent, not posted: the watcher's thread has run the listener when this returns.
    void Send(WPARAM what, const void* data) {
        SendMessageW(window_, WM_DEVICECHANGE, what, reinterpret_cast<LPARAM>(data));
    }
    static DEV_BROADCAST_PORT_W* Port(std::vector<unsigned char>& buffer, const wchar_t* name) {
        buffer.assign(sizeof(DEV_BROADCAST_PORT_W) + (wcslen(name) + 1) * sizeof(wchar_t), 0);
        auto* port = reinterpret_cast<DEV_BROADCAST_PORT_W*>(buffer.data());
        port->dbcp_size = static_cast<DWORD>(buffer.size());
        port->dbcp_devicetype = DBT_DEVTYP_PORT;
        std::memcpy(port->dbcp_name, name, (wcslen(name) + 1) * sizeof(wchar_t));
        return port;
    }
    std::deque<DeviceEvent> Taken() {
        std::lock_guard lock(mutex_);
        return std::exchange(events_, {});
    }

    DeviceWatcherWin32 watcher_;
    HWND window_ = nullptr;
    std::mutex mutex_;
    std::deque<DeviceEvent> events_;
};

}  // namespace

TEST_F(Notifications, PortsArrivingAndGoingAreReportedByTheirComName) {
    std::vector<unsigned char> buffer;
    Send(DBT_DEVICEARRIVAL, Port(buffer, L"COM7"));
    Send(DBT_DEVICEREMOVECOMPLETE, Port(buffer, L"COM7"));
    auto events = Taken();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].kind, DeviceEvent::Kind::Arrived);
    EXPECT_EQ(events[0].comName, "COM7");
    EXPECT_EQ(events[0].devicePath, "\\\\.\\COM7");
    EXPECT_FALSE(events[0].portLink);
    EXPECT_EQ(events[1].kind, DeviceEvent::Kind::Removed);
    EXPECT_EQ(events[1].comName, "COM7");

    // The COM port interface names a device path only: reported, for a scan, without a name.
    DEV_BROADCAST_DEVICEINTERFACE_W iface{};
    iface.dbcc_size = sizeof iface;
    iface.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    Send(DBT_DEVICEREMOVECOMPLETE, &iface);
    events = Taken();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, DeviceEvent::Kind::Removed);
    EXPECT_TRUE(events[0].comName.empty());
}

TEST_F(Notifications, OtherNotificationsAreNoReports) {
    std::vector<unsigned char> buffer;
    Send(DBT_DEVICEARRIVAL, Port(buffer, L"LPT1"));        // a printer port
    Send(DBT_DEVICEQUERYREMOVE, Port(buffer, L"COM7"));    // asked, not gone
    Send(DBT_DEVNODES_CHANGED, nullptr);                   // no data at all
    DEV_BROADCAST_HDR volume{};
    volume.dbch_size = sizeof volume;
    volume.dbch_devicetype = DBT_DEVTYP_VOLUME;
    Send(DBT_DEVICEARRIVAL, &volume);
    EXPECT_TRUE(Taken().empty());

    // Stopped, the window is gone and nothing more is reported.
    watcher_.Stop();
    EXPECT_EQ(FindWindowW(DeviceWatcherWin32::kWindowClass, nullptr), nullptr);
}
