#pragma once
// Windows-1250 text, the 8-bit code page of every text the module sends and every file the
// program keeps. Conversion goes through the system's converter (Windows' code-page functions,
// iconv elsewhere); there is no hand-written table.
#include <optional>
#include <string>
#include <string_view>

namespace orbiqa {

/// UTF-8 of a Windows-1250 text. Bytes that the code page leaves undefined become U+FFFD.
std::string Win1250ToUtf8(std::string_view cp1250);

/// Windows-1250 bytes of a UTF-8 text, or nothing when a character cannot be held in the code
/// page (or the UTF-8 is malformed).
std::optional<std::string> Utf8ToWin1250(std::string_view utf8);

}  // namespace orbiqa
