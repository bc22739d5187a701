#pragma once
// Device reports on Linux: the kernel's tty device events as udev passes them on (an adapter
// plugged or pulled), and the links made and removed in the port-link folder (the simulator
// publishing its terminal, a user's own link). The folder is watched even before it exists: its
// nearest existing parent is watched until it appears.
#include <map>
#include <string>
#include <thread>

#include "serial/PortLinks.h"
#include "ports/DeviceWatcher.h"

struct udev;
struct udev_monitor;

namespace orbiqa {

class DeviceWatcherPosix : public DeviceWatcher {
public:
    /// linkFolder: the port-link folder; useUdev: also the kernel's device events (tests leave
    /// them out, as they cannot make them).
    explicit DeviceWatcherPosix(std::string linkFolder = PortLinkFolder(), bool useUdev = true);
    ~DeviceWatcherPosix() override;
    DeviceWatcherPosix(const DeviceWatcherPosix&) = delete;
    DeviceWatcherPosix& operator=(const DeviceWatcherPosix&) = delete;

    /// The links in the folder when it returns are the starting state: only later changes are
    /// reported.
    bool Start(Listener listener) override;
    void Stop() override;

private:
    void Run();
    void ArmFolderWatch();
    void ScanLinks(bool report);
    void ReadUdevEvent();
    void Report(const DeviceEvent& event);

    std::string folder_;
    bool useUdev_;
    Listener listener_;
    std::thread thread_;
    int stopPipe_[2] = {-1, -1};
    int inotify_ = -1;
    int watch_ = -1;
    std::string watchedPath_;
    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    std::map<std::string, std::string> links_;  // COM name -> target as the link holds it
};

}  // namespace orbiqa
