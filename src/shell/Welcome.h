#pragma once
// TWelcomeForm: the splash window. It is the program's first window: when it closes, the program
// ends. Its first showing creates the main window; one Timer1 tick later it hides itself, applies
// the variant captions and shows the main window.
#include <QTimer>
#include <QWidget>
#include <functional>

class QLabel;

namespace orbiqa {

class TWelcomeForm : public QWidget {
    Q_OBJECT
public:
    static constexpr int kTimer1IntervalMs = 20;

    explicit TWelcomeForm(QWidget* parent = nullptr);

    /// Run when the window is first shown: creates the main window.
    std::function<void()> OnCreateMainForm;
    /// Run at the first tick of Timer1, after the splash has hidden itself: SetProductVariant and
    /// showing the main window.
    std::function<void()> OnShowMainForm;

    QTimer& Timer1() { return timer1_; }

public slots:
    void Timer1Timer();

protected:
    void showEvent(QShowEvent* e) override;   // FormShow
    void closeEvent(QCloseEvent* e) override;

private:
    QTimer timer1_;
    QWidget* client_;  ///< the client area inside the border
    QLabel* lbVersion_;
    bool shownOnce_ = false;
};

}  // namespace orbiqa
