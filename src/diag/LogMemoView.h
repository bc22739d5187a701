#pragma once
// A read-only memo with a vertical scroll bar that AppendLogText writes into; the module's
// Windows-1250 text is converted here, at the widget.
#include <QPlainTextEdit>

#include "diag/LogMemo.h"

namespace orbiqa {

class LogMemoView : public QPlainTextEdit, public LogMemo {
    Q_OBJECT
public:
    /// objectName is the control's name in the code; accessibleName what a person calls it (the
    /// channel it shows), since memos have no caption of their own.
    LogMemoView(const QString& objectName, const QString& accessibleName, QWidget* parent = nullptr);

    void AddLine(std::string_view text) override;
    void AppendToLastLine(std::string_view text) override;

    /// The memo's lines (for callers and tests that look at the content).
    QStringList Lines() const;
};

}  // namespace orbiqa
