#include <gtest/gtest.h>

#include "FakeRegistry.h"
#include "base/Errors.h"
#include "ports/SorosKeres.h"

using namespace orbiqa;
using namespace orbiqa::test;

namespace {

const std::string kUserRecord = "+Saj\xE1tport (COM5);(user defined port)";

struct Scan {
    std::shared_ptr<MemoryRegistry> registry = std::make_shared<MemoryRegistry>();
    SorosKeres keres{registry};
    PortRecords List() {
        PortRecords list;
        keres.BuildPortList(list);
        return list;
    }
};

}  // namespace

TEST(PortRecord, PartsOfARecord) {
    EXPECT_EQ(RecordName(kUserRecord), "Saj\xE1tport (COM5)");
    EXPECT_EQ(RecordDescription(kUserRecord), "(user defined port)");
    EXPECT_EQ(PortNumberOf(kUserRecord), 5);
    EXPECT_EQ(UserPortRecord(5), kUserRecord);
    EXPECT_EQ(PortNumberOf("COM12"), 12);
    EXPECT_EQ(RecordName("-Communications Port (COM1);x : Modem"), "Communications Port (COM1)");
    EXPECT_EQ(RecordName("Communications Port (COM1);x"), "Communications Port (COM1)");

    // No name before the separator, or no separator at all.
    EXPECT_EQ(RecordName(";Communications Port (COM1)"), "");
    EXPECT_EQ(RecordName("+Communications Port (COM1)"), "");
    // Without ";" the whole record counts as its description; one character is too short.
    EXPECT_EQ(RecordDescription("Port (COM1)"), "Port (COM1)");
    EXPECT_EQ(RecordDescription("Port (COM1);x"), "");
    EXPECT_EQ(RecordDescription("Port (COM1);xy"), "xy");
    EXPECT_EQ(RecordDescription(""), "");
}

TEST(PortRecord, PortNumbers) {
    EXPECT_EQ(PortNumberOf(""), 0);
    EXPECT_EQ(PortNumberOf("Printer (LPT1)"), 0);
    EXPECT_EQ(PortNumberOf("Broken (COM7;no close"), 0);
    EXPECT_EQ(PortNumberOf("com3"), 0);
    EXPECT_EQ(PortNumberOf("Hex (COM$1F);"), 31);
    EXPECT_EQ(PortNumberOf("A (COM2) and (COM3)"), 2);
    // A number no port can have is kept as written: sorting and the presence map use it.
    EXPECT_EQ(PortNumberOf("Far (COM300);"), 300);
    EXPECT_EQ(PortNumberOf("COM257"), 257);
    EXPECT_EQ(PortNumberOf("Zero (COM0);"), 0);
    EXPECT_EQ(PortNameOf("Far (COM300);"), "COM300");
    for (const char* bad : {"Bad (COMx1);", "Empty (COM);", "COM", "COM1 port"}) {
        try {
            PortNumberOf(bad);
            ADD_FAILURE() << bad;
        } catch (const EConvertError& e) {
            EXPECT_NE(std::string(e.what()).find("is not a valid integer value"), std::string::npos);
        }
    }
    try {
        PortNumberOf("Empty (COM);");
        ADD_FAILURE();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'' is not a valid integer value");
    }
}

TEST(PortRecord, FindTakesTheNumberAsOneByte) {
    const PortRecords list = {"A (COM3);", "B (COM1);", "C (COM1);"};
    EXPECT_EQ(FindByPortNumber(list, 1), 1);
    EXPECT_EQ(FindByPortNumber(list, 257), 1);
    EXPECT_EQ(FindByPortNumber(list, 259), 0);
    EXPECT_EQ(FindByPortNumber(list, 2), -1);
    EXPECT_EQ(FindByPortNumber({}, 1), -1);
}

