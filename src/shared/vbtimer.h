#pragma once
// A window timer with the legacy interval rule: interval 0 means stopped, and
// setting any other interval (re)starts the count. A plain QTimer with interval 0
// would fire continuously instead.

#include <QObject>
#include <QTimer>

namespace sonorel {

class VbTimer final : public QObject {
    Q_OBJECT
public:
    explicit VbTimer(QObject* parent = nullptr, int intervalMs = 0);

    void setInterval(int ms); // <= 0 stops
    int interval() const { return m_interval; }
    bool isRunning() const { return m_timer.isActive(); }
    // How many times a non-zero interval (re)started the count: lets a test that
    // drives the ticks itself tell when a wait began.
    quint64 armings() const { return m_armings; }

signals:
    void timeout();

private:
    QTimer m_timer;
    int m_interval = 0;
    quint64 m_armings = 0;
};

} // namespace sonorel
