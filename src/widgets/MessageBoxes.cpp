#include "widgets/MessageBoxes.h"

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
        case BoxIcon::Warning: return QMessageBox::Warning;
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
    MakeMessageBox(request)->exec();
}

std::unique_ptr<QMessageBox> MakeMessageBox(const BoxRequest& request) {
    auto box = std::make_unique<QMessageBox>(ToQt(request.Icon), request.Caption, QString(), QMessageBox::Ok,
                                             request.Parent);
    // Texts come from the module and the user's files: a version text holding "<" must show
    // as written, and runs of blanks must keep their width, so the box never guesses markup.
    box->setTextFormat(Qt::PlainText);
    box->setText(request.Text);
    return box;
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