TEST(PortRecord, SortIsStable) {
    PortRecords list = {"-C (COM9);", "+A (COM2);first", "B;none", "+A (COM2);second", "-D (COM1);"};
    SortByPortNumber(list);
    EXPECT_EQ(list, (PortRecords{"B;none", "-D (COM1);", "+A (COM2);first", "+A (COM2);second", "-C (COM9);"}));
}

TEST(MemoryRegistry, ReadingRules) {
    MemoryRegistry r;
    r.SetString("\\A\\B", "Text", std::string("abc\0def", 7));
    r.SetString("\\A\\B", "Expand", "%x%", RegistryValueType::ExpandSz);
    r.SetValue("\\A\\B", "Number", RegistryValueType::Dword, std::string(4, '\0'));
    r.AddKey("\\A\\B\\C1");
    r.AddKey("\\A\\B\\C2");
    const auto key = r.OpenKey("\\a\\b");  // letter case does not matter, as in the registry
    EXPECT_EQ(key->ReadString("Text"), "abc");
    EXPECT_EQ(key->ReadString("expand"), "%x%");
    EXPECT_EQ(key->ReadString("Missing"), "");
    try {
        key->ReadString("Number");
        ADD_FAILURE();
    } catch (const ERegistryException& e) {
        EXPECT_STREQ(e.what(), "Invalid data type for 'Number'");
    }
    EXPECT_EQ(key->GetValueNames(), (std::vector<std::string>{"Text", "Expand", "Number"}));
    EXPECT_EQ(key->GetKeyNames(), (std::vector<std::string>{"C1", "C2"}));

    const auto missing = r.OpenKey("\\No\\Such\\Key");
    EXPECT_FALSE(r.KeyExists("\\No\\Such\\Key"));
    EXPECT_FALSE(missing->HasSubKeys());
    EXPECT_TRUE(missing->GetValueNames().empty());
    EXPECT_EQ(missing->ReadString("Class"), "");

    // An open key keeps what it showed when the registry changes under it.
    r.DeleteKey("\\A");
    EXPECT_EQ(key->ReadString("Text"), "abc");
    EXPECT_FALSE(r.KeyExists("\\A\\B"));
}

TEST(PortDiscovery, AbsentAndPresentPortsInNumberOrder) {
    Scan s;
    AddPortDevice(*s.registry, "ACPI\\PNP0501\\2", "Communications Port (COM3)", "(Standard port types)");
    AddPortDevice(*s.registry, "ACPI\\PNP0501\\1", "Communications Port (COM1)", "(Standard port types)");
    MarkPresent(*s.registry, "Serial1", "COM3");
    EXPECT_EQ(s.List(), (PortRecords{"-Communications Port (COM1);(Standard port types)",
                                     "+Communications Port (COM3);(Standard port types)"}));
    EXPECT_EQ(*s.keres.DeviceList(), (PortRecords{"Communications Port (COM1);(Standard port types)",
                                                  "Communications Port (COM3);(Standard port types)"}));
}

TEST(PortDiscovery, WhatCountsAsAPort) {
    Scan s;
    // Not of a port class, but served by a serial driver.
    s.registry->SetString(kEnum + "\\USB\\VID_1\\1", "Class", "Modem");
    s.registry->SetString(kEnum + "\\USB\\VID_1\\1", "Service", "usbSERial");
    s.registry->SetString(kEnum + "\\USB\\VID_1\\1", "FRIENDLYNAME", "USB Serial (COM4)");
    s.registry->SetString(kEnum + "\\USB\\VID_1\\1", "Mfg", "Maker");
    // A port class device without a COM number, and one with it in the lower-case spelling.
    s.registry->SetString(kEnum + "\\ACPI\\PNP0400\\1", "Class", "Ports");
    s.registry->SetString(kEnum + "\\ACPI\\PNP0400\\1", "FriendlyName", "Printer Port (LPT1)");
    s.registry->SetString(kEnum + "\\ACPI\\PNP0501\\1", "Class", "PORTS");
    s.registry->SetString(kEnum + "\\ACPI\\PNP0501\\1", "friendlyname", "Communications Port (COM1)");
    // Neither class nor service: ignored although its name holds a COM number.
    s.registry->SetString(kEnum + "\\BTH\\1", "Class", "Bluetooth");
    s.registry->SetString(kEnum + "\\BTH\\1", "FriendlyName", "Link (COM9)");
    // A port below a port key is found too.
    AddPortDevice(*s.registry, "ACPI\\PNP0501\\1\\Child", "Child Port (COM2)", "");
    s.keres.RescanDevices();
    EXPECT_EQ(*s.keres.DeviceList(),
              (PortRecords{"Communications Port (COM1);", "Child Port (COM2);", "USB Serial (COM4);Maker"}));
}

