#include "app/tray.h"

#include "app/program.h"
#include "app/windows.h"

#include <cmath>
#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QWidget>

namespace sonorel::app {

namespace {
constexpr int kTipLength = 64;
// A window not wider or not taller than this (twips) is too small to use.
constexpr int kSmallWidth = 2400, kSmallHeight = 360;

void maximizeWhenSmall(TrayWindow& window) {
    const QRect g = window.twipsGeometry();
    if (g.width() <= kSmallWidth || g.height() <= kSmallHeight)
        window.setState(2);
}
} // namespace

QPointF offScreenLimits(const ScreenFacts& screen) {
    QPointF pixels(900, 700);
    if (screen.heightPixels == 480)
        pixels = {518, 410};
    else if (screen.heightPixels == 600)
        pixels = {678, 532};
    return {pixels.x() * screen.twipsPerPixelX, pixels.y() * screen.twipsPerPixelY};
}

void trayLeftClick(TrayWindow& window, int lastWindowState, const ScreenFacts& screen) {
    const int state = window.state();
    if (window.isVisible()) {
        if (state != 1) {
            window.hide();
            return;
        }
        window.setState(lastWindowState);
        maximizeWhenSmall(window);
        window.focus();
        return;
    }
    if (state == 1) {
        window.setState(lastWindowState);
        window.show();
        window.focus();
        return;
    }
    if (state == 2) {
        window.setState(2);
        window.show();
        window.focus();
        return;
    }
    window.setState(0);
    window.show();
    window.focus();
    QRect g = window.twipsGeometry();
    if (g.top() < 0 || g.left() < 0)
        window.moveTo(std::max(0, g.left()), std::max(0, g.top()));
    maximizeWhenSmall(window);
    g = window.twipsGeometry();
    const QPointF limits = offScreenLimits(screen);
    if (g.left() > limits.x() || g.top() > limits.y())
        window.moveTo(0, 0);
}

// --- the main window as a widget

int WidgetTrayWindow::state() const {
    if (m_widget.isMinimized())
        return 1;
    return m_widget.isMaximized() ? 2 : 0;
}

bool WidgetTrayWindow::isVisible() const {
    return m_widget.isVisible();
}

void WidgetTrayWindow::setState(int state) {
    const Qt::WindowStates keep = m_widget.windowState() & Qt::WindowActive;
    switch (state) {
    case 1:
        m_widget.setWindowState(keep | Qt::WindowMinimized);
        break;
    case 2:
        m_widget.setWindowState(keep | Qt::WindowMaximized);
        break;
    default:
        m_widget.setWindowState(keep);
        break;
    }
}

void WidgetTrayWindow::show() {
    m_widget.show();
}

void WidgetTrayWindow::hide() {
    m_widget.hide();
}

void WidgetTrayWindow::focus() {
    m_widget.raise();
    m_widget.activateWindow();
}

double WidgetTrayWindow::twipsPerPixel() const {
    const QScreen* s = m_widget.screen();
    const double dpi = s ? s->logicalDotsPerInchY() : 96.0;
    return 1440.0 / (dpi > 0 ? dpi : 96.0);
}

QRect WidgetTrayWindow::twipsGeometry() const {
    // The inner area, as the window settings keep it.
    const QRect g = m_widget.geometry();
    const double t = twipsPerPixel();
    auto tw = [t](int px) { return int(std::lround(px * t)); };
    return {tw(g.x()), tw(g.y()), tw(g.width()), tw(g.height())};
}

void WidgetTrayWindow::moveTo(int leftTwips, int topTwips) {
    const double t = twipsPerPixel();
    const QRect g = m_widget.geometry();
    m_widget.setGeometry(int(std::lround(leftTwips / t)), int(std::lround(topTwips / t)), g.width(),
                         g.height());
}

ScreenFacts primaryScreenFacts() {
    ScreenFacts facts;
    if (const QScreen* s = QGuiApplication::primaryScreen()) {
        facts.heightPixels = s->geometry().height();
        const double x = s->logicalDotsPerInchX(), y = s->logicalDotsPerInchY();
        facts.twipsPerPixelX = 1440.0 / (x > 0 ? x : 96.0);
        facts.twipsPerPixelY = 1440.0 / (y > 0 ? y : 96.0);
    }
    return facts;
}

// --- the clicks

void TrayClicks::leftClick(const ScreenFacts& screen) {
    if (m_windows.isOpen(WindowId::QuickMenu))
        m_windows.unload(WindowId::QuickMenu);
    trayLeftClick(m_window, m_program.LastWindowState, screen);
}

void TrayClicks::rightClick(QPoint cursor) {
    m_program.MenuAnchor = cursor;
    m_windows.show(WindowId::QuickMenu);
}

// --- the icon

NotificationIcon* NotificationIcon::TrayAdd(const QIcon& icon, QWidget& mainWindow,
                                            Program& program, Windows& windows, QObject* parent) {
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return nullptr;
    return new NotificationIcon(icon, mainWindow, program, windows, parent);
}

NotificationIcon::NotificationIcon(const QIcon& icon, QWidget& mainWindow, Program& program,
                                   Windows& windows, QObject* parent)
    : QObject(parent), m_icon(new QSystemTrayIcon(icon, this)), m_window(mainWindow),
      m_clicks(m_window, program, windows) {
    // Qt reports the icon's button press (it sees no release of its own). The
    // second of two quick clicks comes as a double click: still a left click.
    connect(m_icon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason why) {
                if (why == QSystemTrayIcon::Context)
                    m_clicks.rightClick(QCursor::pos());
                else if (why == QSystemTrayIcon::Trigger || why == QSystemTrayIcon::DoubleClick)
                    m_clicks.leftClick(primaryScreenFacts());
            });
    m_icon->show();
}

NotificationIcon::~NotificationIcon() = default;

QString NotificationIcon::tipText(const QString& text) {
    return text.left(kTipLength).leftJustified(kTipLength, u' ');
}

void NotificationIcon::TraySetTip(const QString& text) {
    m_tip = tipText(text);
    QString shown = m_tip;
    while (shown.endsWith(u' '))
        shown.chop(1);
    m_icon->setToolTip(shown);
}

void NotificationIcon::TrayRemove() {
    m_icon->hide();
}

bool NotificationIcon::isVisible() const {
    return m_icon->isVisible();
}

} // namespace sonorel::app
