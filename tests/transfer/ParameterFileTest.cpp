// Parameter files: exact 1088-byte round trips, and files that cannot be read whole never
// touching the image; a failed save keeping the file it was replacing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "base/Errors.h"
#include "params/FieldCatalog.h"
#include "params/ParameterText.h"
#include "support/FileSizeLimit.h"
#include "transfer/ParameterFile.h"

namespace orbiqa {
namespace {

namespace fs = std::filesystem;
using ::testing::Each;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

class ParameterFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("orbiqa-files-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 13 + 1);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string PathOf(const char* name) const { return (dir / name).string(); }

    static void WriteBytes(const std::string& path, std::size_t count, std::uint8_t value) {
        std::ofstream(path, std::ios::binary) << std::string(count, static_cast<char>(value));
    }
    static std::vector<std::uint8_t> ReadBytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    std::string LoadError(const std::string& path) {
        try {
            LoadParameterFile(path, image);
        } catch (const EFileError& e) {
            return e.what();
        }
        return "(loaded)";
    }

    fs::path dir;
    std::array<std::uint8_t, kParameterImageSize> image{};
};

TEST_F(ParameterFileTest, SaveThenOpenRestoresEveryByte) {
    const std::string path = PathOf("a.VR3");
    WriteBytes(path, 5000, 0x11);  // replaced without a question, and not merely overwritten
    SaveParameterFile(path, image);
    EXPECT_THAT(ReadBytes(path), ElementsAreArray(image));

    const auto saved = image;
    image.fill(0);
    LoadParameterFile(path, image);
    EXPECT_EQ(image, saved);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);  // nothing left beside it
}

TEST_F(ParameterFileTest, FilesThatCannotBeReadWholeLeaveTheImageAsItWas) {
    const auto before = image;
    WriteBytes(PathOf("empty.VR3"), 0, 0);
    WriteBytes(PathOf("short.VR3"), 1087, 0x22);
    fs::create_directory(dir / "folder.VR3");

    EXPECT_EQ(LoadError(PathOf("empty.VR3")), "Read beyond end of file");
    EXPECT_EQ(LoadError(PathOf("short.VR3")), "Read beyond end of file");
    EXPECT_EQ(LoadError(PathOf("missing.VR3")), "File not found");
    EXPECT_EQ(LoadError(PathOf("folder.VR3")), "File access denied");
    EXPECT_EQ(image, before);
}

TEST_F(ParameterFileTest, ReadOnlyAndLongerFilesOpen) {
    const std::string readOnly = PathOf("ro.VR3");
    WriteBytes(readOnly, kParameterImageSize, 0x33);
    fs::permissions(readOnly, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_EQ(LoadError(readOnly), "(loaded)");
    EXPECT_THAT(image, Each(0x33));

    const std::string longer = PathOf("long.VR3");
    std::ofstream(longer, std::ios::binary) << std::string(kParameterImageSize, '\x44') << std::string(100, '\x55');
    LoadParameterFile(longer, image);
    EXPECT_THAT(image, Each(0x44));
}

TEST_F(ParameterFileTest, FailedSaveKeepsTheFileItWasReplacing) {
    const std::string path = PathOf("keep.VR3");
    WriteBytes(path, kParameterImageSize, 0x66);

    std::string error;
    try {
        const test::FileSizeLimit full(512);
        SaveParameterFile(path, image);
    } catch (const EFileError& e) {
        error = e.what();
    }

    EXPECT_EQ(error, "Disk full");
    EXPECT_THAT(ReadBytes(path), ::testing::AllOf(::testing::SizeIs(kParameterImageSize), Each(0x66)));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(ParameterFileTest, SaveIntoAMissingFolderFails) {
    try {
        SaveParameterFile((dir / "no" / "x.VR3").string(), image);
        FAIL() << "saved";
    } catch (const EFileError& e) {
        EXPECT_STREQ(e.what(), "File not found");
    }
    EXPECT_EQ(FileErrorText(EIO), "I/O error 5");
}

TEST_F(ParameterFileTest, SavingOverALinkReplacesTheFileItLeadsTo) {
    const std::string target = PathOf("real.VR3");
    WriteBytes(target, 10, 0);
    fs::create_symlink(target, dir / "link.VR3");
    SaveParameterFile(PathOf("link.VR3"), image);
    EXPECT_TRUE(fs::is_symlink(dir / "link.VR3"));
    EXPECT_THAT(ReadBytes(target), ElementsAreArray(image));
}

TEST_F(ParameterFileTest, LongNamesHardLinksAndPipesAreHandledAsFiles) {
    std::string name;
    while (name.size() + 6 <= NAME_MAX) name += "\xC3\xA1";  // "á"
    name += ".VR3";
    SaveParameterFile(PathOf(name.c_str()), image);
    SaveParameterFile(PathOf(name.c_str()), image);
    EXPECT_THAT(ReadBytes(PathOf(name.c_str())), ElementsAreArray(image));

    fs::create_hard_link(PathOf(name.c_str()), dir / "second.VR3");
    image[0] ^= 0xFF;
    SaveParameterFile(PathOf(name.c_str()), image);
    EXPECT_THAT(ReadBytes(PathOf("second.VR3")), ElementsAreArray(image));

    ASSERT_EQ(::mkfifo(PathOf("pipe.VR3").c_str(), 0600), 0);
    image.fill(0x12);
    EXPECT_EQ(LoadError(PathOf("pipe.VR3")), kNotRegularFileText);
    EXPECT_THAT(image, Each(0x12));
}

// Whoever names the file, a text is imported and never taken for the image it is not; a text
// that cannot be taken whole is refused, leaving the image as it was.
TEST_F(ParameterFileTest, ATextIsImportedWholeOrNotAtAll) {
    ParameterImage set;
    ASSERT_EQ(SetFieldValue(set, "USER1", "06209876543"), std::nullopt);
    const std::string text = ExportText(set);
    const std::string exported = PathOf("out.VR3");  // a text under an image's name
    std::ofstream(exported, std::ios::binary) << text;
    const ParameterFileLoad load = LoadParameterFile(exported, image);
    EXPECT_TRUE(load.text);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), set.begin()));

    // The last line comes after a megabyte of comments: cutting the text would cut the number.
    const auto user1 = text.find("USER1 =");
    const std::string padded = text.substr(0, user1) + std::string(kMaxParameterTextBytes, '#') +
                               "\n" + text.substr(user1);
    std::ofstream(PathOf("long.txt"), std::ios::binary) << padded;
    image.fill(0x5A);
    EXPECT_EQ(LoadError(PathOf("long.txt")), kFileTooLargeText);
    EXPECT_THAT(image, Each(0x5A));

    std::ofstream(PathOf("header.txt"), std::ios::binary) << kParameterTextHeader << "\n";
    EXPECT_THAT(LoadError(PathOf("header.txt")), HasSubstr("sets no field"));
    EXPECT_THAT(image, Each(0x5A));

    // An image is an image however long the file: only texts have the bound.
    std::ofstream(PathOf("big.VR3"), std::ios::binary)
        << std::string(kParameterImageSize, '\x44') << std::string(2 * kMaxParameterTextBytes, '\x55');
    EXPECT_FALSE(LoadParameterFile(PathOf("big.VR3"), image).text);
    EXPECT_THAT(image, Each(0x44));
}

}  // namespace
}  // namespace orbiqa
