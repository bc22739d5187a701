#pragma once
// The module's texts of one channel turned into whole lines for a stream. The memo rule
// (AppendLogText) decides where lines break; a line is handed on as soon as it is known to be
// complete, that is when its carriage return arrives, and an unfinished line at the end on
// Flush. No Qt here.
#include <functional>
#include <string>
#include <string_view>

#include "diag/LogMemo.h"

namespace orbiqa::cli {

class ChannelLines final : private LogMemo {
public:
    /// Receives each finished line (Windows-1250, without its carriage return).
    using LineSink = std::function<void(const std::string& line)>;

    explicit ChannelLines(LineSink sink) : sink_(std::move(sink)) {}

    /// Module text as the dispatcher delivers it.
    void Append(std::string_view text);
    /// Hands on a line that has not been ended yet, if any.
    void Flush();

private:
    void AddLine(std::string_view text) override;
    void AppendToLastLine(std::string_view text) override;
    void Emit();

    LineSink sink_;
    std::string line_;
    bool open_ = false;  // line_ holds a line not handed on yet
};

}  // namespace orbiqa::cli
