#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "base/Errors.h"
#include "params/ApnPresets.h"

using namespace orbiqa;

namespace {

std::string TempPath(const char* name) {
    return (std::filesystem::temp_directory_path() / name).string();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace

TEST(ApnPresets, BuiltInList) {
    const auto list = BuiltInApnPresets();
    ASSERT_EQ(list.size(), 5u);
    EXPECT_EQ(ApnPresetName(list[0]), "Egy\xE9ni be\xE1ll\xEDt\xE1s");
    EXPECT_EQ(list[0].substr(39), "\"\",\"\",\"'");
    EXPECT_EQ(list[1], std::string("T-Mobile") + std::string(31, ' ') + "\"internet\",\"\",\"\"");
    EXPECT_EQ(ParseApnPreset(list[2]), (ApnSettings{"net", "", ""}));
    EXPECT_EQ(ParseApnPreset(list[3]).APN, "internet.vodafone.net");
    EXPECT_EQ(ParseApnPreset(list[4]).APN, "vitamax.internet.vodafone.net");
}

TEST(ApnPresets, ParseStopsAtAMissingQuote) {
    EXPECT_EQ(ParseApnPreset("Operator without quotes"), ApnSettings{});
    EXPECT_EQ(ParseApnPreset("X \"a\",\"b\",\"c\""), (ApnSettings{"a", "b", "c"}));
    EXPECT_EQ(ParseApnPreset("X \"a\",\"b"), (ApnSettings{"a", "", ""}));
    EXPECT_EQ(ParseApnPreset("X \"a\",\"b\",\"c"), (ApnSettings{"a", "b", ""}));
    EXPECT_EQ(ParseApnPreset("X \"a"), ApnSettings{});
}

TEST(ApnPresets, LinesEndInCrLfOrEither) {
    EXPECT_EQ(SplitPresetLines("a\r\nb\rc\nd"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitPresetLines("a\r\n"), (std::vector<std::string>{"a"}));
    EXPECT_EQ(SplitPresetLines("a\n\nb\r\n"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_TRUE(SplitPresetLines("").empty());
}

TEST(ApnPresets, FileReplacesTheListOrIsIgnored) {
    const std::string path = TempPath("orbiqa-apns-test.dat");
    WriteFile(path, "Custom \"\",\"\",\"\"\r\nMy operator \"apn.example\",\"u\",\"p\"\r\n");
    const auto lines = LoadApnPresetFile(path);
    ASSERT_TRUE(lines.has_value());
    ASSERT_EQ(lines->size(), 2u);
    EXPECT_EQ(ParseApnPreset((*lines)[1]), (ApnSettings{"apn.example", "u", "p"}));

    WriteFile(path, "");  // a list without the custom entry would lock the user out
    EXPECT_FALSE(LoadApnPresetFile(path).has_value());
    std::remove(path.c_str());
    EXPECT_FALSE(LoadApnPresetFile(path).has_value());
    EXPECT_FALSE(LoadApnPresetFile(std::filesystem::temp_directory_path().string()).has_value());
}

TEST(ApnPresets, SaveWritesCrLfLines) {
    const std::string path = TempPath("orbiqa-apns-save.dat");
    SaveApnPresetFile(path, {"a", "b"});
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes, "a\r\nb\r\n");
    std::remove(path.c_str());
    EXPECT_THROW(SaveApnPresetFile("/nonexistent-dir/APNs.dat", {"a"}), EFileError);
}
