#include <gtest/gtest.h>

#include "FakeRegistry.h"
#include "ports/DeviceManagerPorts.h"
#include "ports/SorosKeres.h"

using namespace orbiqa;
using namespace orbiqa::test;

TEST(DeviceManagerPorts, UsbIdsFromTheHardwareId) {
    EXPECT_EQ(UsbIdsOf("USB\\VID_0403&PID_6001&REV_0600"), "USB 0403:6001");
    EXPECT_EQ(UsbIdsOf("FTDIBUS\\COMPORT&VID_0403&PID_6015"), "USB 0403:6015");
    EXPECT_EQ(UsbIdsOf("FTDIBUS\\VID_0403+PID_6001+A50285BIA"), "USB 0403:6001");
    EXPECT_EQ(UsbIdsOf("usb\\vid_10C4&pid_ea60"), "USB 10c4:ea60");
    // Built-in ports, a vendor without a product, digits that are not four hex digits, and a
    // "VID_" that is part of another word carry no USB IDs.
    for (const char* none : {"ACPI\\PNP0501", "", "USB\\VID_0403", "USB\\VID_04&PID_6001",
                             "USB\\VID_04G3&PID_6001", "X\\XVID_0403&PID_6001"})
        EXPECT_EQ(UsbIdsOf(none), "") << none;
}

TEST(DeviceManagerPorts, TheScanListsDeviceManagersNamesExactly) {
    auto view = std::make_shared<MemoryRegistry>();
    const std::string hungarian = "Kommunik\xE1" "ci\xF3s port (COM1)";  // Windows-1250
    ShowPortDevices({{"ACPI\\PNP0501\\0", hungarian, "(Szabv\xE1nyos portt\xEDpusok)", "ACPI\\PNP0501"},
                     {"FTDIBUS\\VID_0403+PID_6001+A1\\0000", "USB Serial Port (COM105)", "FTDI",
                      "FTDIBUS\\COMPORT&VID_0403&PID_6001"},
                     {"USB\\VID_10C4&PID_EA60\\1", "CP210x (COM7)", "", "USB\\VID_10C4&PID_EA60&REV_0100"},
                     {"", "No instance (COM9)", "x", ""},
                     {"ROOT\\PORTS\\0001", "", "no name", ""}},
                    *view);
    MarkPresent(*view, "Serial0", "COM1");
    MarkPresent(*view, "VCP0", "COM105");
    SorosKeres keres(view);
    PortRecords list;
    keres.BuildPortList(list);
    EXPECT_EQ(list, (PortRecords{"+" + hungarian + ";(Szabv\xE1nyos portt\xEDpusok)", "-CP210x (COM7);USB 10c4:ea60",
                                 "+USB Serial Port (COM105);FTDI - USB 0403:6001"}));

    // A new list replaces the old one whole.
    ShowPortDevices({}, *view);
    keres.RescanDevices();
    keres.BuildPortList(list);
    EXPECT_TRUE(list.empty());
}
