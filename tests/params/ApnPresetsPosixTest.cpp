// A pipe and an endless device under the presets' name: POSIX systems give both file names.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "params/ApnPresets.h"

using namespace orbiqa;

namespace {

TEST(ApnPresets, PipesDevicesAndHugeFilesLeaveTheBuiltInListWithoutBlocking) {
    namespace fs = std::filesystem;
    const std::string path = (fs::temp_directory_path() / "orbiqa-apns-odd.dat").string();
    fs::remove(path);
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_FALSE(LoadApnPresetFile(path).has_value());
    fs::remove(path);
    fs::create_symlink("/dev/zero", path);
    EXPECT_FALSE(LoadApnPresetFile(path).has_value());
    fs::remove(path);
    std::ofstream(path, std::ios::binary) << (std::string(kMaxApnPresetFileSize + 1, '\n'));
    EXPECT_FALSE(LoadApnPresetFile(path).has_value());
    fs::remove(path);
}

}  // namespace
