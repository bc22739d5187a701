#pragma once
// Every message box of the program goes through ShowMessageBox, so that there is one place
// that decides how a box looks, and tests can take the boxes instead of blocking on them.
#include <QString>
#include <functional>
#include <memory>
#include <string>

class QMessageBox;
class QWidget;

namespace orbiqa {

enum class BoxIcon { None, Warning, Error };

struct BoxRequest {
    BoxIcon Icon = BoxIcon::None;
    QString Caption;
    QString Text;
    /// The window the box belongs to (centred on it, modal to it); none for the application.
    QWidget* Parent = nullptr;
};

/// Shows a modal box with one OK button and returns when it is closed.
void ShowMessageBox(const BoxRequest& request);

/// The box ShowMessageBox shows, not yet shown: plain text, never markup.
std::unique_ptr<QMessageBox> MakeMessageBox(const BoxRequest& request);

/// Replaces the boxes with hook (nullptr restores them). For tests.
void SetMessageBoxHook(std::function<void(const BoxRequest&)> hook);

/// The application title: the program file's name, capitalised ("Orbiqa" for orbiqa).
QString ApplicationCaption();

/// The standard error message box: error icon, one OK, the application title as caption, and
/// the message (Windows-1250) with the full-stop rule.
void ShowStandardError(const std::string& message);

/// A plain box captioned with the application title (" Nincs soros kapcsolat." and the like).
void ShowPlainMessage(const QString& text);

}  // namespace orbiqa
