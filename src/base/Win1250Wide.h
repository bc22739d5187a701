#pragma once
// Windows-1250 text to and from the wide (UTF-16) text of Windows' "W" functions. Only the
// Windows build has these: Windows code converts the system's wide texts here, once, into the
// program's text.
#include <string>
#include <string_view>

namespace orbiqa {

/// The wide text of a Windows-1250 text.
std::wstring Win1250ToWide(std::string_view cp1250);

/// The Windows-1250 text of a wide text; a character the code page lacks becomes "?".
std::string WideToWin1250(std::wstring_view wide);

}  // namespace orbiqa
