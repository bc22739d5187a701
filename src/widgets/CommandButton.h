#pragma once
// A push button as every window of the program makes one: named for tests and scripts, and
// named for a screen reader by its caption without the mnemonic mark.
#include <QRect>
#include <QString>

class QPushButton;
class QWidget;

namespace orbiqa {

/// What the Enter key does with a command button.
enum class ButtonEnter {
    /// Qt's choice: in a dialog the focused button takes Enter, elsewhere nothing does.
    Style,
    /// The window's default button: Enter presses it wherever the focus is in a dialog.
    Default,
    /// Never by itself: the window decides (the windows that press the focused button on Enter
    /// do so through PressButtonsOnEnter).
    Never,
};

/// How a command button looks and sits beyond its caption.
struct CommandButtonLook {
    bool bold = false;
    /// Where the button stands in its parent; a null rectangle leaves it to a layout.
    QRect geometry{};
    ButtonEnter enter = ButtonEnter::Style;
};

QPushButton* MakeCommandButton(QWidget* parent, const QString& objectName, const QString& caption,
                               const CommandButtonLook& look = {});

/// The caption as a screen reader says it: "&Mentés" is "Mentés", "A && B" is "A & B".
QString SpokenCaption(const QString& caption);

}  // namespace orbiqa
