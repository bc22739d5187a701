#pragma once
// AppendLogText: how module text lands in a memo. The module ends its lines with a carriage
// return but starts the next line only when the next printable character arrives, so a memo
// remembers whether a new line is pending between calls (and across "Clear All").
#include <string>
#include <string_view>

namespace orbiqa {

/// The few operations AppendLogText needs of a memo. Texts are Windows-1250 bytes.
class LogMemo {
public:
    virtual ~LogMemo() = default;

    /// Adds a new last line holding text (in an empty memo: its first line).
    virtual void AddLine(std::string_view text) = 0;
    /// Appends text to the last line (an empty memo gets its first line).
    virtual void AppendToLastLine(std::string_view text) = 0;

    /// Set by a carriage return, cleared by the next character that is not CR or LF. Emptying
    /// the memo's lines does not touch it.
    bool NewLinePending = false;
};

/// Appends module text with the carriage-return rule: CR ends the line (two in a row leave a
/// line holding one blank), LF is ignored, any other character continues the last line or,
/// after a CR, starts a new one. Whether the memo may be written at all is the caller's choice.
void AppendLogText(LogMemo& memo, std::string_view text);

}  // namespace orbiqa
