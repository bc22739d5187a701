#pragma once
// The user-interface side of InstanceChannel: a start hands its file to the program already
// running for the same settings folder and ends, or becomes that program and from then on gets
// the files of later starts on the user-interface thread.
#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>

namespace orbiqa {

class InstanceChannel;

/// The box of a start that ends because the running program did not answer.
QString NotTakenText(const QStringList& fileNames);

class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const std::string& settingsFolder, QObject* parent = nullptr);
    ~SingleInstance() override;

    /// True when a running program took fileNames (possibly none: it then only comes forward),
    /// so that this start should end; also true, after a box that says so, when the user's
    /// program runs but does not answer, since a second program would fight it over the port.
    /// Otherwise this start listens from now on (or, without a channel it can trust, runs on
    /// its own), and onFiles runs on the user-interface thread with the files of each later
    /// start.
    bool HandOverOrListen(const QStringList& fileNames, std::function<void(const QStringList&)> onFiles);

private:
    std::unique_ptr<InstanceChannel> channel_;
};

}  // namespace orbiqa
