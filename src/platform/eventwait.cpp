#include "platform/eventwait.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace sonorel::platform {

bool runEventsUntil(const std::function<bool()>& done, int timeoutMs, int pollMs) {
    if (done())
        return true;
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || (timeoutMs >= 0 && clock.elapsed() >= timeoutMs))
            loop.quit();
    });
    poll.start(pollMs);
    loop.exec();
    return done();
}

} // namespace sonorel::platform
