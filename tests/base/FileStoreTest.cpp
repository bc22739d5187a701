// The save routine and the bounded reader on what every system has: files, folders and the null
// device.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/FileStore.h"

namespace orbiqa {
namespace {

namespace fs = std::filesystem;

class FileStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("orbiqa-store-" + std::string(ORBIQA_TEST_BUILD_TAG) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    // The routines take UTF-8 names, whatever code page the test program runs with.
    std::string PathOf(const std::string& name) const { return Utf8(dir / FromUtf8(name)); }
    static fs::path FromUtf8(const std::string& name) {
        return fs::path(std::u8string(name.begin(), name.end()));
    }
    static std::string Utf8(const fs::path& path) {
        const std::u8string text = path.u8string();
        return std::string(text.begin(), text.end());
    }
    static std::string Get(const std::string& path) {
        std::ifstream in(FromUtf8(path), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::size_t EntriesInDir() const {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
    }
    static std::string ReadError(const std::string& path, std::size_t bound = 100) {
        try {
            ReadFileBounded(path, bound, true);
        } catch (const EFileError& e) {
            return e.what();
        }
        return "(read)";
    }

    fs::path dir;
};

TEST_F(FileStoreTest, SavesCreateAndReplaceWholeFilesAndLeaveNothingBeside) {
    const std::string path = PathOf("a \xC5\x91.VR3");  // "ő": names are UTF-8
    SaveFile(path, std::string(1088, 'o'));
    SaveFile(path, "new");
    EXPECT_EQ(Get(path), "new");
    SaveFile(path, "");
    EXPECT_EQ(Get(path), "");
    EXPECT_EQ(EntriesInDir(), 1u);

    std::string error;
    try {
        SaveFile(Utf8(dir), "x");
    } catch (const EFileStoreError& e) {
        error = e.what();
    }
    EXPECT_EQ(error, "File access denied");
    try {
        SaveFile(PathOf("missing/x.VR3"), "x");
        ADD_FAILURE() << "saved into a missing folder";
    } catch (const EFileStoreError& e) {
        EXPECT_TRUE(e.WhileCreating());
    }
}

TEST_F(FileStoreTest, TheNullDeviceTakesASaveAndIsRefusedAsASource) {
    SaveFile(ORBIQA_TEST_NULL_DEVICE, "into nothing");  // written in place, never replaced
    EXPECT_FALSE(fs::is_regular_file(ORBIQA_TEST_NULL_DEVICE));
    EXPECT_EQ(ReadError(ORBIQA_TEST_NULL_DEVICE), kNotRegularFileText);
}

TEST_F(FileStoreTest, ReadsStopAtTheirBound) {
    EXPECT_EQ(ReadError(Utf8(dir)), "File access denied");
    EXPECT_EQ(ReadError(PathOf("missing")), "File not found");

    const std::string big = PathOf("APNs.dat");
    SaveFile(big, std::string(101, '\n'));
    EXPECT_EQ(ReadError(big), kFileTooLargeText);
    EXPECT_EQ(ReadFileBounded(big, 101, true).size(), 101u);
    EXPECT_EQ(ReadFileBounded(big, 10, false), std::string(10, '\n'));
    EXPECT_EQ(ReadFileBounded(PathOf("APNs.dat"), 0, false), "");
}

TEST(FileErrorTexts, TheSameFailureReadsTheSameEverywhere) {
    EXPECT_EQ(FileErrorText(ENOSPC), "Disk full");
    EXPECT_EQ(FileErrorText(EACCES), "File access denied");
    EXPECT_EQ(FileErrorText(ENAMETOOLONG), "Invalid filename");
    EXPECT_EQ(FileErrorText(EIO), "I/O error 5");
    EXPECT_FALSE(EFileStoreError(EFileStoreError::Kind::System, EACCES, true).DiskFull());
}

}  // namespace
}  // namespace orbiqa
