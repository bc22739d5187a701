// Saving parameter files on Windows, where replacing a file by name, write protection and file
// names outside the ANSI code page work differently from POSIX systems.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/Errors.h"
#include "transfer/ParameterFile.h"

using namespace orbiqa;
namespace fs = std::filesystem;
using ::testing::Each;

namespace {

class WindowsSave : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("orbiqa-save-" + std::to_string(GetCurrentProcessId()));
        fs::create_directories(dir);
    }
    void TearDown() override {
        for (const auto& entry : fs::directory_iterator(dir))
            fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add);
        fs::remove_all(dir);
    }
    std::vector<char> Read(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::size_t FilesInDir() {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
    }

    fs::path dir;
    std::array<std::uint8_t, kParameterImageSize> image{};
};

}  // namespace

TEST_F(WindowsSave, ReplacesAnExistingFileAndLeavesNothingBeside) {
    const std::string path = (dir / "a.VR3").string();
    image.fill(0x11);
    SaveParameterFile(path, image);
    image.fill(0x22);
    SaveParameterFile(path, image);  // the rename must replace, which Windows does not by default
    EXPECT_THAT(Read(path), ::testing::AllOf(::testing::SizeIs(kParameterImageSize), Each(0x22)));
    EXPECT_EQ(FilesInDir(), 1u);

    std::array<std::uint8_t, kParameterImageSize> loaded{};
    LoadParameterFile(path, ImageBytes(loaded.data(), loaded.size()));
    EXPECT_THAT(loaded, Each(0x22));
}

TEST_F(WindowsSave, ReadOnlyFileIsRefusedAndKept) {
    const fs::path path = dir / "ro.VR3";
    image.fill(0x33);
    SaveParameterFile(path.string(), image);
    // The save reads the attribute itself: a system that would let the file be opened for
    // writing all the same (Wine run by root) must not see it replaced.
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    image.fill(0x44);
    try {
        SaveParameterFile(path.string(), image);
        ADD_FAILURE() << "saved over a read-only file";
    } catch (const EFileError& e) {
        EXPECT_STREQ(e.what(), "File access denied");
    }
    EXPECT_THAT(Read(path), Each(0x33));
    EXPECT_EQ(FilesInDir(), 1u);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(WindowsSave, FileHeldByAnotherProgramIsRefusedAndKept) {
    const fs::path path = dir / "held.VR3";
    image.fill(0x66);
    SaveParameterFile(path.string(), image);
    // Another program has it open and shares nothing, as an editor or a virus scanner may.
    const HANDLE held =
        CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    image.fill(0x77);
    std::string error;
    try {
        SaveParameterFile(path.string(), image);
    } catch (const EFileError& e) {
        error = e.what();
    }
    CloseHandle(held);
    EXPECT_EQ(error, "File access denied");
    EXPECT_THAT(Read(path), Each(0x66));
    EXPECT_EQ(FilesInDir(), 1u);
}

TEST_F(WindowsSave, FolderAndBadNamesGiveFileErrors) {
    image.fill(0x55);
    EXPECT_THROW(SaveParameterFile(dir.string(), image), EFileError);
    EXPECT_THROW(SaveParameterFile((dir / "missing" / "x.VR3").string(), image), EFileError);
    EXPECT_THROW(SaveParameterFile((dir / "bad|name.VR3").string(), image), EFileError);
    std::array<std::uint8_t, kParameterImageSize> loaded{};
    EXPECT_THROW(
        LoadParameterFile((dir / "none.VR3").string(), ImageBytes(loaded.data(), loaded.size())),
        EFileError);
    EXPECT_EQ(FilesInDir(), 0u);
}

TEST_F(WindowsSave, HardLinksStayOneFileAndHiddenFilesStayHidden) {
    const fs::path path = dir / "linked.VR3";
    image.fill(0x11);
    SaveParameterFile(path.string(), image);
    if (!CreateHardLinkW((dir / "other.VR3").c_str(), path.c_str(), nullptr))
        GTEST_SKIP() << "this file system has no hard links";
    image.fill(0x22);
    SaveParameterFile(path.string(), image);  // rewritten in place: both names see it
    EXPECT_THAT(Read(dir / "other.VR3"), Each(0x22));
    fs::remove(dir / "other.VR3");

    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN);
    image.fill(0x33);
    SaveParameterFile(path.string(), image);  // replaced beside, with the old file's attributes
    EXPECT_THAT(Read(path), Each(0x33));
    EXPECT_TRUE(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(FilesInDir(), 1u);
}

TEST_F(WindowsSave, DevicesAreWrittenIntoAndNeverReadAsFiles) {
    image.fill(0x44);
    EXPECT_NO_THROW(SaveParameterFile("NUL", image));
    EXPECT_NO_THROW(SaveParameterFile((dir / "NUL").string(), image));  // NUL in any folder
    EXPECT_EQ(FilesInDir(), 0u);
    try {
        LoadParameterFile("NUL", ImageBytes(image.data(), image.size()));
        ADD_FAILURE() << "read a device as a parameter file";
    } catch (const EFileError& e) {
        EXPECT_STREQ(e.what(), "Not a regular file");
    }
}
