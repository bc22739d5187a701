// A second start whose running program does not answer ends with a box rather than run beside
// it: two programs would fight over one port.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "shell/InstanceChannel.h"
#include "widgets/MessageBoxes.h"
#include "shell/SingleInstance.h"

using namespace orbiqa;

TEST(SingleInstance, ARunningProgramThatDoesNotAnswerIsNotJoinedByASecond) {
    QTemporaryDir runtime;  // private to this user, as a runtime folder is
    ASSERT_TRUE(runtime.isValid());
    const std::string oldRuntime = std::getenv("XDG_RUNTIME_DIR") ? std::getenv("XDG_RUNTIME_DIR") : "";
    setenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit().constData(), 1);
    const std::string settings = runtime.path().toStdString() + "/settings";

    // The user's program, stuck: its channel takes connections but never reads them.
    const std::string path = InstanceSocketPath(InstanceChannelName(settings));
    ASSERT_FALSE(path.empty());
    const int stuck = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(bind(stuck, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(stuck, 4), 0);

    std::vector<BoxRequest> boxes;
    SetMessageBoxHook([&boxes](const BoxRequest& r) { boxes.push_back(r); });
    SingleInstance second(settings);
    const QStringList files = {QStringLiteral("/data/a.VR3")};
    EXPECT_TRUE(second.HandOverOrListen(files, [](const QStringList&) {}));
    SetMessageBoxHook(nullptr);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, NotTakenText(files));
    EXPECT_TRUE(boxes[0].Text.contains(QStringLiteral("/data/a.VR3")));

    close(stuck);
    if (oldRuntime.empty()) unsetenv("XDG_RUNTIME_DIR");
    else setenv("XDG_RUNTIME_DIR", oldRuntime.c_str(), 1);
}
