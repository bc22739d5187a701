// The registry reader against the real registry: a port map written by the test (under Wine the
// prefix's own registry) read back through the reader and the port scan's rules.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include <setupapi.h>

#include "ports/RegistryReaderWin32.h"
#include "ports/SystemRegistryReader.h"
#include "ports/RegistryKeys.h"
#include "ports/SorosKeres.h"

using namespace orbiqa;

namespace {

constexpr const char* kTestTree = "SOFTWARE\\OrbiqaRegistryTest";

// Writes under HKLM; on a real Windows without administrator rights the test is skipped.
class RegistryFixture : public ::testing::Test {
protected:
    void SetUp() override {
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kTestTree, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &tree_, nullptr) != ERROR_SUCCESS)
            GTEST_SKIP() << "HKLM cannot be written here";
    }
    void TearDown() override {
        if (!tree_) return;
        RegCloseKey(tree_);
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kTestTree);
    }
    void SetRaw(HKEY key, const char* name, DWORD type, const void* data, DWORD size) {
        ASSERT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
    }
    HKEY tree_ = nullptr;
};

bool Contains(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

TEST_F(RegistryFixture, SerialCommMapListsThePortsWrittenIntoIt) {
    HKEY map = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &map, nullptr),
              ERROR_SUCCESS);
    SetRaw(map, "\\Device\\OrbiqaTest7", REG_SZ, "COM7", 5);
    SetRaw(map, "\\Device\\OrbiqaTest12", REG_SZ, "COM12", 6);

    auto reader = CreateSystemRegistryReader();
    auto key = reader->OpenKey(registry_keys::kSerialCommMap);
    const auto names = key->GetValueNames();
    EXPECT_TRUE(Contains(names, "\\Device\\OrbiqaTest7"));
    EXPECT_TRUE(Contains(names, "\\Device\\OrbiqaTest12"));
    EXPECT_EQ(key->ReadString("\\Device\\OrbiqaTest7"), "COM7");
    EXPECT_EQ(key->ReadString("\\Device\\OrbiqaTest12"), "COM12");
    // The registry ignores case in paths; older systems spell the map so.
    EXPECT_EQ(
        reader->OpenKey(registry_keys::kSerialCommMapOld)->ReadString("\\Device\\OrbiqaTest7"),
        "COM7");

    RegDeleteValueA(map, "\\Device\\OrbiqaTest7");
    RegDeleteValueA(map, "\\Device\\OrbiqaTest12");
    RegCloseKey(map);
    EXPECT_FALSE(Contains(reader->OpenKey(registry_keys::kSerialCommMap)->GetValueNames(),
                          "\\Device\\OrbiqaTest7"));
}

TEST_F(RegistryFixture, ValuesOfEveryShape) {
    SetRaw(tree_, "Plain", REG_SZ, "FTDI", 5);
    SetRaw(tree_, "Unterminated", REG_SZ, "ABC", 3);  // stored without its NUL
    SetRaw(tree_, "Expand", REG_EXPAND_SZ, "%X%", 4);
    const std::string longText(3000, 'L');  // larger than any first guess of a buffer
    SetRaw(tree_, "Long", REG_SZ, longText.c_str(), static_cast<DWORD>(longText.size() + 1));
    const DWORD number = 5;
    SetRaw(tree_, "Number", REG_DWORD, &number, sizeof number);
    SetRaw(tree_, "Embedded", REG_SZ, "AB\0CD", 6);

    auto key = CreateSystemRegistryReader()->OpenKey(std::string("\\") + kTestTree);
    EXPECT_EQ(key->ReadString("Plain"), "FTDI");
    EXPECT_EQ(key->ReadString("Unterminated"), "ABC");
    EXPECT_EQ(key->ReadString("Expand"), "%X%");
    EXPECT_EQ(key->ReadString("Long"), longText);
    EXPECT_EQ(key->ReadString("Embedded"), "AB");
    EXPECT_EQ(key->ReadString("Missing"), "");
    EXPECT_THROW(key->ReadString("Number"), ERegistryException);
}

