// Where a copy keeps its settings: installed copies in the user's folder, others in their own
// folder unless it takes no file. Runs on Linux and, under Wine, on Windows.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "base/SettingsLocation.h"
#include "support/PrivateSettingsFolder.h"

using namespace orbiqa;
namespace fs = std::filesystem;

namespace {

class SettingsPlace : public ::testing::Test {
protected:
    void SetUp() override {
        // One folder per case: ctest runs the cases as separate processes at the same time.
        root_ = fs::temp_directory_path() /
                (std::string("orbiqa-settings-") + ORBIQA_TEST_BUILD_TAG + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        program_ = root_ / "program" / "bin";
        working_ = root_ / "working";
        fs::create_directories(program_);
        fs::create_directories(working_);
    }
    void TearDown() override {
        UseSettingsFolder({});
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    std::string Choose() const { return ChooseSettingsFolder(program_.string(), working_.string()); }
    void MarkInstalled() const {
        const fs::path marker = InstalledMarkerPath(program_.string());
        fs::create_directories(marker.parent_path());
        std::ofstream(marker) << "installed\n";
    }

    fs::path root_, program_, working_;
#ifndef _WIN32
    // The user's folder of this test; on Windows the shell names it (the prefix's own).
    testsupport::PrivateSettingsFolder xdg_;
#endif
};

bool IsEmptyFolder(const fs::path& folder) {
    return fs::is_empty(folder);
}

}  // namespace

TEST_F(SettingsPlace, ACopyThatIsNotInstalledKeepsItsOwnFolder) {
    const std::string own = OwnSettingsFolder(program_.string(), working_.string());
#ifdef _WIN32
    EXPECT_EQ(own, program_.string());  // the portable zip: beside orbiqa.exe
#else
    EXPECT_EQ(own, working_.string());  // make run, a copy started in its own folder
#endif
    EXPECT_EQ(Choose(), own);
    // The check whether the folder takes a file leaves nothing behind.
    EXPECT_TRUE(IsEmptyFolder(program_));
    EXPECT_TRUE(IsEmptyFolder(working_));
}

TEST_F(SettingsPlace, AnInstalledCopyUsesTheUsersFolderAndMakesIt) {
    MarkInstalled();
    const std::string user = UserSettingsFolder();
    ASSERT_FALSE(user.empty());
#ifndef _WIN32
    EXPECT_EQ(user, (fs::path(xdg_.Path()) / "orbiqa").string());
    EXPECT_FALSE(fs::exists(user));
#endif
    EXPECT_EQ(Choose(), user);
    EXPECT_TRUE(fs::is_directory(fs::path(user)));
    // Whatever the working folder, nothing goes to the program's.
    UseSettingsFolder(Choose());
    EXPECT_EQ(SettingsFilePath("ZenitSetup.ini"), user + "/ZenitSetup.ini");
    EXPECT_EQ(fs::path(SettingsFilePath("x")).parent_path(), fs::path(user));
}

TEST_F(SettingsPlace, AFolderThatTakesNoFileFallsBackToTheUsersFolder) {
    // A folder that is gone stands for one that takes no file: the tests run as a user (root,
    // or Wine's) whom access rights do not stop.
    const fs::path gone = root_ / "gone";
    EXPECT_FALSE(FolderTakesNewFiles(gone.string()));
    EXPECT_EQ(ChooseSettingsFolder(gone.string(), gone.string()), UserSettingsFolder());
    EXPECT_TRUE(FolderTakesNewFiles(working_.string()));
}

TEST_F(SettingsPlace, FilePathsInTheChosenFolder) {
    EXPECT_EQ(SettingsFilePath("ZenitSetup.ini"), "ZenitSetup.ini");  // the working folder
    UseSettingsFolder("/some/folder/");
    EXPECT_EQ(SettingsFilePath("APNs.dat"), "/some/folder/APNs.dat");
    UseSettingsFolder("C:\\Users\\x\\AppData\\Local\\Orbiqa");
    EXPECT_EQ(SettingsFilePath("APNs.dat"), "C:\\Users\\x\\AppData\\Local\\Orbiqa/APNs.dat");
}
