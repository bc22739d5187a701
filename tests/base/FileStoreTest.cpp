// The save routine and the bounded reader on what every system has: files, folders and the null
// device.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "FileStoreFixture.h"
#include "base/FileStore.h"

namespace orbiqa {
namespace {

namespace fs = std::filesystem;

using FileStoreTest = test::FileStoreFixture;

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
