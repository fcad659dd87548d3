#pragma once
#include <QDateTime>

namespace sonorel::platform {

// Local wall-clock time; tests set it.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

} // namespace sonorel::platform
