#include "shell/MessageBoxes.h"

#include <QCoreApplication>
#include <QMessageBox>

#include "base/ErrorText.h"
#include "widgets/QtText.h"

namespace orbiqa {

namespace {
std::function<void(const BoxRequest&)>& Hook() {
    static std::function<void(const BoxRequest&)> hook;
    return hook;
}

QMessageBox::Icon ToQt(BoxIcon icon) {
    switch (icon) {
        case BoxIcon::Error: return QMessageBox::Critical;
        case BoxIcon::None: break;
    }
    return QMessageBox::NoIcon;
}
}  // namespace

void SetMessageBoxHook(std::function<void(const BoxRequest&)> hook) { Hook() = std::move(hook); }

void ShowMessageBox(const BoxRequest& request) {
    if (Hook()) {
        Hook()(request);
        return;
    }
    QMessageBox box(ToQt(request.Icon), request.Caption, request.Text, QMessageBox::Ok);
    box.exec();
}

QString ApplicationCaption() {
    const QByteArray path = QCoreApplication::applicationFilePath().toLocal8Bit();
    return QString::fromLocal8Bit(ApplicationTitle(std::string_view(path.constData(), path.size())));
}

void ShowStandardError(const std::string& message) {
    ShowMessageBox({BoxIcon::Error, ApplicationCaption(), FromWin1250(ErrorBoxText(message))});
}

void ShowPlainMessage(const QString& text) { ShowMessageBox({BoxIcon::None, ApplicationCaption(), text}); }

}  // namespace orbiqa
