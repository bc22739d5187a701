#include "shell/DesktopSetup.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QLoggingCategory>
#include <QTranslator>

#include "widgets/WindowFont.h"

namespace orbiqa {

Q_LOGGING_CATEGORY(lcDesktop, "orbiqa.shell.desktop", QtInfoMsg)

namespace {
constexpr const char* kQtCatalogue = "qtbase";
// The icon sizes the desktop picks from; the same pictures as the installed hicolor icons.
constexpr const char* kIconFiles[] = {":/icons/orbiqa-48.png", ":/icons/orbiqa-256.png"};
}  // namespace

QString QtTranslationsFolder() {
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("translations"));
    if (QFile::exists(QDir(beside).filePath(QStringLiteral("qtbase_hu.qm")))) return beside;
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
}

bool InstallQtHungarian(QApplication& app) {
    auto* translator = new QTranslator(&app);
    // The program speaks Hungarian whatever the desktop's language, so Qt's texts must too.
    if (!translator->load(QLocale(QLocale::Hungarian, QLocale::Hungary), QString::fromLatin1(kQtCatalogue),
                          QStringLiteral("_"), QtTranslationsFolder())) {
        qCWarning(lcDesktop) << "Qt's Hungarian texts not found in" << QtTranslationsFolder();
        delete translator;
        return false;
    }
    QApplication::installTranslator(translator);
    return true;
}

void SetUpDesktop(QApplication& app) {
    InstallQtHungarian(app);

    // Message boxes, file dialogs and the editor take the application font: the same family as
    // the windows that ask for theirs.
    QFont font = QApplication::font();
    font.setFamilies(WindowFontFamilies());
    QApplication::setFont(font);

    QIcon icon;
    for (const char* file : kIconFiles) icon.addFile(QString::fromLatin1(file));
    QApplication::setWindowIcon(icon);
    // Wayland and the task bars find the icon through the desktop entry of this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("orbiqa"));
}

}  // namespace orbiqa
