#pragma once
// WaitForFlag for Qt programs, with or without widgets: a countdown of timer ticks, and nested
// event processing that sleeps until some event arrives. A reply is therefore handled the moment
// the port hands its last byte over, other windows keep working, and an idle wait costs no CPU.
#include <QObject>
#include <QTimer>

#include <cstdint>

#include "transfer/TransferEngine.h"

namespace orbiqa {

class QtFlagWaiter : public QObject {
    Q_OBJECT
public:
    /// Timer1 starts at once and ticks for the waiter's whole life. tickMs exists for tests that
    /// exercise time-outs quickly; programs keep the default.
    explicit QtFlagWaiter(QObject* parent = nullptr, int tickMs = kWaitTickMs);

    /// Sets ReplyCountdown to ticks, then processes events until the flag is non-zero or the
    /// countdown has reached 0, or abandoned (when given) returns true, which it is asked before
    /// each sleep (and so before the first). The caller tests the flag again afterwards.
    void WaitForFlag(const std::uint8_t& flag, int ticks, const WaitAbandoned& abandoned = {});

    /// The wait as the engine takes it; valid while this object lives.
    WaitForFlagFunction Function();

    int ReplyCountdown() const { return replyCountdown_; }
    QTimer& Timer1() { return timer1_; }

private:
    void Timer1Timer();

    QTimer timer1_;
    int replyCountdown_ = 0;
};

}  // namespace orbiqa
