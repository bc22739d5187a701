#pragma once
// A push button as every window of the program makes one: named for tests and scripts, and
// named for a screen reader by its caption without the mnemonic mark.
#include <QString>

class QPushButton;
class QWidget;

namespace orbiqa {

QPushButton* MakeCommandButton(QWidget* parent, const QString& objectName, const QString& caption);

/// The caption as a screen reader says it: "&Mentés" is "Mentés", "A && B" is "A & B".
QString SpokenCaption(const QString& caption);

}  // namespace orbiqa
