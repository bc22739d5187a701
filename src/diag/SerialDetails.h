#pragma once
// TFormDetails, "Serial Port Details": the module's text messages sorted into panes by channel.
// No button offers it; Ctrl+Alt+D on the main window shows it. Closing it only hides it.
#include <QWidget>

#include "diag/LogMemoView.h"
#include "link/Dispatcher.h"

class QPushButton;

namespace orbiqa {

class TFormDetails : public QWidget {
    Q_OBJECT
public:
    explicit TFormDetails(QWidget* parent = nullptr);

    /// The pane of a traffic-log channel (Memo3, Memo4, Memo5 or MemoDTMF); nullptr for
    /// MemoState, which belongs to the status window.
    LogMemoView* Pane(LogPane pane);

    LogMemoView* Memo2() { return memo2_; }
    LogMemoView* Memo3() { return memo3_; }
    LogMemoView* Memo4() { return memo4_; }
    LogMemoView* Memo5() { return memo5_; }
    LogMemoView* MemoDTMF() { return memoDTMF_; }

public slots:
    /// Empties the five memos; their new-line-pending flags keep their values.
    void btClearClick();
    void CloseClick();

private:
    LogMemoView* memo2_;
    LogMemoView* memo3_;
    LogMemoView* memo4_;
    LogMemoView* memoDTMF_;
    LogMemoView* memo5_;
    QPushButton* btClear_;
    QPushButton* close_;
};

}  // namespace orbiqa
