// The registry reader against the real registry: a port map written by the test (under Wine the
// prefix's own registry) read back through the reader and the port scan's rules.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/SystemRegistryReader.h"
#include "ports/RegistryKeys.h"

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
