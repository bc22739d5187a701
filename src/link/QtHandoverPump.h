#pragma once
// Carries the serial port's hand-overs onto the Qt thread that owns this object: the port's
// event thread posts a queued call, and the event loop (also a nested one during a transfer
// wait) runs the pending hand-over. Destroy it only after the port is closed.
#include <QObject>

#include "link/ComPort.h"

namespace orbiqa {

class QtHandoverPump : public QObject {
    Q_OBJECT
public:
    explicit QtHandoverPump(TComPort& port, QObject* parent = nullptr);

private:
    TComPort& port_;
};

}  // namespace orbiqa
