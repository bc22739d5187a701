// The save routine and the bounded reader on what POSIX systems add: links, pipes, devices,
// hard links, permissions, the super-user and file size limits.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
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

// The binary form of an access list the kernel keeps in system.posix_acl_access: the owner may
// read and write, user 12345 too, the group and the mask read only, others nothing.
std::string NamedUserAccessList() {
    std::string acl;
    const auto put = [&acl](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) acl.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    };
    const auto entry = [&put](std::uint16_t tag, std::uint16_t perm, std::uint32_t id) {
        put(tag, 2);
        put(perm, 2);
        put(id, 4);
    };
    constexpr std::uint32_t kNoId = 0xFFFFFFFF;
    put(2, 4);              // version
    entry(0x01, 6, kNoId);  // owner
    entry(0x02, 6, 12345);  // a named user
    entry(0x04, 4, kNoId);  // group
    entry(0x10, 6, kNoId);  // mask
    entry(0x20, 0, kNoId);  // others
    return acl;
}

std::string Attribute(const std::string& path, const char* name) {
    std::string value(256, '\0');
    const ssize_t n = ::getxattr(path.c_str(), name, value.data(), value.size());
    return n < 0 ? std::string("(none)") : value.substr(0, static_cast<std::size_t>(n));
}

TEST_F(FileStorePosixTest, ReplacingKeepsTheAccessListAndExtendedAttributes) {
    const std::string path = PathOf("shared.VR3");
    Put(path, "old");
    const std::string acl = NamedUserAccessList();
    if (::setxattr(path.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) != 0 ||
        ::setxattr(path.c_str(), "user.orbiqa.site", "Raktár", 7, 0) != 0)
        GTEST_SKIP() << "the test folder's file system keeps no access lists or attributes";
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);

    SaveFile(path, "new content");
    EXPECT_EQ(Get(path), "new content");
    EXPECT_EQ(Attribute(path, "system.posix_acl_access"), acl);  // user 12345 keeps access
    EXPECT_EQ(Attribute(path, "user.orbiqa.site"), "Raktár");
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_mode & 07777, before.st_mode & 07777);  // the group gains nothing
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
