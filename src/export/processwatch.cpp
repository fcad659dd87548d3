#include "export/processwatch.h"

#include <QThread>

namespace sonorel::exporting {

bool ProcessWatch::isRunning(const platform::ProcessLauncher& launcher) const {
    return m_pid && launcher.isAlive(*m_pid);
}

bool ProcessWatch::end(platform::ProcessLauncher& launcher, int waitMs) {
    if (!m_pid || !launcher.terminate(*m_pid))
        return false;
    // A killed process is gone within milliseconds; the limit only guards a
    // process the system will not let go.
    constexpr int kStepMs = 5;
    for (int waited = 0; waited < waitMs && launcher.isAlive(*m_pid); waited += kStepMs)
        QThread::msleep(kStepMs);
    return true;
}

} // namespace sonorel::exporting
