#include "shared/elapsed.h"

namespace sonorel {

namespace {
QString lastTwoDigits(std::int64_t n) {
    return (QStringLiteral("0") + QString::number(n)).right(2);
}
} // namespace

QString elapsedText(std::int64_t seconds) {
    if (seconds < 0)
        seconds = 0;
    return lastTwoDigits(seconds / 3600) + ':' + lastTwoDigits((seconds / 60) % 60) + ':' +
           lastTwoDigits(seconds % 60);
}

} // namespace sonorel
