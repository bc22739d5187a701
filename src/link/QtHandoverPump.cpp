#include "link/QtHandoverPump.h"

namespace orbiqa {

QtHandoverPump::QtHandoverPump(TComPort& port, QObject* parent) : QObject(parent), port_(port) {
    port_.SetHandoverNotifier([this] {
        QMetaObject::invokeMethod(this, [this] { port_.RunPendingHandover(); }, Qt::QueuedConnection);
    });
}

}  // namespace orbiqa
