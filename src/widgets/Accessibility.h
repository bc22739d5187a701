#pragma once
// What assistive technology (AT-SPI on Linux, UI Automation on Windows) learns of the windows
// beyond what Qt tells by itself: top-level windows as windows, changing texts as names that
// are announced when they change, and Escape for the small service windows.
#include <QString>

class QLabel;
class QProgressBar;
class QStatusBar;
class QTabWidget;
class QWidget;

namespace orbiqa {

/// Qt reports a top-level plain QWidget as a "client" (AT-SPI: "filler"), so a screen reader
/// does not announce it as a window. Marks window so that it reports the window role.
void ExposeAsWindow(QWidget* window);

/// The status bar's current message becomes its accessible name, announced on each change;
/// emptyName names it while it shows nothing.
void SpeakStatusMessages(QStatusBar* bar, const QString& emptyName);

/// A label that shows changing text: its text is its accessible name; description says what the
/// text is, and caption, when given, is the label that names it (a "labelled by" relation).
/// Change its text with ShowText.
void ExposeShownText(QLabel* label, const QString& description, QLabel* caption = nullptr);

/// Shows text in label and announces the new name (QLabel::setText alone announces nothing).
void ShowText(QLabel* label, const QString& text);

/// Enter and Return press the focused push button of window as Space does, as Windows buttons
/// take both. Covers the buttons window holds when this is called.
void PressButtonsOnEnter(QWidget* window);

/// A bar that shows a level on its scale (the GSM signal, 0 to 31) rather than progress: a
/// screen reader says its value as shown ("20", of 0 to 31), not as a percentage. It is
/// reported as a read-only slider with the value interface and the bar's range.
void ExposeAsLevel(QProgressBar* bar);

/// The tab widget's page stack, a "layered pane" with no name, is reported as a plain container,
/// which screen readers pass over; the pages themselves keep their names.
void HidePageStack(QTabWidget* pages);

/// Escape closes window as its close box does.
void CloseOnEscape(QWidget* window);

}  // namespace orbiqa
