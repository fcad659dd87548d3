#include "shared/vbtimer.h"

namespace sonorel {

VbTimer::VbTimer(QObject* parent, int intervalMs) : QObject(parent) {
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &VbTimer::timeout);
    setInterval(intervalMs);
}

void VbTimer::setInterval(int ms) {
    m_interval = ms > 0 ? ms : 0;
    if (m_interval == 0) {
        m_timer.stop();
        return;
    }
    ++m_armings;
    m_timer.start(m_interval);
}

} // namespace sonorel