TEST(PortDiscovery, AttachedDevicesExtendTheirPort) {
    Scan s;
    AddPortDevice(*s.registry, "ACPI\\PNP0501\\1", "Communications Port (COM1)", "(Standard port types)");
    AddPortDevice(*s.registry, "ACPI\\PNP0501\\2", "Communications Port (COM2)", "(Standard port types)");
    s.registry->SetString(kClass + "\\{4D36E96D}\\0000", "AttachedTo", "COM1");
    s.registry->SetString(kClass + "\\{4D36E96D}\\0000", "FriendlyName", "Standard Modem");
    s.registry->SetString(kServices + "\\Fax\\Enum", "AttachedTo", "COM1");
    s.registry->SetString(kServices + "\\Fax\\Enum", "FriendlyName", "Fax Modem");
    // Not attached in the "COM" spelling, no name, or to an unknown port: nothing is added.
    s.registry->SetString(kClass + "\\{X}\\1", "AttachedTo", "com2");
    s.registry->SetString(kClass + "\\{X}\\1", "FriendlyName", "Lower");
    s.registry->SetString(kClass + "\\{X}\\2", "AttachedTo", "COM2");
    s.registry->SetString(kClass + "\\{X}\\3", "AttachedTo", "COM8");
    s.registry->SetString(kClass + "\\{X}\\3", "FriendlyName", "Elsewhere");
    s.keres.RescanDevices();
    EXPECT_EQ(*s.keres.DeviceList(),
              (PortRecords{"Communications Port (COM1);(Standard port types) : Standard Modem : Fax Modem",
                           "Communications Port (COM2);(Standard port types)"}));
}

TEST(PortDiscovery, OlderDeviceTreeOnlyWhenTheCurrentOneHasNoPort) {
    Scan s;
    AddPortDevice(*s.registry, "BIOS\\1", "Old Port (COM2)", "", "\\Enum");
    s.registry->SetString(kEnum + "\\ACPI\\1", "Class", "System");
    s.keres.RescanDevices();
    EXPECT_EQ(*s.keres.DeviceList(), (PortRecords{"Old Port (COM2);"}));

    AddPortDevice(*s.registry, "ACPI\\2", "New Port (COM1)", "");
    s.keres.RescanDevices();
    EXPECT_EQ(*s.keres.DeviceList(), (PortRecords{"New Port (COM1);"}));
}

TEST(PortDiscovery, PresenceMap) {
    Scan s;
    AddPortDevice(*s.registry, "A", "Port (COM1)", "");
    AddPortDevice(*s.registry, "B", "Port (COM2)", "");
    MarkPresent(*s.registry, "X", "COM257");  // sought as port 1
    MarkPresent(*s.registry, "Y", "COM5");    // no device record: not listed
    EXPECT_EQ(s.List(), (PortRecords{"+Port (COM1);", "-Port (COM2);"}));

    // The check runs on the cached device list: a new device waits for the next scan, while
    // presence follows the map at once.
    AddPortDevice(*s.registry, "C", "Port (COM3)", "");
    s.registry->DeleteValue(kSerialComm, "\\Device\\X");
    MarkPresent(*s.registry, "Z", "COM2");
    EXPECT_EQ(s.List(), (PortRecords{"-Port (COM1);", "+Port (COM2);"}));
    s.keres.RescanDevices();
    EXPECT_EQ(s.List(), (PortRecords{"-Port (COM1);", "+Port (COM2);", "-Port (COM3);"}));
}

