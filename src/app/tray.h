#pragma once
// The reader's notification-area icon. A left click hides or brings back the main
// window by the table below (TrayClicks); a right click records where the pointer
// was (Program::MenuAnchor) and shows the quick menu there.

#include <QObject>
#include <QPoint>
#include <QRect>
#include <QString>

class QIcon;
class QSystemTrayIcon;
class QWidget;

namespace sonorel::app {

struct Program;
class Windows;

// The main window as the left click sees it; geometry in whole twips.
class TrayWindow {
public:
    virtual int state() const = 0; // 0 normal, 1 minimized, 2 maximized
    virtual bool isVisible() const = 0;
    virtual void setState(int state) = 0;
    virtual void show() = 0;
    virtual void hide() = 0;
    virtual void focus() = 0;
    virtual QRect twipsGeometry() const = 0;
    virtual void moveTo(int leftTwips, int topTwips) = 0;

protected:
    ~TrayWindow() = default;
};

// The primary screen, as the off-screen check reads it.
struct ScreenFacts {
    int heightPixels = 768;
    double twipsPerPixelX = 15, twipsPerPixelY = 15;
};

// The place (in twips) beyond which a window brought back from the tray is put
// at the top-left corner: left limit, top limit.
QPointF offScreenLimits(const ScreenFacts& screen);

// What a left click on the icon does to the main window.
void trayLeftClick(TrayWindow& window, int lastWindowState, const ScreenFacts& screen);

// A QWidget as the left click drives it. Twips follow the screen's logical DPI.
class WidgetTrayWindow final : public TrayWindow {
public:
    explicit WidgetTrayWindow(QWidget& widget) : m_widget(widget) {}
    int state() const override;
    bool isVisible() const override;
    void setState(int state) override;
    void show() override;
    void hide() override;
    void focus() override;
    QRect twipsGeometry() const override;
    void moveTo(int leftTwips, int topTwips) override;

private:
    double twipsPerPixel() const;
    QWidget& m_widget;
};

ScreenFacts primaryScreenFacts();

// The icon's clicks, with or without an icon to receive them.
class TrayClicks final {
public:
    TrayClicks(TrayWindow& window, Program& program, Windows& windows)
        : m_window(window), m_program(program), m_windows(windows) {}
    void leftClick(const ScreenFacts& screen);
    void rightClick(QPoint cursor);

private:
    TrayWindow& m_window;
    Program& m_program;
    Windows& m_windows;
};

class NotificationIcon final : public QObject {
    Q_OBJECT
public:
    // Adds the icon; nothing when the desktop has no notification area (the caller
    // keeps its window reachable another way).
    static NotificationIcon* TrayAdd(const QIcon& icon, QWidget& mainWindow, Program& program,
                                     Windows& windows, QObject* parent);
    ~NotificationIcon() override;

    // The tip is always 64 characters (cut or padded with spaces); the padding
    // is not shown.
    void TraySetTip(const QString& text);
    static QString tipText(const QString& text);
    QString tip() const { return m_tip; }

    // Takes the icon off the notification area (at the end of the program).
    void TrayRemove();
    bool isVisible() const;

private:
    NotificationIcon(const QIcon& icon, QWidget& mainWindow, Program& program, Windows& windows,
                     QObject* parent);
    QSystemTrayIcon* m_icon;
    WidgetTrayWindow m_window;
    TrayClicks m_clicks;
    QString m_tip;
};

} // namespace sonorel::app
