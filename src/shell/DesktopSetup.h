#pragma once
// What the program sets up once for the whole desktop session: Qt's own texts in Hungarian
// (file dialogs, the edit menu of every text field, standard buttons), the one window font
// family, and the program's icon on every window.
class QApplication;
class QString;

namespace orbiqa {

/// Loads Qt's Hungarian translation (qtbase_hu.qm) from Qt's translation folder and installs it;
/// returns false when it is missing (the program then works with Qt's English texts).
bool InstallQtHungarian(QApplication& app);

/// The folder holding Qt's translations: Qt's own, or a "translations" folder beside the
/// program (where a Windows installation keeps them).
QString QtTranslationsFolder();

/// The translation, the window font family for every window and dialog, the application icon
/// and the desktop entry's name.
void SetUpDesktop(QApplication& app);

}  // namespace orbiqa
