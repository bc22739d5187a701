#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "base/FileStore.h"
#include "serial/PortLinkOwner.h"
#include "serial/PortLinks.h"
#include "ports/RegistryReaderPosix.h"
#include "ports/SorosKeres.h"
#include "support/PrivateSettingsFolder.h"

using namespace orbiqa;
namespace fs = std::filesystem;

namespace {

// A port-link folder of its own under a temporary XDG_CONFIG_HOME, and a device list the test
// changes at will.
class LinuxReader : public ::testing::Test {
protected:
    void SetUp() override {
        links_ = config_.PortLinkFolder();
        fs::create_directories(links_);
        registry_ = std::make_shared<RegistryReaderPosix>([this] { return devices_; });
        keres_ = std::make_unique<SorosKeres>(registry_);
    }
    void TearDown() override {
        for (int fd : terminals_) close(fd);
    }

    PortRecords List() {
        PortRecords list;
        keres_->BuildPortList(list);
        return list;
    }
    void Link(const std::string& name, const std::string& target) { fs::create_symlink(target, links_ / name); }
    // A pseudo-terminal that exists while its controlling side is open, as the simulator's does.
    std::string OpenTerminal(int& fd) {
        fd = posix_openpt(O_RDWR | O_NOCTTY);
        EXPECT_GE(fd, 0);
        EXPECT_EQ(grantpt(fd), 0);
        EXPECT_EQ(unlockpt(fd), 0);
        terminals_.push_back(fd);
        return ptsname(fd);
    }
    // A terminal that stays open for the test, and the name the list gives its link to COM<n>.
    std::string Terminal(int n, std::string& record) {
        int fd = -1;
        const std::string path = OpenTerminal(fd);
        record = "Pseudo terminal - " + path.substr(5) + " (COM" + std::to_string(n) + ");(Orbiqa port link)";
        return path;
    }
    void CloseTerminal(int fd) {
        std::erase(terminals_, fd);
        close(fd);
    }

    std::vector<SerialDeviceFacts> devices_;
    std::shared_ptr<RegistryReaderPosix> registry_;
    std::unique_ptr<SorosKeres> keres_;
    testsupport::PrivateSettingsFolder config_;
    fs::path links_;
    std::vector<int> terminals_;
};

}  // namespace

TEST_F(LinuxReader, DevicesAsTheRegistryShowsThem) {
    devices_ = {
        {"/dev/ttyUSB0", "FT232R USB UART", "FTDI"},
        {"/dev/ttyS0", "", ""},
        {"/dev/ttyAMA0", "PL011", "ARM"},  // no COM number: cannot be opened by one, not listed
        {"/dev/ttyACM1", "M\xC3\xBCszer \xE6\x97\xA5", "Gy\xC3\xA1rt\xC3\xB3"},
    };
    keres_->RescanDevices();
    EXPECT_EQ(*keres_->DeviceList(), (PortRecords{"Communications Port - ttyS0 (COM1);",
                                                  "FT232R USB UART - ttyUSB0 (COM33);FTDI",
                                                  // Windows-1250, with "?" for what it cannot hold
                                                  "M\xFCszer ? - ttyACM1 (COM66);Gy\xE1rt\xF3"}));

    const auto key = registry_->OpenKey("\\SYSTEM\\CurrentControlSet\\Enum\\TTY\\ttyUSB0");
    EXPECT_EQ(key->ReadString("Class"), "Ports");
    EXPECT_EQ(key->ReadString("FriendlyName"), "FT232R USB UART - ttyUSB0 (COM33)");
    EXPECT_EQ(key->ReadString("Mfg"), "FTDI");
    EXPECT_TRUE(registry_->KeyExists("\\Hardware\\DeviceMap\\SerialComm"));
}

TEST_F(LinuxReader, UnpluggedDevicesStayKnownButAbsent) {
    devices_ = {{"/dev/ttyUSB0", "FT232R USB UART", "FTDI"}, {"/dev/ttyUSB1", "CP2102", "Silicon Labs"}};
    EXPECT_EQ(List(), (PortRecords{"+FT232R USB UART - ttyUSB0 (COM33);FTDI", "+CP2102 - ttyUSB1 (COM34);Silicon Labs"}));
    devices_.erase(devices_.begin());
    EXPECT_EQ(List(), (PortRecords{"-FT232R USB UART - ttyUSB0 (COM33);FTDI", "+CP2102 - ttyUSB1 (COM34);Silicon Labs"}));
    keres_->RescanDevices();
    EXPECT_EQ(List(), (PortRecords{"-FT232R USB UART - ttyUSB0 (COM33);FTDI", "+CP2102 - ttyUSB1 (COM34);Silicon Labs"}));
}

