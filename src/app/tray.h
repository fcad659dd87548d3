#pragma once
// The reader's notification-area icon: a left click asks to hide or show the
// reader, a right click asks for the quick menu at the pointer. The main window
// decides what either means.

#include <memory>
#include <QObject>
#include <QPoint>

class QIcon;
class QSystemTrayIcon;

namespace sonorel::app {

class NotificationIcon final : public QObject {
    Q_OBJECT
public:
    // Nothing when the desktop has no notification area: the caller keeps its
    // window reachable another way.
    static NotificationIcon* install(const QIcon& icon, QObject* parent);

    bool isVisible() const;
    void hide();

signals:
    void clicked();
    void menuRequested(QPoint at);

private:
    NotificationIcon(const QIcon& icon, QObject* parent);
    QSystemTrayIcon* m_icon;
};

} // namespace sonorel::app
