#include "shell/OrbiqaApplication.h"

#include <QLoggingCategory>
#include <exception>

#include "widgets/MessageBoxes.h"

namespace orbiqa {

Q_LOGGING_CATEGORY(lcApplication, "orbiqa.shell", QtInfoMsg)

OrbiqaApplication::OrbiqaApplication(int& argc, char** argv) : QApplication(argc, argv) {
    // The splash window hides itself and stays alive; the program ends when it is closed, which
    // is what closing the main window does. So visibility must not end the program.
    setQuitOnLastWindowClosed(false);
}

bool OrbiqaApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        qCWarning(lcApplication) << "error reached the user:" << e.what();
        ShowStandardError(e.what());
    } catch (...) {
        qCWarning(lcApplication) << "unknown error reached the user";
        ShowStandardError("Unknown error");
    }
    return false;
}

}  // namespace orbiqa
