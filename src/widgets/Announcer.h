#pragma once
// What the program says to the person: a sentence that the screen reader speaks at once,
// whatever has the focus. Screen readers ignore most changes away from the focus (a label's new
// text, the status bar's message), so every such sentence goes through here instead.
//   Linux:   an accessible object with the notification role is shown with the sentence as
//            its name; Orca speaks a notification when it is shown (AnnouncerLinux.cpp).
//   Windows: a UI Automation notification (UiaRaiseNotificationEvent), which Narrator and
//            NVDA speak (AnnouncerWin32.cpp).
#include <QString>

class QWidget;

namespace orbiqa {

class Announcer {
public:
    virtual ~Announcer() = default;
    /// Passes text to the screen reader as said by window (a top-level window, shown). Returns
    /// false when the system offered no way to pass it on; nothing else can fail.
    virtual bool Say(QWidget* window, const QString& text) = 0;
};

/// The announcer of this system; it lives as long as the program.
Announcer& SystemAnnouncer();

/// Says text through the announcer in use, as said by source's window; when that window is not
/// shown, by the application's active window. Empty text, or no window shown at all, says
/// nothing. Leading and trailing blanks are not said.
void Announce(QWidget* source, const QString& text);

/// Puts announcer in use instead of the system's (tests record what is said); null puts the
/// system's back. Returns the one that was in use.
Announcer* SetAnnouncer(Announcer* announcer);

}  // namespace orbiqa
