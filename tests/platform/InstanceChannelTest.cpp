// The channel between a later start and the running program, over the system's own channel (a
// Unix domain socket; under Wine, a named pipe).
#include <gtest/gtest.h>

#include <future>
#include <string>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#else
#include <windows.h>
#endif

#include "platform/InstanceChannel.h"

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
    EXPECT_FALSE(CreateInstanceChannel(name)->HandOver(EncodeHandOver({})));  // nobody runs yet

    std::promise<std::string> received;
    auto running = CreateInstanceChannel(name);
    ASSERT_TRUE(running->Listen([&](const std::string& message) { received.set_value(message); }));

    auto later = CreateInstanceChannel(name);
    EXPECT_FALSE(later->Listen([](const std::string&) {}));  // one program listens already
    const std::vector<std::string> files = {"D:\\Mentett\\\xC3\xBCgyf\xC3\xA9l.VR3"};
    EXPECT_TRUE(later->HandOver(EncodeHandOver(files)));
    EXPECT_EQ(DecodeHandOver(received.get_future().get()), files);

    // When the running program ends, the next start becomes the running one.
    running.reset();
    EXPECT_FALSE(later->HandOver(EncodeHandOver({})));
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
    EXPECT_FALSE(channel->HandOver(EncodeHandOver({})));
    EXPECT_TRUE(channel->Listen([](const std::string&) {}));
}
#endif
