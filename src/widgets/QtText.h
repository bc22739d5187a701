#pragma once
// The one place where Windows-1250 text meets QString: module texts and stored fields are
// converted here, at the widget boundary, and nowhere else.
#include <QString>
#include <optional>
#include <string>

namespace orbiqa {

QString FromWin1250(const std::string& text);

/// The Windows-1250 bytes of a QString, or nothing when a character has no place in the code page.
std::optional<std::string> ToWin1250(const QString& text);

}  // namespace orbiqa