TEST_F(LinuxReader, PortLinksComeAndGo) {
    int fd = -1;
    const std::string terminal = OpenTerminal(fd);
    const std::string linuxName = terminal.substr(5);  // "pts/N"
    Link("COM7", terminal);
    Link("COM8", "/dev/null");  // character devices, but no terminals: no ports
    Link("COM10", "/dev/zero");
    Link("COM9", "/dev/orbiqa-no-such-device");  // known, but its device is not there
    Link("COM07", terminal);                      // not a name a port is opened by
    Link("COM257", terminal);                     // beyond the port numbers
    std::ofstream(links_ / "COM5") << "not a link";
    const std::string com7 = "Pseudo terminal - " + linuxName + " (COM7);(Orbiqa port link)";
    const std::string com8 = "Port link - null (COM8);(Orbiqa port link)";
    const std::string com9 = "Port link - orbiqa-no-such-device (COM9);(Orbiqa port link)";
    const std::string com10 = "Port link - zero (COM10);(Orbiqa port link)";
    EXPECT_EQ(List(), (PortRecords{"+" + com7, "-" + com8, "-" + com9, "-" + com10}));
    EXPECT_TRUE(IsTerminalDevice(terminal));
    EXPECT_FALSE(IsTerminalDevice("/dev/null"));

    // The simulator ends: its terminal goes, its link may stay; then the link goes too.
    CloseTerminal(fd);
    EXPECT_EQ(List(), (PortRecords{"-" + com7, "-" + com8, "-" + com9, "-" + com10}));
    fs::remove(links_ / "COM7");
    EXPECT_EQ(List(), (PortRecords{"-" + com7, "-" + com8, "-" + com9, "-" + com10}));
}

TEST_F(LinuxReader, LinksGiveTheNumbersAboveTheFixedRule) {
    std::string com105;
    Link("COM105", Terminal(105, com105));
    Link("COM256", "/dev/orbiqa-no-such-device");
    EXPECT_EQ(List(), (PortRecords{"+" + com105,
                                   "-Port link - orbiqa-no-such-device (COM256);(Orbiqa port link)"}));
    EXPECT_EQ(ResolvePortDevice("COM105"), (links_ / "COM105").string());
    EXPECT_FALSE(FixedDeviceForPort("COM105"));
}

TEST_F(LinuxReader, ALinkTakesTheNumberOfTheDeviceItReplaces) {
    devices_ = {{"/dev/ttyUSB0", "FT232R USB UART", "FTDI"}, {"/dev/ttyUSB1", "CP2102", "Silicon Labs"}};
    EXPECT_EQ(List().size(), 2u);
    std::string com33;
    Link("COM33", Terminal(33, com33));
    keres_->RescanDevices();
    EXPECT_EQ(List(), (PortRecords{"+" + com33,
                                   "+CP2102 - ttyUSB1 (COM34);Silicon Labs"}));
}

TEST_F(LinuxReader, OneRowPerPortNumberDescribingWhatItOpensNow) {
    devices_ = {{"/dev/ttyUSB0", "FT232R USB UART", "FTDI"}};
    const std::string device = "FT232R USB UART - ttyUSB0 (COM33);FTDI";
    std::string link;
    Link("COM33", Terminal(33, link));
    keres_->RescanDevices();
    EXPECT_EQ(List(), (PortRecords{"+" + link}));
    // The link goes: COM33 opens the adapter again, and only the adapter is listed.
    fs::remove(links_ / "COM33");
    keres_->RescanDevices();
    EXPECT_EQ(List(), (PortRecords{"+" + device}));
    devices_.clear();
    keres_->RescanDevices();
    EXPECT_EQ(List(), (PortRecords{"-" + device}));
}

TEST_F(LinuxReader, ModelTextsCannotForgeOrHideThePortNumber) {
    devices_ = {{"/dev/ttyUSB0", "USB Serial (COM) Adapter", "A"},
                {"/dev/ttyUSB1", "Adapter (COM9)", "B"},
                {"/dev/ttyUSB2", "Adapter (rev 2)", "C"}};
    PortRecords list;
    ASSERT_NO_THROW(list = List());
    EXPECT_EQ(list, (PortRecords{"+USB Serial [COM] Adapter - ttyUSB0 (COM33);A", "+Adapter [COM9] - ttyUSB1 (COM34);B",
                                 "+Adapter (rev 2) - ttyUSB2 (COM35);C"}));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(PortNumberOf(list[static_cast<std::size_t>(i)]), 33 + i);
}

