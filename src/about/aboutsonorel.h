#pragma once
// The about window: the product's name, its version and how to reach its maker
// (web site and support mail, each opened by the desktop). Small, on top,
// dragged by any free point of its body; Escape or Close closes it.

#include <QWidget>

class QLabel;
class QPushButton;

namespace sonorel::app {
struct Services;
}

namespace sonorel::about {

class AboutSonorel final : public QWidget {
    Q_OBJECT
public:
    explicit AboutSonorel(app::Services& services, QWidget* parent = nullptr);

    QLabel *ProductName, *Version;
    QPushButton *WebSite, *SupportMail, *CloseButton;

private:
    void open(const QString& address);

    app::Services& m_services;
};

} // namespace sonorel::about