TEST_F(RegistryFixture, SubkeysAndMissingKeys) {
    auto reader = CreateSystemRegistryReader();
    const std::string tree = std::string("\\") + kTestTree;
    EXPECT_FALSE(reader->OpenKey(tree)->HasSubKeys());
    for (const char* name : {"USB", "FTDIBUS"}) {
        HKEY sub = nullptr;
        ASSERT_EQ(
            RegCreateKeyExA(tree_, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr),
            ERROR_SUCCESS);
        RegCloseKey(sub);
    }
    auto key = reader->OpenKey(tree);
    EXPECT_TRUE(key->HasSubKeys());
    const auto names = key->GetKeyNames();
    EXPECT_EQ(names.size(), 2u);
    EXPECT_TRUE(Contains(names, "USB") && Contains(names, "FTDIBUS"));
    EXPECT_TRUE(reader->KeyExists(tree + "\\USB"));

    // A missing key is an empty key, never an error, and is not created by looking.
    EXPECT_FALSE(reader->KeyExists(tree + "\\Nowhere"));
    auto missing = reader->OpenKey(tree + "\\Nowhere");
    EXPECT_FALSE(missing->HasSubKeys());
    EXPECT_TRUE(missing->GetKeyNames().empty());
    EXPECT_TRUE(missing->GetValueNames().empty());
    EXPECT_EQ(missing->ReadString("x"), "");
    EXPECT_FALSE(reader->KeyExists(tree + "\\Nowhere"));
}

namespace {

// What a Hungarian Windows calls its first port, in the registry's UTF-16 and in Windows-1250.
const wchar_t* const kHungarianPortWide = L"Kommunik\u00e1ci\u00f3s port (COM1)";
const char* const kHungarianPort = "Kommunik\xE1" "ci\xF3s port (COM1)";
const wchar_t* const kHungarianMakerWide = L"(Szabv\u00e1nyos portt\u00edpusok)";
const char* const kHungarianMaker = "(Szabv\xE1nyos portt\xEDpusok)";

void SetWide(HKEY key, const wchar_t* name, const std::wstring& text) {
    ASSERT_EQ(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

}  // namespace

TEST_F(RegistryFixture, HungarianNamesReadExactly) {
    SetWide(tree_, L"FriendlyName", kHungarianPortWide);
    SetWide(tree_, L"Gy\u00e1rt\u00f3", L"\u0150r\u00fcl\u0151 \u0171r");  // a value name of its own
    SetWide(tree_, L"Other", L"\u65e5 (COM2)");  // a letter Windows-1250 lacks
    HKEY sub = nullptr;
    ASSERT_EQ(RegCreateKeyExW(tree_, L"\u00c9szak", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr), ERROR_SUCCESS);
    SetWide(sub, L"Mfg", kHungarianMakerWide);
    RegCloseKey(sub);

    auto reader = CreateSystemRegistryReader();
    const std::string tree = std::string("\\") + kTestTree;
    auto key = reader->OpenKey(tree);
    EXPECT_EQ(key->ReadString("FriendlyName"), kHungarianPort);
    EXPECT_EQ(key->ReadString("Gy\xE1rt\xF3"), "\xD5r\xFCl\xF5 \xFBr");
    EXPECT_EQ(key->ReadString("Other"), "? (COM2)");
    EXPECT_TRUE(Contains(key->GetValueNames(), "Gy\xE1rt\xF3"));
    ASSERT_TRUE(Contains(key->GetKeyNames(), "\xC9szak"));
    EXPECT_TRUE(reader->KeyExists(tree + "\\\xC9szak"));
    EXPECT_EQ(reader->OpenKey(tree + "\\\xC9szak")->ReadString("Mfg"), kHungarianMaker);
}

// The device tree walk, used when Device Manager lists no port: a port written into the tree
// is listed with its Hungarian name and maker exactly.
TEST_F(RegistryFixture, TheWalkListsHungarianPortNames) {
    const wchar_t* devicePath = L"SYSTEM\\CurrentControlSet\\Enum\\OrbiqaTest\\PNP0501\\0";
    HKEY device = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, devicePath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &device, nullptr),
              ERROR_SUCCESS);
    SetWide(device, L"Class", L"Ports");
    SetWide(device, L"FriendlyName", kHungarianPortWide);
    SetWide(device, L"Mfg", kHungarianMakerWide);
    RegCloseKey(device);

