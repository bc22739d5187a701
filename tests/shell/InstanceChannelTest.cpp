// The channel between a later start and the running program, over the system's own channel (a
// Unix domain socket; under Wine, a named pipe).
#include <gtest/gtest.h>

#include <future>
#include <string>

#ifndef _WIN32
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>
#else
#include <windows.h>
#endif

#include "shell/InstanceChannel.h"

using namespace orbiqa;

namespace {

std::string UniqueFolder(const char* what) {
#ifdef _WIN32
    const auto pid = static_cast<long>(GetCurrentProcessId());
#else
    const auto pid = static_cast<long>(getpid());
#endif
    return std::string("/test/") + what + "/" + std::to_string(pid);
}

}  // namespace

TEST(InstanceChannel, MessagesCarryTheFileNames) {
    const std::vector<std::string> names = {"C:\\Users\\\xC3\xA9va\\Modul 1.VR3", "/home/x/b.vr3"};
    EXPECT_EQ(DecodeHandOver(EncodeHandOver(names)), names);
    EXPECT_EQ(DecodeHandOver(EncodeHandOver({})), std::vector<std::string>{});
    // A stray writer, and a message cut short, are not starts of ours.
    EXPECT_FALSE(DecodeHandOver(""));
    EXPECT_FALSE(DecodeHandOver("GET / HTTP/1.0\r\n\r\n"));
    std::string cut = EncodeHandOver({"a.VR3"});
    cut.pop_back();
    EXPECT_FALSE(DecodeHandOver(cut));
}

TEST(InstanceChannel, OneChannelPerSettingsFolder) {
    EXPECT_EQ(InstanceChannelName("/home/a/.config/orbiqa"), InstanceChannelName("/home/a/.config/orbiqa"));
    EXPECT_NE(InstanceChannelName("/home/a/.config/orbiqa"), InstanceChannelName("/home/b/.config/orbiqa"));
    EXPECT_EQ(InstanceChannelName("x").size(), std::string("orbiqa-").size() + 16);
}

TEST(InstanceChannel, ALaterStartHandsItsFilesToTheRunningProgram) {
    const std::string name = InstanceChannelName(UniqueFolder("handover"));
    EXPECT_EQ(CreateInstanceChannel(name)->HandOver(EncodeHandOver({})), HandOverResult::NobodyListens);

    std::promise<std::string> received;
    auto running = CreateInstanceChannel(name);
    ASSERT_TRUE(running->Listen([&](const std::string& message) { received.set_value(message); }));

    auto later = CreateInstanceChannel(name);
    EXPECT_FALSE(later->Listen([](const std::string&) {}));  // one program listens already
    const std::vector<std::string> files = {"D:\\Mentett\\\xC3\xBCgyf\xC3\xA9l.VR3"};
    EXPECT_EQ(later->HandOver(EncodeHandOver(files)), HandOverResult::Taken);
    EXPECT_EQ(DecodeHandOver(received.get_future().get()), files);

    // When the running program ends, the next start becomes the running one.
    running.reset();
    EXPECT_EQ(later->HandOver(EncodeHandOver({})), HandOverResult::NobodyListens);
    EXPECT_TRUE(later->Listen([](const std::string&) {}));
}

#ifndef _WIN32
TEST(InstanceChannel, ASocketLeftByAProgramThatDiedIsTakenOver) {
    const std::string name = InstanceChannelName(UniqueFolder("died"));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto channel = CreateInstanceChannel(name);
        _exit(channel->Listen([](const std::string&) {}) ? 0 : 1);  // no clean-up: as if killed
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    auto channel = CreateInstanceChannel(name);
    EXPECT_EQ(channel->HandOver(EncodeHandOver({})), HandOverResult::NobodyListens);
    EXPECT_TRUE(channel->Listen([](const std::string&) {}));
}
#endif