TEST_F(LinuxReader, APulledAdapterNoScanSawIsListedAbsent) {
    keres_->RescanDevices();
    EXPECT_TRUE(List().empty());
    // Plugged and pulled between two scans: only the removal report tells of it.
    DeviceEvent pulled{DeviceEvent::Kind::Removed, "COM35", "/dev/ttyUSB2", "CP2102", "Silicon Labs", false};
    registry_->NoteDeviceEvent(pulled);
    keres_->RescanDevices();
    EXPECT_EQ(List(), (PortRecords{"-CP2102 - ttyUSB2 (COM35);Silicon Labs"}));
    // Plugged again: present, named as udev names it now.
    devices_ = {{"/dev/ttyUSB2", "CP2102N", "Silicon Labs"}};
    keres_->RescanDevices();
    EXPECT_EQ(List(), (PortRecords{"+CP2102N - ttyUSB2 (COM35);Silicon Labs"}));

    // Reports that name no such device, or a COM name other than the device's, change nothing.
    registry_->NoteDeviceEvent({DeviceEvent::Kind::Removed, "COM40", "/dev/ttyUSB3", "", "", false});
    registry_->NoteDeviceEvent({DeviceEvent::Kind::Removed, "", "/dev/ttyAMA0", "", "", false});
    registry_->NoteDeviceEvent({DeviceEvent::Kind::Arrived, "COM36", "/dev/ttyUSB3", "", "", false});
    keres_->RescanDevices();
    EXPECT_EQ(List().size(), 1u);
}

// A link whose record names its maker: alive while that process runs, dead once it ended or
// another process took its number, as the terminal's number may have been given away since.
TEST_F(LinuxReader, ALinkWhoseMakerEndedIsAbsentAndOpensNothing) {
    const std::string link = (links_ / "COM7").string();
    std::string record;
    const std::string terminal = Terminal(7, record);
    Link("COM7", terminal);
    auto writeRecord = [&](long pid, unsigned long long start, const std::string& target) {
        SaveFile(PortLinkOwnerPath(link), "pid " + std::to_string(pid) + "\nstart " + std::to_string(start) +
                                              "\ntarget " + target + "\n");
    };
    const long self = static_cast<long>(getpid());
    const unsigned long long started = ProcessStartTime(self).value();
    {
        // The start time stays what it was while the process changes (its memory grows).
        std::vector<char> grown(64 << 20, 1);
        EXPECT_EQ(ProcessStartTime(self), started) << grown[grown.size() / 2];
    }

    RecordPortLinkOwner(link, terminal);
    EXPECT_EQ(List(), (PortRecords{"+" + record}));
    EXPECT_EQ(ResolvePortDevice("COM7"), link);

    writeRecord(self, started + 1, terminal);  // another process under our number
    EXPECT_EQ(EndedPortLinkMaker(link), self);
    EXPECT_EQ(List(), (PortRecords{"-" + record}));
    EXPECT_EQ(ResolvePortDevice("COM7"), std::nullopt);

    const pid_t child = fork();
    if (child == 0) _exit(0);
    ASSERT_GT(child, 0);
    ASSERT_EQ(waitpid(child, nullptr, 0), child);
    writeRecord(child, started, terminal);  // no such process any more
    EXPECT_EQ(EndedPortLinkMaker(link), child);
    EXPECT_EQ(List(), (PortRecords{"-" + record}));

    // Killed but not yet reaped by its parent, a maker keeps its entry and its start time; a
    // zombie holds no terminal any more, so it has ended too.
    int hold[2];
    ASSERT_EQ(pipe(hold), 0);
    const pid_t zombie = fork();
    if (zombie == 0) {
        close(hold[1]);
        char c;
        _exit(static_cast<int>(read(hold[0], &c, 1)));
    }
    ASSERT_GT(zombie, 0);
    close(hold[0]);
    writeRecord(zombie, ProcessStartTime(zombie).value(), terminal);
    EXPECT_EQ(EndedPortLinkMaker(link), std::nullopt);
    EXPECT_EQ(List(), (PortRecords{"+" + record}));
    close(hold[1]);
    siginfo_t ended{};
    ASSERT_EQ(waitid(P_PID, static_cast<id_t>(zombie), &ended, WEXITED | WNOWAIT), 0);  // not reaped
    EXPECT_EQ(ProcessStartTime(zombie), std::nullopt);
    EXPECT_EQ(EndedPortLinkMaker(link), zombie);
    EXPECT_EQ(List(), (PortRecords{"-" + record}));
    EXPECT_EQ(ResolvePortDevice("COM7"), std::nullopt);
    ASSERT_EQ(waitpid(zombie, nullptr, 0), zombie);

    // A record about another target is left over from an earlier link: it says nothing.
    writeRecord(child, started, "/dev/pts/9999");
    EXPECT_EQ(List(), (PortRecords{"+" + record}));
    // Neither does a malformed one, nor none.
    SaveFile(PortLinkOwnerPath(link), "pid x\nstart 1\ntarget " + terminal + "\n");
    EXPECT_EQ(EndedPortLinkMaker(link), std::nullopt);
    RemovePortLinkOwner(link);
    EXPECT_EQ(ResolvePortDevice("COM7"), link);
    EXPECT_EQ(List(), (PortRecords{"+" + record}));
}

TEST(UdevSerialDevices, EveryDeviceHasANode) {
    for (const SerialDeviceFacts& device : UdevSerialDevices()) EXPECT_EQ(device.devNode.rfind("/dev/", 0), 0u);
}
