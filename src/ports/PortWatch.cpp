#include "ports/PortWatch.h"

namespace orbiqa {

PortWatch::PortWatch(SorosKeres& discovery, std::unique_ptr<DeviceWatcher> watcher, QObject* parent)
    : QObject(parent), discovery_(discovery), watcher_(std::move(watcher)) {
    active_ = watcher_ && watcher_->Start([this](const DeviceEvent& event) {
        // Queued to this object's thread; a report still queued when the object goes is dropped.
        QMetaObject::invokeMethod(this, [this, event] { Deliver(event); }, Qt::QueuedConnection);
    });
}

PortWatch::~PortWatch() {
    if (watcher_) watcher_->Stop();
}

void PortWatch::Deliver(const DeviceEvent& event) {
    discovery_.Registry().NoteDeviceEvent(event);
    emit Changed(event);
}

}  // namespace orbiqa
