#pragma once
// The quick menu's window as it stands until its items are built: an empty
// always-on-top window that opens where the tray icon was right-clicked, so the
// icon's clicks can open and close it.

#include <QWidget>

namespace sonorel::app {
struct Program;
}

namespace sonorel::quickmenu {

class sorelMenu final : public QWidget {
    Q_OBJECT
public:
    explicit sorelMenu(const app::Program& program, QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace sonorel::quickmenu
