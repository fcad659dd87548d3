// The notification icon's clicks: the left-click table on a window double for
// every state and visibility, the off-screen check, the quick menu it opens and
// closes, the tip; and the bookkeeping of the user's window commands on the real
// main window.

#include "app/tray.h"
#include "readerfixture.h"

#include <QPlainTextEdit>
#include <QWindow>

using namespace sonorel;
using namespace sonorel::test;

namespace {

// A window that records what was done to it; geometry in twips.
class WindowDouble final : public app::TrayWindow {
public:
    int st = 0;
    bool visible = true;
    QRect g{1500, 1500, 9000, 6000};
    QStringList done;

    int state() const override { return st; }
    bool isVisible() const override { return visible; }
    void setState(int s) override {
        st = s;
        done << "state " + QString::number(s);
    }
    void show() override {
        visible = true;
        done << "show";
    }
    void hide() override {
        visible = false;
        done << "hide";
    }
    void focus() override { done << "focus"; }
    QRect twipsGeometry() const override { return g; }
    void moveTo(int left, int top) override {
        g.moveTo(left, top);
        done << QString("move %1 %2").arg(left).arg(top);
    }
};

const app::ScreenFacts k768{768, 15, 15};

} // namespace

TEST(TrayLeftClick, TableOfStateAndVisibility) {
    struct Case {
        int state;
        bool visible;
        int last;
        QStringList expected;
        int stateAfter;
        bool visibleAfter;
    };
    const Case cases[] = {
        {0, true, 2, {"hide"}, 0, false},
        {2, true, 0, {"hide"}, 2, false},
        {1, true, 2, {"state 2", "focus"}, 2, true},
        {1, true, 0, {"state 0", "focus"}, 0, true},
        {1, false, 2, {"state 2", "show", "focus"}, 2, true},
        {1, false, 0, {"state 0", "show", "focus"}, 0, true},
        {2, false, 0, {"state 2", "show", "focus"}, 2, true},
        {0, false, 2, {"state 0", "show", "focus"}, 0, true},
    };
    for (const Case& c : cases) {
        WindowDouble w;
        w.st = c.state;
        w.visible = c.visible;
        app::trayLeftClick(w, c.last, k768);
        const std::string what = QString("state %1 visible %2 last %3")
                                     .arg(c.state)
                                     .arg(c.visible)
                                     .arg(c.last)
                                     .toStdString();
        EXPECT_EQ(w.done, c.expected) << what << ": " << w.done.join('|').toStdString();
        EXPECT_EQ(w.st, c.stateAfter) << what;
        EXPECT_EQ(w.visible, c.visibleAfter) << what;
    }
}

// A window too small to use is maximized when it comes back: not wider than 2400
// twips or not taller than 360.
TEST(TrayLeftClick, SmallWindowsAreMaximized) {
    const QRect sizes[] = {{0, 0, 2400, 6000}, {0, 0, 9000, 360}};
    for (const QRect& small : sizes) {
        WindowDouble hidden;
        hidden.visible = false;
        hidden.g = small;
        app::trayLeftClick(hidden, 0, k768);
        EXPECT_EQ(hidden.st, 2) << small.width() << "x" << small.height();

        WindowDouble minimized;
        minimized.st = 1;
        minimized.g = small;
        app::trayLeftClick(minimized, 0, k768);
        EXPECT_EQ(minimized.done, (QStringList{"state 0", "state 2", "focus"}));
    }
    WindowDouble usable;
    usable.visible = false;
    usable.g = {0, 0, 2401, 361};
    app::trayLeftClick(usable, 0, k768);
    EXPECT_EQ(usable.st, 0);
}

TEST(TrayLeftClick, NegativeEdgesComeBackToZero) {
    WindowDouble w;
    w.visible = false;
    w.g = {-300, 450, 9000, 6000};
    app::trayLeftClick(w, 0, k768);
    EXPECT_EQ(w.g.topLeft(), QPoint(0, 450));
    w.visible = false;
    w.g = {600, -15, 9000, 6000};
    app::trayLeftClick(w, 0, k768);
    EXPECT_EQ(w.g.topLeft(), QPoint(600, 0));
}

TEST(TrayLeftClick, OffScreenCheckByScreenHeight) {
    struct Case {
        app::ScreenFacts screen;
        int leftPixels, topPixels; // the last place that is still on the screen
    };
    // At 96 dpi (15 twips per pixel) and at 120 dpi (12).
    const Case cases[] = {{{480, 15, 15}, 518, 410},
                          {{600, 15, 15}, 678, 532},
                          {{768, 15, 15}, 900, 700},
                          {{1024, 15, 15}, 900, 700},
                          {{600, 12, 12}, 678, 532}};
    for (const Case& c : cases) {
        const double x = c.screen.twipsPerPixelX, y = c.screen.twipsPerPixelY;
        const QPointF limits = app::offScreenLimits(c.screen);
        EXPECT_DOUBLE_EQ(limits.x(), c.leftPixels * x);
        EXPECT_DOUBLE_EQ(limits.y(), c.topPixels * y);
        auto cameBackAt = [&](int leftPx, int topPx) {
            WindowDouble w;
            w.visible = false;
            w.g = {int(leftPx * x), int(topPx * y), 9000, 6000};
            app::trayLeftClick(w, 0, c.screen);
            return w.g.topLeft();
        };
        const int h = c.screen.heightPixels;
        EXPECT_EQ(cameBackAt(c.leftPixels, c.topPixels),
                  QPoint(int(c.leftPixels * x), int(c.topPixels * y)))
            << h;
        EXPECT_EQ(cameBackAt(c.leftPixels + 1, 10), QPoint(0, 0)) << h;
        EXPECT_EQ(cameBackAt(10, c.topPixels + 1), QPoint(0, 0)) << h;
    }
}

