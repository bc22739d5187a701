#pragma once
// The rules of the standard error message box: its caption and how a message is finished.
#include <string>
#include <string_view>

namespace orbiqa {

/// The message as the error box shows it: a full stop is appended when the last character sorts
/// after "." (so a message ending in ")" or "." gets none).
std::string ErrorBoxText(std::string_view message);

/// The application title from the program file's path: the file name without folder and
/// extension, every letter after the first in lower case ("orbiqa" gives "Orbiqa").
std::string ApplicationTitle(std::string_view programPath);

}  // namespace orbiqa
