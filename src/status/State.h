#pragma once
// TStateForm, "A modul állapota": the module's live state. While shown it polls the module with
// "??" every 500 ms; the status messages that come back (whenever they come) are shown by
// ShowModuleStatus, also while the window is hidden.
#include <QTimer>
#include <QWidget>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

#include "link/Dispatcher.h"
#include "link/ModuleMessage.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QFrame;

namespace orbiqa {

class LogMemoView;
class ModuleLink;

class TStateForm : public QWidget, public StatusConsumer {
    Q_OBJECT
public:
    explicit TStateForm(ModuleLink& link, QWidget* parent = nullptr);

    /// Stores the bytes into ModuleStatusBytes and shows them.
    void ModuleStatusReceived(const std::array<std::uint8_t, 4>& statusBytes) override;
    /// Turns ModuleStatusBytes into the labels' texts and colours and the bar's position.
    void ShowModuleStatus();

    std::array<std::uint8_t, 4> ModuleStatusBytes{};
    /// The signal strength of the last status message, if one has arrived.
    std::optional<int> LastSignal() const;

    LogMemoView* MemoState() { return memoState_; }
    QTimer& TimerState() { return timerState_; }

public slots:
    void TimerStateTimer();
    void btClearMsgClick();
    void btCloseClick();

protected:
    void showEvent(QShowEvent* e) override;  // FormShow
    void hideEvent(QHideEvent* e) override;  // FormHide, and FormClose, since closing hides
    void changeEvent(QEvent* e) override;

private:
    /// Says the values that changed since they were last said, in one sentence.
    void SayChangedValues();

    QFrame* HeaderPanel(const char* name, const QString& caption, const char* labelName, QLabel*& label,
                        const QRect& geometry);

    ModuleLink& link_;
    QTimer timerState_;
    QLabel* lbLineVoltage_ = nullptr;
    QLabel* lbIN1_ = nullptr;
    QLabel* lbGSMLine_ = nullptr;
    QLabel* lbGSMpowVal_ = nullptr;
    QProgressBar* pbTerero_ = nullptr;
    LogMemoView* memoState_ = nullptr;
    // What a screen reader was last told of each value ("IN1: Rövidzár"); cleared when the
    // window opens, so that the values are said once then and afterwards only when they change.
    std::array<QString, 4> said_;
    bool statusReceived_ = false;
    bool sayOnActivation_ = false;
};

}  // namespace orbiqa
