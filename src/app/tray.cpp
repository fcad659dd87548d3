#include "app/tray.h"

#include <QCursor>
#include <QSystemTrayIcon>

namespace sonorel::app {

NotificationIcon* NotificationIcon::install(const QIcon& icon, QObject* parent) {
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return nullptr;
    return new NotificationIcon(icon, parent);
}

NotificationIcon::NotificationIcon(const QIcon& icon, QObject* parent)
    : QObject(parent), m_icon(new QSystemTrayIcon(icon, this)) {
    m_icon->setToolTip("Sonorel, Left-click or Right-click please");
    connect(m_icon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason why) {
                if (why == QSystemTrayIcon::Context)
                    emit menuRequested(QCursor::pos());
                else if (why == QSystemTrayIcon::Trigger)
                    emit clicked();
            });
    m_icon->show();
}

bool NotificationIcon::isVisible() const {
    return m_icon->isVisible();
}

void NotificationIcon::hide() {
    m_icon->hide();
}

} // namespace sonorel::app
