#include "platform/windowdrag.h"

#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace sonorel::platform {

namespace {
class BodyDrag final : public QObject {
public:
    explicit BodyDrag(QWidget* window) : QObject(window), m_window(window) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::MouseButtonPress ||
            static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
            return QObject::eventFilter(watched, event);
        QWindow* handle = m_window->window()->windowHandle();
        if (!handle)
            return false;
        handle->startSystemMove();
        return true;
    }

private:
    QWidget* m_window;
};
} // namespace

void dragByBody(QWidget* window, const QList<QWidget*>& parts) {
    auto* drag = new BodyDrag(window);
    window->installEventFilter(drag);
    for (QWidget* part : parts)
        part->installEventFilter(drag);
}

} // namespace sonorel::platform
