#pragma once
// The system's device reports brought to the UI thread: the discovery's reader is told first
// (so that a pulled adapter it never saw is remembered), then Changed is emitted for the open
// windows (the chooser's live list, the open port's loss).
#include <QObject>
#include <memory>

#include "ports/DeviceWatcher.h"
#include "ports/SorosKeres.h"

namespace orbiqa {

class PortWatch : public QObject {
    Q_OBJECT

public:
    /// Starts watcher at once; discovery outlives this object.
    PortWatch(SorosKeres& discovery, std::unique_ptr<DeviceWatcher> watcher, QObject* parent = nullptr);
    ~PortWatch() override;

    /// Whether the system reports devices at all.
    bool Active() const { return active_; }
    SorosKeres& Discovery() { return discovery_; }

signals:
    /// One report, on this object's thread.
    void Changed(const orbiqa::DeviceEvent& event);

private:
    void Deliver(const DeviceEvent& event);

    SorosKeres& discovery_;
    std::unique_ptr<DeviceWatcher> watcher_;
    bool active_ = false;
};

}  // namespace orbiqa
