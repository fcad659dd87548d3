#pragma once
// Letting the event loop run in tests: until a condition holds, or for a while.

#include <functional>
#include <QCoreApplication>
#include <QElapsedTimer>

namespace sonorel::test {

// True when `done` came true before the time-out.
inline bool spinUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() >= timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

inline void spinFor(int ms) {
    spinUntil([] { return false; }, ms);
}

} // namespace sonorel::test