    SorosKeres keres(std::make_shared<RegistryReaderWin32>([] { return std::vector<PortDeviceFacts>{}; }));
    keres.RescanDevices();
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Enum\\OrbiqaTest");
    ASSERT_TRUE(keres.DeviceList());
    EXPECT_TRUE(Contains(*keres.DeviceList(), std::string(kHungarianPort) + ";" + kHungarianMaker));
}

// When Device Manager lists ports, its names stand in for the walk: the tree shows its devices
// only, the rest of the registry is read as it is.
TEST_F(RegistryFixture, DeviceManagerNamesReplaceTheWalk) {
    HKEY map = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &map, nullptr),
              ERROR_SUCCESS);
    SetRaw(map, "\\Device\\OrbiqaVCP", REG_SZ, "COM105", 7);
    auto reader = std::make_shared<RegistryReaderWin32>([] {
        return std::vector<PortDeviceFacts>{
            {"FTDIBUS\\VID_0403+PID_6001+A1\\0000", "USB soros port (COM105)", "FTDI", "FTDIBUS\\COMPORT&VID_0403&PID_6001"}};
    });
    SorosKeres keres(reader);
    PortRecords list;
    keres.BuildPortList(list);
    RegDeleteValueA(map, "\\Device\\OrbiqaVCP");
    RegCloseKey(map);
    EXPECT_EQ(list, PortRecords{"+USB soros port (COM105);FTDI - USB 0403:6001"});
}

// SetupAPI itself: a port device made in the Ports class is listed with its names.
TEST(SetupApiPortsWin32, ListsTheNamesDeviceManagerShows) {
    constexpr GUID kPortsClass = {0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
    HDEVINFO set = SetupDiCreateDeviceInfoList(&kPortsClass, nullptr);
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    if (!SetupDiCreateDeviceInfoW(set, L"ROOT\\PORTS\\0105", &kPortsClass, nullptr, nullptr, 0, &device) ||
        !SetupDiRegisterDeviceInfo(set, &device, 0, nullptr, nullptr, nullptr)) {
        const DWORD error = GetLastError();
        SetupDiDestroyDeviceInfoList(set);
        GTEST_SKIP() << "no device can be made here (error " << error << ")";
    }
    auto setText = [&](DWORD property, const std::wstring& text, bool list) {
        std::wstring data = text + L'\0' + (list ? std::wstring(1, L'\0') : std::wstring());
        EXPECT_TRUE(SetupDiSetDeviceRegistryPropertyW(set, &device, property, reinterpret_cast<const BYTE*>(data.c_str()),
                                                      static_cast<DWORD>(data.size() * sizeof(wchar_t))));
    };
    setText(SPDRP_FRIENDLYNAME, L"Kommunik\u00e1ci\u00f3s port (COM105)", false);
    setText(SPDRP_MFG, L"\u0150rsz\u00e9p Kft.", false);
    setText(SPDRP_HARDWAREID, L"USB\\VID_0403&PID_6015&REV_1000", true);

    const auto devices = SetupApiPortDevices();
    SetupDiRemoveDevice(set, &device);
    SetupDiDestroyDeviceInfoList(set);
    const auto found = std::find_if(devices.begin(), devices.end(),
                                    [](const PortDeviceFacts& d) { return d.friendlyName.find("(COM105)") != std::string::npos; });
    ASSERT_NE(found, devices.end());
    EXPECT_EQ(found->friendlyName, "Kommunik\xE1" "ci\xF3s port (COM105)");
    EXPECT_EQ(found->manufacturer, "\xD5rsz\xE9p Kft.");
    EXPECT_EQ(UsbIdsOf(found->hardwareId), "USB 0403:6015");
    EXPECT_EQ(found->instanceId, "ROOT\\PORTS\\0105");
}