TEST(NotificationIconTip, AlwaysSixtyFourCharacters) {
    const QString tip = app::NotificationIcon::tipText("Sonorel, Left-click or Right-click please");
    EXPECT_EQ(tip.size(), 64);
    EXPECT_TRUE(tip.startsWith("Sonorel, Left-click or Right-click please   "));
    const QString longer = QString(70, u'x');
    EXPECT_EQ(app::NotificationIcon::tipText(longer), QString(64, u'x'));
}

// The right click records the pointer and opens the quick menu there; the left
// click closes it first, whatever it does to the main window.
TEST_F(ReaderTest, IconClicksOpenAndCloseTheQuickMenuAtThePointer) {
    ASSERT_TRUE(start());
    w->show();
    w->setWindowState(Qt::WindowNoState);
    app::WidgetTrayWindow main(*w);
    app::TrayClicks clicks(main, program, windows);
    clicks.rightClick({123, 45});
    EXPECT_EQ(program.MenuAnchor, QPoint(123, 45));
    QWidget* menu = windows.find(app::WindowId::QuickMenu);
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(menu->isVisible());
    // Near the top-left corner: its top-left corner at the pointer.
    EXPECT_EQ(menu->pos(), QPoint(123, 45));
    EXPECT_TRUE(menu->windowFlags() & Qt::WindowStaysOnTopHint);

    clicks.leftClick(k768);
    EXPECT_FALSE(windows.isOpen(app::WindowId::QuickMenu));
    EXPECT_FALSE(w->isVisible());
    clicks.leftClick(k768);
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(w->isMinimized());

    // The menu takes its place when it opens: a right click while it is open
    // leaves it where it is; once closed, it opens at the new place.
    clicks.rightClick({1000, 740}); // near the bottom-right corner: above and to the left
    menu = windows.find(app::WindowId::QuickMenu);
    EXPECT_EQ(menu->geometry().bottomRight() + QPoint(1, 1), QPoint(1000, 740));
    const QPoint placed = menu->pos();
    clicks.rightClick({40, 60});
    EXPECT_EQ(windows.find(app::WindowId::QuickMenu)->pos(), placed);
    clicks.leftClick(k768);
    clicks.rightClick({40, 60});
    EXPECT_EQ(windows.find(app::WindowId::QuickMenu)->pos(), QPoint(40, 60));
}

// The window restored from the icon at a 1024 x 768 screen whose left edge lies
// beyond 900 pixels comes back at the top-left corner.
TEST_F(ReaderTest, WindowBeyondTheScreenComesBackAtTheCorner) {
    ASSERT_TRUE(start());
    w->setWindowState(Qt::WindowNoState);
    w->setGeometry(950, 100, 500, 400);
    w->show();
    app::WidgetTrayWindow main(*w);
    app::trayLeftClick(main, 0, k768);
    ASSERT_FALSE(w->isVisible());
    app::trayLeftClick(main, 0, k768);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->geometry().topLeft(), QPoint(0, 0));
}

// The user's window commands reach the window as spontaneous state changes (the
// window system's); the program's own changes do not count.
TEST_F(ReaderTest, UserWindowCommandsRecordTheStateBeforeThem) {
    ASSERT_TRUE(start());
    w->setWindowState(Qt::WindowNoState);
    w->setGeometry(120, 90, 600, 400);
    w->show();
    ASSERT_TRUE(spinUntil([&] { return w->windowHandle() && w->windowHandle()->isExposed(); }));
    program.LastWindowState = 7;
    program.win.WinLeft = program.win.WinTop = -1;

    w->windowHandle()->setWindowState(Qt::WindowMaximized); // the user's maximize
    ASSERT_TRUE(spinUntil([&] { return w->isMaximized(); }));
    EXPECT_EQ(program.LastWindowState, 0);
    EXPECT_EQ(program.win.WinLeft, -1) << "a maximize keeps the stored place";

    w->windowHandle()->setWindowState(Qt::WindowMinimized); // the user's minimize
    ASSERT_TRUE(spinUntil([&] { return w->isMinimized(); }));
    EXPECT_EQ(program.LastWindowState, 2);
    EXPECT_EQ(program.win.WinLeft, int(std::lround(w->geometry().x() * w->twipsPerPixel())));
    EXPECT_EQ(program.win.WinTop, int(std::lround(w->geometry().y() * w->twipsPerPixel())));

    w->windowHandle()->setWindowState(Qt::WindowNoState); // the user's restore
    ASSERT_TRUE(spinUntil([&] { return !w->isMinimized(); }));
    EXPECT_EQ(program.LastWindowState, 1);

    // The program's own change (the tray's) is no command of the user's.
    w->setWindowState(Qt::WindowMaximized);
    spinFor(50);
    EXPECT_EQ(program.LastWindowState, 1);

    // The user's close: the state before it and the place; the window is put away.
    program.win.WinLeft = program.win.WinTop = -1;
    w->setWindowState(Qt::WindowNoState);
    w->move(300, 150);
    spinFor(20);
    w->close();
    EXPECT_EQ(program.LastWindowState, 0);
    EXPECT_EQ(program.win.WinLeft, int(std::lround(w->geometry().x() * w->twipsPerPixel())));
    EXPECT_NE(program.win.WinLeft, -1);
    EXPECT_TRUE(w->isMinimized() || !w->isVisible()) << "closing only puts the window away";
}
