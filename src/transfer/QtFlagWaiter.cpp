#include "transfer/QtFlagWaiter.h"

#include <QCoreApplication>
#include <QEventLoop>

namespace orbiqa {

QtFlagWaiter::QtFlagWaiter(QObject* parent, int tickMs) : QObject(parent), timer1_(this) {
    timer1_.setObjectName(QStringLiteral("Timer1"));
    timer1_.setInterval(tickMs);
    connect(&timer1_, &QTimer::timeout, this, &QtFlagWaiter::Timer1Timer);
    timer1_.start();
}

void QtFlagWaiter::Timer1Timer() {
    if (replyCountdown_ > 0) --replyCountdown_;
}

void QtFlagWaiter::WaitForFlag(const std::uint8_t& flag, int ticks, const WaitAbandoned& abandoned) {
    replyCountdown_ = ticks;
    while (replyCountdown_ > 0) {
        // A lost device or a stop request is reported through an event too, so nothing is waited
        // for in vain; one that came before the wait ends it at once.
        if (abandoned && abandoned()) {
            replyCountdown_ = 0;
            break;
        }
        // Sleeps until an event arrives (a port hand-over, a Timer1 tick, user input), then
        // handles everything pending; never spins.
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        if (flag != 0) break;
    }
}

WaitForFlagFunction QtFlagWaiter::Function() {
    return [this](const std::uint8_t& flag, int ticks, const WaitAbandoned& abandoned) {
        WaitForFlag(flag, ticks, abandoned);
    };
}

}  // namespace orbiqa
