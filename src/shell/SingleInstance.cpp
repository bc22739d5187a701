#include "shell/SingleInstance.h"

#include <QDir>
#include <QLoggingCategory>
#include <QMetaObject>
#include <QString>
#include <vector>

#include "shell/InstanceChannel.h"
#include "widgets/MessageBoxes.h"

namespace orbiqa {
namespace {

Q_LOGGING_CATEGORY(lcInstance, "orbiqa.instance")

std::vector<std::string> Utf8Names(const QStringList& names) {
    std::vector<std::string> out;
    for (const QString& name : names) out.push_back(name.toStdString());
    return out;
}

}  // namespace

QString NotTakenText(const QStringList& fileNames) {
    QString text = QString::fromUtf8("Az Orbiqa már fut, de nem válaszol; ez az indítás kilép.");
    if (!fileNames.isEmpty())
        text += QString::fromUtf8(" Nem nyílt meg: ") +
                QDir::toNativeSeparators(fileNames.join(QStringLiteral(", ")));
    return text;
}

SingleInstance::SingleInstance(const std::string& settingsFolder, QObject* parent)
    : QObject(parent), channel_(CreateInstanceChannel(InstanceChannelName(settingsFolder))) {}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::HandOverOrListen(const QStringList& fileNames,
                                      std::function<void(const QStringList&)> onFiles) {
    const std::string message = EncodeHandOver(Utf8Names(fileNames));
    auto receive = [this, onFiles](const std::string& received) {
        const auto names = DecodeHandOver(received);
        if (!names) return;
        QStringList files;
        for (const std::string& name : *names) files.push_back(QString::fromStdString(name));
        // From the channel's thread to the user-interface thread; dropped if this object went.
        QMetaObject::invokeMethod(this, [onFiles, files] { onFiles(files); }, Qt::QueuedConnection);
    };
    // Two starts at the same moment: one of them listens, the other hands over on its second try.
    bool unanswered = false;
    for (int attempt = 0; attempt < 2 && !unanswered; ++attempt) {
        const HandOverResult result = channel_->HandOver(message);
        if (result == HandOverResult::Taken) return true;
        unanswered = result == HandOverResult::NoAnswer;
        if (!unanswered && channel_->Listen(receive)) return false;
    }
    if (unanswered) {
        // A second program would fight the first over its port: this start ends and says why.
        qCWarning(lcInstance) << "the running program did not take the files in time";
        ShowPlainMessage(NotTakenText(fileNames));
        return true;
    }
    qCWarning(lcInstance) << "no single-instance channel; this program runs on its own";
    return false;
}

}  // namespace orbiqa
