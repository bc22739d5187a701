#pragma once
// The application object. Its notify override is the one place where an error that escaped an
// event handler ends: the user sees the standard error message box and the program carries on.
#include <QApplication>

namespace orbiqa {

class OrbiqaApplication : public QApplication {
    Q_OBJECT
public:
    OrbiqaApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace orbiqa
