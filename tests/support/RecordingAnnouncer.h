#pragma once
// Records what the program says to a person instead of passing it to the system, for as long as
// it lives.
#include <QStringList>
#include <QWidget>

#include "widgets/Announcer.h"

namespace orbiqa::test {

struct RecordingAnnouncer : Announcer {
    QStringList said;
    QList<QWidget*> windows;
    Announcer* previous;

    RecordingAnnouncer() : previous(SetAnnouncer(this)) {}
    ~RecordingAnnouncer() override { SetAnnouncer(previous); }
    RecordingAnnouncer(const RecordingAnnouncer&) = delete;
    RecordingAnnouncer& operator=(const RecordingAnnouncer&) = delete;

    bool Say(QWidget* window, const QString& text) override {
        windows << window;
        said << text;
        return true;
    }
    /// What was said since the last call.
    QStringList Take() {
        QStringList taken;
        taken.swap(said);
        windows.clear();
        return taken;
    }
};

}  // namespace orbiqa::test
