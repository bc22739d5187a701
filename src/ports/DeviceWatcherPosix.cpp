#include "ports/DeviceWatcherPosix.h"
#include "ports/SystemDeviceWatcher.h"

#include <fcntl.h>
#include <libudev.h>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "ports/RegistryReaderPosix.h"

namespace orbiqa {
namespace fs = std::filesystem;
namespace {

constexpr std::uint32_t kFolderEvents =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
constexpr std::size_t kInotifyBuffer = 4096;

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

DeviceWatcherPosix::DeviceWatcherPosix(std::string linkFolder, bool useUdev)
    : folder_(std::move(linkFolder)), useUdev_(useUdev) {}

DeviceWatcherPosix::~DeviceWatcherPosix() { Stop(); }

bool DeviceWatcherPosix::Start(Listener listener) {
    Stop();
    listener_ = std::move(listener);
    if (::pipe2(stopPipe_, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    inotify_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (inotify_ >= 0) ArmFolderWatch();
    ScanLinks(false);
    if (useUdev_) {
        udev_ = udev_new();
        if (udev_) monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
        if (monitor_ && (udev_monitor_filter_add_match_subsystem_devtype(monitor_, "tty", nullptr) < 0 ||
                         udev_monitor_enable_receiving(monitor_) < 0)) {
            udev_monitor_unref(monitor_);
            monitor_ = nullptr;
        }
    }
    if (inotify_ < 0 && !monitor_) {
        Stop();
        return false;
    }
    thread_ = std::thread([this] { Run(); });
    return true;
}

void DeviceWatcherPosix::Stop() {
    if (thread_.joinable()) {
        const char wake = 1;
        (void)!::write(stopPipe_[1], &wake, 1);
        thread_.join();
    }
    CloseFd(stopPipe_[0]);
    CloseFd(stopPipe_[1]);
    CloseFd(inotify_);
    watch_ = -1;
    watchedPath_.clear();
    if (monitor_) udev_monitor_unref(monitor_);
    monitor_ = nullptr;
    if (udev_) udev_unref(udev_);
    udev_ = nullptr;
}

void DeviceWatcherPosix::ArmFolderWatch() {
    // The folder itself when it exists, else its nearest existing parent, whose changes may
    // bring the folder into being.
    fs::path wanted = folder_;
    std::error_code ec;
    while (!fs::is_directory(wanted, ec) && wanted.has_relative_path() && wanted != wanted.parent_path())
        wanted = wanted.parent_path();
    if (wanted.string() == watchedPath_ && watch_ >= 0) return;
    if (watch_ >= 0) inotify_rm_watch(inotify_, watch_);
    watch_ = inotify_add_watch(inotify_, wanted.c_str(), kFolderEvents);
    watchedPath_ = watch_ >= 0 ? wanted.string() : std::string();
}

void DeviceWatcherPosix::ScanLinks(bool report) {
    std::map<std::string, std::string> now;
    std::error_code ec;
    for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!IsPortLinkName(name)) continue;
        std::error_code linkError;
        if (!fs::is_symlink(it->symlink_status(linkError))) continue;
        const fs::path target = fs::read_symlink(it->path(), linkError);
        if (!linkError) now[name] = target.string();
    }
    if (report) {
        // A link pointed elsewhere is a removal and an arrival.
        for (const auto& [name, target] : links_) {
            const auto found = now.find(name);
            if (found == now.end() || found->second != target)
                Report({DeviceEvent::Kind::Removed, name, (fs::path(folder_) / name).string(), {}, {}, true});
        }
        for (const auto& [name, target] : now) {
            const auto found = links_.find(name);
            if (found == links_.end() || found->second != target)
                Report({DeviceEvent::Kind::Arrived, name, (fs::path(folder_) / name).string(), {}, {}, true});
        }
    }
    links_ = std::move(now);
}

void DeviceWatcherPosix::ReadUdevEvent() {
    udev_device* device = udev_monitor_receive_device(monitor_);
    if (!device) return;
    const char* action = udev_device_get_action(device);
    const std::string what = action ? action : "";
    if (what == "add" || what == "remove") {
        const SerialDeviceFacts facts = UdevSerialFacts(device);
        const auto comName = FixedPortForDevice(facts.devNode);
        // A link of the same name decides what that COM name opens; the device is not it.
        if (comName && !links_.count(*comName))
            Report({what == "add" ? DeviceEvent::Kind::Arrived : DeviceEvent::Kind::Removed, *comName, facts.devNode,
                    facts.model, facts.vendor, false});
    }
    udev_device_unref(device);
}

void DeviceWatcherPosix::Report(const DeviceEvent& event) {
    if (listener_) listener_(event);
}

void DeviceWatcherPosix::Run() {
    for (;;) {
        std::array<pollfd, 3> fds{};
        nfds_t count = 0;
        fds[count++] = {stopPipe_[0], POLLIN, 0};
        if (inotify_ >= 0) fds[count++] = {inotify_, POLLIN, 0};
        const int monitorFd = monitor_ ? udev_monitor_get_fd(monitor_) : -1;
        if (monitorFd >= 0) fds[count++] = {monitorFd, POLLIN, 0};
        if (::poll(fds.data(), count, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[0].revents) return;
        for (nfds_t i = 1; i < count; ++i) {
            if (!(fds[i].revents & POLLIN)) continue;
            if (fds[i].fd == inotify_) {
                alignas(inotify_event) char buffer[kInotifyBuffer];
                ssize_t got = 0;
                while ((got = ::read(inotify_, buffer, sizeof buffer)) > 0) {
                    for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
                        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                        // The watched folder went: its watch is gone with it.
                        if ((event->mask & IN_IGNORED) && event->wd == watch_) watch_ = -1;
                        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                    }
                }
                ArmFolderWatch();
                ScanLinks(true);
            } else {
                ReadUdevEvent();
            }
        }
    }
}

std::unique_ptr<DeviceWatcher> CreateSystemDeviceWatcher() { return std::make_unique<DeviceWatcherPosix>(); }

}  // namespace orbiqa