#ifndef _WIN32
namespace {

// Every test's channel lives in a temporary folder of its own, away from the machine's runtime
// folder: $TMPDIR is one that any user may write into (as /tmp is), and $XDG_RUNTIME_DIR unset.
class PrivateTemporaryFolder : public ::testing::Environment {
public:
    void SetUp() override {
        char pattern[] = "/tmp/orbiqa-instance-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = pattern;
        ASSERT_EQ(chmod(pattern, 01777), 0);
        setenv("TMPDIR", pattern, 1);
        unsetenv("XDG_RUNTIME_DIR");
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

private:
    std::string folder_;
};
const auto* const kTemporaryFolder = ::testing::AddGlobalTestEnvironment(new PrivateTemporaryFolder);

constexpr uid_t kNobody = 65534;

sockaddr_un AddressOf(const std::string& path) {
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::strncpy(a.sun_path, path.c_str(), sizeof a.sun_path - 1);
    return a;
}

// Another local user's listener at path, which answers "1" to whatever it is sent, as a squatter
// would. It is played by a child of this (root) process: one that becomes the user nobody first
// and makes the socket's folder itself; one that leaves a socket file of nobody's in our folder;
// or one whose socket file is ours but whose listener is nobody. Received() tells how many bytes
// reached it.
class Stranger {
public:
    enum class Owns { Folder, SocketFile, Listener };
    Stranger(const std::string& path, Owns what) {
        int ready[2];
        EXPECT_EQ(pipe(ready), 0);
        EXPECT_EQ(pipe(report_), 0);
        pid_ = fork();
        if (pid_ == 0) {
            close(ready[0]);
            signal(SIGPIPE, SIG_IGN);  // a client that hangs up before the answer
            auto becomeNobody = [] {
                if (setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(3);
            };
            const std::string folder = std::filesystem::path(path).parent_path().string();
            if (what == Owns::Folder) {
                becomeNobody();
                mkdir(folder.c_str(), 0777);
                chmod(folder.c_str(), 0777);
            }
            const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
            const sockaddr_un a = AddressOf(path);
            unlink(path.c_str());
            if (bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) _exit(4);
            chmod(path.c_str(), 0777);
            if (what == Owns::SocketFile && lchown(path.c_str(), kNobody, kNobody) != 0) _exit(5);
            if (what == Owns::Listener) becomeNobody();
            if (listen(fd, 8) != 0) _exit(6);
            [[maybe_unused]] const ssize_t said = write(ready[1], "r", 1);
            long received = 0;
            pollfd p{fd, POLLIN, 0};
            while (poll(&p, 1, 1000) > 0) {
                const int client = accept(fd, nullptr, nullptr);
                char buffer[4096];
                ssize_t n;
                while ((n = read(client, buffer, sizeof buffer)) > 0) received += n;
                [[maybe_unused]] const ssize_t answered = write(client, "1", 1);
                close(client);
            }
            [[maybe_unused]] const ssize_t told = write(report_[1], &received, sizeof received);
            _exit(0);
        }
        close(ready[1]);
        close(report_[1]);
        char r = 0;
        EXPECT_EQ(read(ready[0], &r, 1), 1) << "the stranger could not listen";
        close(ready[0]);
    }
    ~Stranger() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(report_[0]);
    }
    long Received() {
        long received = -1;
        EXPECT_EQ(read(report_[0], &received, sizeof received), static_cast<ssize_t>(sizeof received));
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
        return received;
    }

private:
    pid_t pid_ = -1;
    int report_[2] = {-1, -1};
};

}  // namespace

// A guessable name in a folder everybody writes: another user's listener must never get a file,
// whether it took the folder, or put its own socket (or just its own listener) into ours.
TEST(InstanceChannel, AStrangersListenerIsNeverHandedAFile) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to play another user";
    const std::string folder = std::string(getenv("TMPDIR")) + "/orbiqa-" + std::to_string(geteuid());
    const std::string secret = EncodeHandOver({"/home/user/secret.VR3"});
    {
        // The folder is the stranger's: no channel can be trusted, the start runs on its own.
        std::filesystem::remove_all(folder);
        const std::string name = InstanceChannelName(UniqueFolder("taken-folder"));
        Stranger stranger(folder + "/" + name + ".sock", Stranger::Owns::Folder);
        auto channel = CreateInstanceChannel(name);
        EXPECT_EQ(InstanceSocketPath(name), "");
        EXPECT_EQ(channel->HandOver(secret), HandOverResult::NobodyListens);
        EXPECT_FALSE(channel->Listen([](const std::string&) {}));
        EXPECT_EQ(stranger.Received(), 0);
        std::filesystem::remove_all(folder);
    }
    for (const auto what : {Stranger::Owns::SocketFile, Stranger::Owns::Listener}) {
        // The folder is ours; the socket in it, or the program listening on it, is not.
        const std::string name = InstanceChannelName(UniqueFolder(what == Stranger::Owns::Listener ? "listener" : "socket"));
        const std::string path = InstanceSocketPath(name);
        ASSERT_EQ(path, folder + "/" + name + ".sock");
        struct stat st {};
        ASSERT_EQ(lstat(folder.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        Stranger stranger(path, what);
        auto channel = CreateInstanceChannel(name);
        EXPECT_EQ(channel->HandOver(secret), HandOverResult::NobodyListens);
        // Our own program takes the name over and is handed files from then on.
        std::promise<std::string> received;
        ASSERT_TRUE(channel->Listen([&](const std::string& m) { received.set_value(m); }));
        EXPECT_EQ(CreateInstanceChannel(name)->HandOver(secret), HandOverResult::Taken);
        EXPECT_EQ(received.get_future().get(), secret);
        EXPECT_EQ(stranger.Received(), 0);
    }
}

TEST(InstanceChannel, AFolderOpenToOthersIsNotUsed) {
    const std::string name = InstanceChannelName(UniqueFolder("open-folder"));
    char pattern[] = "/tmp/orbiqa-runtime-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    // A runtime folder that others may write is passed over for the private one in $TMPDIR.
    chmod(pattern, 0777);
    setenv("XDG_RUNTIME_DIR", pattern, 1);
    EXPECT_EQ(InstanceSocketPath(name).rfind(std::string(getenv("TMPDIR")) + "/", 0), 0u);
    chmod(pattern, 0700);
    EXPECT_EQ(InstanceSocketPath(name), std::string(pattern) + "/" + name + ".sock");
    unsetenv("XDG_RUNTIME_DIR");
    std::filesystem::remove_all(pattern);
    // Ours, but opened up since: in doubt, no channel.
    const std::string folder = std::string(getenv("TMPDIR")) + "/orbiqa-" + std::to_string(geteuid());
    ASSERT_FALSE(InstanceSocketPath(name).empty());
    chmod(folder.c_str(), 0755);
    EXPECT_EQ(InstanceSocketPath(name), "");
    chmod(folder.c_str(), 0700);
}

// Clients that connect and stay silent, or trickle, hold nobody up: a start handing its file
// over meanwhile is served at once, and the silent ones are dropped at their deadline.
TEST(InstanceChannel, SilentClientsDelayNoLaterStart) {
    const std::string name = InstanceChannelName(UniqueFolder("silent"));
    std::promise<std::string> received;
    auto running = CreateInstanceChannel(name);
    ASSERT_TRUE(running->Listen([&](const std::string& m) { received.set_value(m); }));
    const sockaddr_un address = AddressOf(InstanceSocketPath(name));
    std::vector<int> silent;
    for (int i = 0; i < InstanceChannel::kMaxClients - 1; ++i) {
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_EQ(connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        if (i % 2) ASSERT_EQ(write(fd, "orb", 3), 3);  // a message begun and never ended
        silent.push_back(fd);
    }
    const std::string message = EncodeHandOver({"/data/a.VR3"});
    EXPECT_EQ(CreateInstanceChannel(name)->HandOver(message), HandOverResult::Taken);
    EXPECT_EQ(received.get_future().get(), message);
    // Dropped by the deadline: the connection ends without an answer.
    for (int fd : silent) {
        pollfd p{fd, POLLIN, 0};
        EXPECT_EQ(poll(&p, 1, InstanceChannel::kClientDeadlineMs * 5), 1);
        char answer = 0;
        EXPECT_EQ(read(fd, &answer, 1), 0);
        close(fd);
    }
}
#endif
