// The save routine and the bounded reader on what POSIX systems add: links, pipes, devices,
// hard links, permissions, the super-user and file size limits.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "FileStoreFixture.h"
#include "base/FileStore.h"
#include "support/FileSizeLimit.h"

namespace orbiqa {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;

class FileStorePosixTest : public test::FileStoreFixture {
protected:
    // Permission rules do not bind the super-user; an unprivileged child process meets them.
    static bool AsUnprivileged(const std::function<bool()>& body) {
        if (::geteuid() != 0) return body();
        const pid_t child = ::fork();
        if (child == 0) {
            const bool ok = ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0 && body();
            ::_exit(ok ? 0 : 1);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
};

TEST_F(FileStorePosixTest, ReplacingKeepsModeOwnerAndHardLinksAndLeavesNothingBehind) {
    const std::string path = PathOf("a.VR3");
    Put(path, "old");
    ::chmod(path.c_str(), 0640);
    fs::create_hard_link(path, dir / "b.VR3");
    SaveFile(path, "new content");
    EXPECT_EQ(Get(path), "new content");
    EXPECT_EQ(Get(PathOf("b.VR3")), "new content");  // still one file under two names
    EXPECT_EQ(fs::status(path).permissions(), fs::perms(0640));

    fs::remove(dir / "b.VR3");
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(path.c_str(), kNobody, kNobody), 0);
    }
    SaveFile(path, "again");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(Get(path), "again");
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    if (::geteuid() == 0) {
        EXPECT_EQ(st.st_uid, kNobody);
    }
    EXPECT_EQ(EntriesInDir(), 1u);
}

TEST_F(FileStorePosixTest, LinksLeadToTheFileTheyName) {
    Put(PathOf("real.ini"), "old");
    fs::create_symlink("real.ini", dir / "relative.ini");
    fs::create_symlink(dir / "relative.ini", dir / "chain.ini");
    SaveFile(PathOf("chain.ini"), "through two links");
    EXPECT_TRUE(fs::is_symlink(dir / "chain.ini"));
    EXPECT_TRUE(fs::is_symlink(dir / "relative.ini"));
    EXPECT_EQ(Get(PathOf("real.ini")), "through two links");

    fs::create_symlink("later.ini", dir / "dangling.ini");
    SaveFile(PathOf("dangling.ini"), "created");
    EXPECT_TRUE(fs::is_symlink(dir / "dangling.ini"));
    EXPECT_EQ(Get(PathOf("later.ini")), "created");
}

TEST_F(FileStorePosixTest, PipesAndDevicesGetTheDataAndStayWhatTheyAre) {
    const std::string fifo = PathOf("pipe.VR3");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Nobody reading: an error at once, never a wait.
    EXPECT_NE(SaveError(fifo, "x"), "(saved)");

    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    SaveFile(fifo, "to the pipe");
    char buffer[32] = {};
    EXPECT_EQ(::read(reader, buffer, sizeof buffer), 11);
    EXPECT_STREQ(buffer, "to the pipe");
    ::close(reader);
    EXPECT_TRUE(fs::is_fifo(fifo));

    if (fs::exists("/dev/full")) {
        fs::create_symlink("/dev/full", dir / "full.VR3");
        EXPECT_EQ(SaveError(PathOf("full.VR3"), "x"), "Disk full");
        EXPECT_TRUE(fs::is_character_file("/dev/full"));
    }
}

TEST_F(FileStorePosixTest, LongestLegalNamesSave) {
    std::string name;
    while (name.size() + 2 <= NAME_MAX) name += "\xC5\x91";  // "ő", two bytes each
    for (const std::string& n : {name, name.substr(0, 246) + ".VR3"}) {
        SaveFile(PathOf(n), "long");
        SaveFile(PathOf(n), "longer");  // replacing needs the temporary name beside it
        EXPECT_EQ(Get(PathOf(n)), "longer");
    }
    EXPECT_EQ(EntriesInDir(), 2u);
}

TEST_F(FileStorePosixTest, AFolderThatTakesNoNewFileStillLetsItsFileBeWritten) {
    const std::string path = PathOf("ZenitSetup.ini");
    Put(path, "old");
    ::chmod(path.c_str(), 0666);
    ::chmod(dir.c_str(), 0555);
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(path.c_str(), kNobody, kNobody), 0);
    }
    EXPECT_TRUE(AsUnprivileged([&] {
        SaveFile(path, "in place");
        try {
            SaveFile(PathOf("new.ini"), "x");
            return false;
        } catch (const EFileStoreError& e) {
            return e.WhileCreating() && std::string(e.what()) == "File access denied";
        }
    }));
    EXPECT_EQ(Get(path), "in place");

    ::chmod(dir.c_str(), 0755);
    ::chmod(path.c_str(), 0444);
    EXPECT_TRUE(AsUnprivileged([&] {
        try {
            SaveFile(path, "x");
        } catch (const EFileStoreError&) {
            return true;  // a write-protected file stays protected
        }
        return false;
    }));
    EXPECT_EQ(Get(path), "in place");
}

TEST_F(FileStorePosixTest, AFullDiskKeepsTheOldFile) {
    const std::string path = PathOf("keep.VR3");
    Put(path, std::string(100, 'k'));
    std::string error;
    bool diskFull = false;
    try {
        const test::FileSizeLimit full(512);
        SaveFile(path, std::string(1088, 'n'));
    } catch (const EFileStoreError& e) {
        error = e.what();
        diskFull = e.DiskFull();
    }
    EXPECT_EQ(error, "Disk full");
    EXPECT_TRUE(diskFull);
    EXPECT_EQ(Get(path), std::string(100, 'k'));
    EXPECT_EQ(EntriesInDir(), 1u);
}

TEST_F(FileStorePosixTest, ReadsRefuseWhatIsNotAFileAndStopAtTheirBound) {
    const std::string fifo = PathOf("ZenitSetup.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(ReadError(fifo), kNotRegularFileText);  // returns at once: no writer is waited for
    EXPECT_EQ(ReadError(dir.string()), "File access denied");
    EXPECT_EQ(ReadError("/dev/zero"), kNotRegularFileText);
    EXPECT_EQ(ReadError(PathOf("missing")), "File not found");
}

TEST(FileErrorTexts, AnExhaustedQuotaIsAFullDisk) {
    EXPECT_TRUE(EFileStoreError(EFileStoreError::Kind::System, EDQUOT, true).DiskFull());
}

}  // namespace
}  // namespace orbiqa