TEST(PortDiscovery, EmptyDeviceListGivesEmptyList) {
    Scan s;
    MarkPresent(*s.registry, "X", "COM1");
    PortRecords list = {"stale"};
    s.keres.BuildPortList(list);
    EXPECT_TRUE(list.empty());
    ASSERT_TRUE(s.keres.DeviceList().has_value());
    EXPECT_TRUE(s.keres.DeviceList()->empty());
}

TEST(PortDiscovery, OlderSpellingOfThePresenceMap) {
    // Only a registry that tells spellings apart can hold just the older one.
    auto registry = std::make_shared<MemoryRegistry>(MemoryRegistry::NameCase::Exact);
    SorosKeres keres(registry);
    AddPortDevice(*registry, "A", "Port (COM1)", "");
    registry->SetString("\\Hardware\\DeviceMap\\SerialComm", "\\Device\\Serial0", "COM1");
    PortRecords list;
    keres.BuildPortList(list);
    EXPECT_EQ(list, (PortRecords{"+Port (COM1);"}));

    registry->SetString(kSerialComm, "\\Device\\Other", "COM9");  // the current spelling wins
    keres.BuildPortList(list);
    EXPECT_EQ(list, (PortRecords{"-Port (COM1);"}));
}

TEST(PortDiscovery, ErrorsEndTheScanAndKeepWhatWasFound) {
    Scan s;
    AddPortDevice(*s.registry, "A", "Port (COM2)", "");
    s.registry->SetValue(kEnum + "\\B", "Class", RegistryValueType::Binary, "P");
    AddPortDevice(*s.registry, "C", "Port (COM1)", "");
    try {
        s.keres.RescanDevices();
        ADD_FAILURE();
    } catch (const ERegistryException& e) {
        EXPECT_STREQ(e.what(), "Invalid data type for 'Class'");
    }
    EXPECT_EQ(*s.keres.DeviceList(), (PortRecords{"Port (COM2);"}));

    // A presence map value of another type fails the check and leaves the caller's list alone.
    s.registry->DeleteKey(kEnum + "\\B");
    s.keres.RescanDevices();
    s.registry->SetValue(kSerialComm, "\\Device\\Serial0", RegistryValueType::Dword, "1234");
    PortRecords list = {"kept"};
    EXPECT_THROW(s.keres.BuildPortList(list), ERegistryException);
    EXPECT_EQ(list, PortRecords{"kept"});

    // A device whose number is not a number fails where its number is needed.
    s.registry->DeleteKey(kSerialComm);
    AddPortDevice(*s.registry, "D", "Port (COMx)", "");
    EXPECT_THROW(s.keres.RescanDevices(), EConvertError);
}

// The one reading of a record's mark and COM name that the chooser, the port list and the
// command line share.
TEST(PortRecord, PresenceAndComName) {
    const struct {
        const char* record;
        RecordPresence presence;
        const char* com;
    } cases[] = {
        {"+FT232R USB UART - ttyUSB0 (COM33);FTDI", RecordPresence::Present, "COM33"},
        {"-Port (COM7);maker : Modem (COM9)", RecordPresence::Absent, "COM7"},  // the first one
        {"Communications Port (COM1);", RecordPresence::Unmarked, "COM1"},
        {"+No number here;maker", RecordPresence::Present, ""},
        {"+Broken (COM1x);maker", RecordPresence::Present, ""},  // never raises
        {"", RecordPresence::Unmarked, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PresenceOf(c.record), c.presence) << c.record;
        EXPECT_EQ(PortNameOf(c.record), c.com) << c.record;
    }
}
