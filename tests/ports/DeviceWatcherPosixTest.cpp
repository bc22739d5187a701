#include <gtest/gtest.h>

#include <stdlib.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "ports/DeviceWatcherPosix.h"

using namespace orbiqa;
namespace fs = std::filesystem;

namespace {

// Generous: the reports come within milliseconds; the bound only keeps a broken watcher from
// hanging the suite.
constexpr auto kReportBound = std::chrono::seconds(20);

// Real links in a folder of the test's own, which does not exist yet when the watch starts
// (nor does its parent), as on a machine where no simulator ever ran.
class LinkWatch : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/orbiqa-watch-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        folder_ = root_ / "orbiqa" / "ports";
        watcher_ = std::make_unique<DeviceWatcherPosix>(folder_.string(), false);
        ASSERT_TRUE(watcher_->Start([this](const DeviceEvent& e) {
            std::lock_guard lock(mutex_);
            events_.push_back(e);
            cv_.notify_all();
        }));
    }
    void TearDown() override {
        watcher_->Stop();
        fs::remove_all(root_);
    }
    // The next report, or a failed test when none comes.
    DeviceEvent Next() {
        std::unique_lock lock(mutex_);
        if (!cv_.wait_for(lock, kReportBound, [this] { return !events_.empty(); })) {
            ADD_FAILURE() << "no report came";
            return {};
        }
        DeviceEvent e = events_.front();
        events_.pop_front();
        return e;
    }
    std::size_t Pending() {
        std::lock_guard lock(mutex_);
        return events_.size();
    }

    fs::path root_;
    fs::path folder_;
    std::unique_ptr<DeviceWatcherPosix> watcher_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<DeviceEvent> events_;
};

}  // namespace

TEST_F(LinkWatch, LinksMadeRemovedAndRepointedAreReported) {
    fs::create_directories(folder_);
    fs::create_symlink("/dev/null", folder_ / "COM7");
    DeviceEvent e = Next();
    EXPECT_EQ(e.kind, DeviceEvent::Kind::Arrived);
    EXPECT_EQ(e.comName, "COM7");
    EXPECT_EQ(e.devicePath, (folder_ / "COM7").string());
    EXPECT_TRUE(e.portLink);

    // Names no port opens, and files that are not links, are no ports: only COM8 follows.
    fs::create_symlink("/dev/null", folder_ / "COM07");
    fs::create_symlink("/dev/null", folder_ / "COM257");
    std::ofstream(folder_ / "COM5") << "not a link";
    std::ofstream(folder_ / "COM7.owner") << "pid 1\n";
    fs::create_symlink("/dev/zero", folder_ / "COM8");
    e = Next();
    EXPECT_EQ(e.kind, DeviceEvent::Kind::Arrived);
    EXPECT_EQ(e.comName, "COM8");

    // Pointed elsewhere in one step (a rename over it): the old port went, a new one came.
    fs::create_symlink("/dev/zero", folder_ / "tmp");
    fs::rename(folder_ / "tmp", folder_ / "COM7");
    e = Next();
    EXPECT_EQ(e.kind, DeviceEvent::Kind::Removed);
    EXPECT_EQ(e.comName, "COM7");
    e = Next();
    EXPECT_EQ(e.kind, DeviceEvent::Kind::Arrived);
    EXPECT_EQ(e.comName, "COM7");

    fs::remove(folder_ / "COM8");
    e = Next();
    EXPECT_EQ(e.kind, DeviceEvent::Kind::Removed);
    EXPECT_EQ(e.comName, "COM8");

    // The whole folder goes, and comes back: its links are reported each time.
    fs::remove_all(root_ / "orbiqa");
    e = Next();
    EXPECT_EQ(e.kind, DeviceEvent::Kind::Removed);
    EXPECT_EQ(e.comName, "COM7");
    fs::create_directories(folder_);
    fs::create_symlink("/dev/null", folder_ / "COM9");
    e = Next();
    EXPECT_EQ(e.kind, DeviceEvent::Kind::Arrived);
    EXPECT_EQ(e.comName, "COM9");
    EXPECT_EQ(Pending(), 0u);
}

TEST_F(LinkWatch, StopsAtOnceAndStartsAgainFromTheLinksThere) {
    fs::create_directories(folder_);
    fs::create_symlink("/dev/null", folder_ / "COM3");
    EXPECT_EQ(Next().comName, "COM3");
    watcher_->Stop();
    watcher_->Stop();
    // The links there when the watch starts are its starting state, not reports.
    ASSERT_TRUE(watcher_->Start([this](const DeviceEvent& e) {
        std::lock_guard lock(mutex_);
        events_.push_back(e);
        cv_.notify_all();
    }));
    fs::remove(folder_ / "COM3");
    const DeviceEvent e = Next();
    EXPECT_EQ(e.kind, DeviceEvent::Kind::Removed);
    EXPECT_EQ(e.comName, "COM3");
    EXPECT_EQ(Pending(), 0u);
}
