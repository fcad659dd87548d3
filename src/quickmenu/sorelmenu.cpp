#include "quickmenu/sorelmenu.h"

#include "app/program.h"
#include "platform/accessiblename.h"

#include <QKeyEvent>

namespace sonorel::quickmenu {

sorelMenu::sorelMenu(const app::Program& program, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::FramelessWindowHint) {
    setObjectName("sorelMenu");
    setWindowTitle("Sonorel menu");
    platform::nameAs(this, "Sonorel menu");
    setFocusPolicy(Qt::StrongFocus);
    setFixedSize(160, 40);
    // Placed when it opens; showing it again while open leaves it where it is.
    move(program.MenuAnchor);
}

void sorelMenu::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace sonorel::quickmenu
