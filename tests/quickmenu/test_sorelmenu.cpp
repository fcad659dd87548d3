// The quick menu on doubles: where it opens, what each item and picture does,
// which items keep it open, the light under the mouse and the keyboard.

#include "app/program.h"
#include "app/reader.h"
#include "app/services.h"
#include "app/windows.h"
#include "quickmenu/sorelmenu.h"
#include "support/fakes.h"
#include "support/memoryregistry.h"
#include "support/recordingmedia.h"
#include "support/scriptedengine.h"
#include "support/spin.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QTest>

using namespace sonorel;
using namespace sonorel::test;
using quickmenu::menuPlace;
using quickmenu::sorelMenu;

namespace {

// The reader as the menu sees it; its exitAll ends like the real one, by
// unloading every window (the menu among them).
class MenuReader final : public app::Reader {
public:
    explicit MenuReader(app::Windows& windows) : m_windows(windows) {}
    QStringList calls;
    int status = 3;

    void readText(const QString&) override {}
    void putText(const QString&) override {}
    void speakPause() override { calls << "speakPause"; }
    void stop() override { calls << "stop"; }
    int playStatus() const override { return status; }
    QString voiceEntry() const override { return {}; }
    int generation() const override { return 5; }
    platform::speech::TextToSpeech& clockVoice4() override { throw std::logic_error("none"); }
    platform::speech::SpVoice& clockVoice5() override { throw std::logic_error("none"); }
    app::RecordingVoices recordingVoices() override { return {}; }
    void startTimerSayTest() override {}
    void exitAll() override {
        calls << "exitAll";
        m_windows.unloadAll([] {});
    }

private:
    app::Windows& m_windows;
};

class MenuTest : public TempDirTest {
public: // the doubles are named as the services they stand for (servicesOf)
    ScriptedFamily gen4{{"Mary"}};
    ScriptedFamily gen5{{"English"}};
    FakeProgramFolder folder{SONOREL_BIN_DIR}; // the shipped pictures
    MemoryRegistryStore registry;
    ScriptedDialogs dialogs;
    FakeClock clock;
    FakeLauncher processes;
    RecordingShellOpener shell;
    FakeTempFolder temp{path()};
    RecordingMediaControl media;
    app::Program program;
    app::Windows windows;
    std::unique_ptr<app::Services> services;
    MenuReader reader{windows};

    // The tool windows the menu opens: plain windows under their ids' names.
    // Update and help are left out, as in a build without them.
    const QList<std::pair<app::WindowId, QString>> tools = {
        {app::WindowId::Slides, "slides"},       {app::WindowId::Batch, "batch"},
        {app::WindowId::Converter, "converter"}, {app::WindowId::ClockSettings, "clock"},
        {app::WindowId::About, "about"},
    };

    void SetUp() override {
        TempDirTest::SetUp();
        services = std::make_unique<app::Services>(app::servicesOf(
            *this, platform::speech::makeSinkFactory(platform::speech::AudioMode::Fast, "t")));
        for (const auto& [id, name] : tools)
            windows.registerWindow(id, [name] {
                auto* w = new QWidget;
                w->setObjectName(name);
                return w;
            });
        windows.registerWindow(app::WindowId::QuickMenu, [this] {
            return new sorelMenu(*services, program, reader, windows);
        });
        program.MenuAnchor = {900, 700};
    }

    // The menu as the tray's right click opens it.
    sorelMenu* open() {
        windows.show(app::WindowId::QuickMenu);
        return menu();
    }
    sorelMenu* menu() const {
        return static_cast<sorelMenu*>(windows.find(app::WindowId::QuickMenu));
    }
    // Closing deletes the window once the event loop turns.
    bool menuGone() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return !windows.isOpen(app::WindowId::QuickMenu);
    }
    QStringList toolsOpen() const {
        QStringList open;
        for (const auto& [id, name] : tools)
            if (windows.isOpen(id) && windows.find(id)->isVisible())
                open << name;
        return open;
    }
    void enter(QWidget* w) {
        QEnterEvent e(QPointF(2, 2), w->mapToGlobal(QPointF(2, 2)), w->mapToGlobal(QPointF(2, 2)));
        QCoreApplication::sendEvent(w, &e);
    }
    // A move of the mouse (no button) over the menu at `at`.
    void moveOver(QPoint at) {
        QMouseEvent e(QEvent::MouseMove, QPointF(at), menu()->mapToGlobal(QPointF(at)),
                      Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(menu(), &e);
    }
};

QColor colourAt(QWidget* w, QPoint at) {
    return w->grab().toImage().pixelColor(at);
}

// --- where it opens

TEST(MenuPlace, BottomRightCornerAtTheAnchorUnlessThatReachesTheLeftOrTopEdge) {
    const QSize size(200, 400);
    // Near the bottom-right corner: above and to the left.
    EXPECT_EQ(menuPlace({1010, 760}, size), QPoint(810, 360));
    // Near the top-left corner: below and to the right.
    EXPECT_EQ(menuPlace({5, 8}, size), QPoint(5, 8));
    // Each axis on its own: a tray at the top right, one at the bottom left.
    EXPECT_EQ(menuPlace({1000, 12}, size), QPoint(800, 12));
    EXPECT_EQ(menuPlace({30, 700}, size), QPoint(30, 300));
    // Exactly at the edge counts as past it; one pixel inside does not.
    EXPECT_EQ(menuPlace({200, 400}, size), QPoint(200, 400));
    EXPECT_EQ(menuPlace({201, 401}, size), QPoint(1, 1));
}

TEST_F(MenuTest, OpensWithItsCornerAtTheAnchorOnTop) {
    sorelMenu* m = open();
    ASSERT_NE(m, nullptr);
    EXPECT_TRUE(m->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(m->frameGeometry().bottomRight() + QPoint(1, 1), QPoint(900, 700));
    m->close();
    ASSERT_TRUE(menuGone());

    program.MenuAnchor = {10, 20}; // the top-left corner of the screen
    m = open();
    EXPECT_EQ(m->pos(), QPoint(10, 20));
}

// --- the items

TEST_F(MenuTest, SpeakItemTellsWhatAPressWillDo) {
    for (const int status : {1, 2, 3}) {
        reader.status = status;
        sorelMenu* m = open();
        const bool speaking = status == 1;
        EXPECT_EQ(m->Label11->text(), speaking ? "Pause" : "Speak") << status;
        EXPECT_EQ(m->Label11->toolTip(), speaking ? "Pause speaking" : "Speak") << status;
        windows.unload(app::WindowId::QuickMenu);
    }
}

TEST_F(MenuTest, CaptionsKeepTheirLeadingSpace) {
    sorelMenu* m = open();
    EXPECT_EQ(m->Label1->text(), " Exit all");
    EXPECT_EQ(m->Label15->text(), " Watch clipboard");
    EXPECT_EQ(m->Label6->text(), "Close CD");
    EXPECT_EQ(m->Label9->toolTip(), " Download more voices");
    EXPECT_EQ(m->Check1->toolTip(), "Watch clipboard text ");
    // The space is drawn: the caption is wider than it would be without it.
    EXPECT_GT(m->Label1->sizeHint().width(),
              m->Label1->fontMetrics().horizontalAdvance("Exit all") + 8);
}

TEST_F(MenuTest, WatchTogglesTwiceBackToItsStartAndKeepsTheMenuOpen) {
    program.win.WatchClipboard = true;
    sorelMenu* m = open();
    EXPECT_TRUE(m->Check1->isChecked());
    m->Label15->click();
    EXPECT_FALSE(program.win.WatchClipboard);
    EXPECT_FALSE(m->Check1->isChecked());
    m->Label15->click();
    EXPECT_TRUE(program.win.WatchClipboard);
    EXPECT_TRUE(m->Check1->isChecked());

    // The check box itself sets the switch to what it shows.
    m->Check1->click();
    EXPECT_FALSE(program.win.WatchClipboard);
    m->Check1->click();
    EXPECT_TRUE(program.win.WatchClipboard);
    EXPECT_FALSE(menuGone());
    EXPECT_TRUE(m->isVisible());
}

TEST_F(MenuTest, ToolItemsOpenTheirWindowAndCloseTheMenu) {
    const QList<std::pair<QString, QString>> cases = {
        {"Label13", "slides"}, {"Label12", "batch"}, {"Label10", "converter"},
        {"Label5", "clock"},   {"Label2", "about"},
    };
    for (const auto& [item, window] : cases) {
        sorelMenu* m = open();
        m->findChild<quickmenu::MenuItem*>(item)->click();
        EXPECT_TRUE(menuGone()) << item.toStdString();
        EXPECT_EQ(toolsOpen(), QStringList{window}) << item.toStdString();
        windows.unloadAll([] {});
    }
    // A window this build does not have: the menu closes all the same.
    for (const QString item : {"Label4", "Label3"}) {
        open()->findChild<quickmenu::MenuItem*>(item)->click();
        EXPECT_TRUE(menuGone()) << item.toStdString();
        EXPECT_TRUE(toolsOpen().isEmpty());
    }
}

TEST_F(MenuTest, ReadingItemsDriveTheReaderAndClose) {
    open()->Label11->click();
    EXPECT_TRUE(menuGone());
    open()->Label14->click();
    EXPECT_TRUE(menuGone());
    EXPECT_EQ(reader.calls, (QStringList{"speakPause", "stop"}));
}

TEST_F(MenuTest, WebItemsOpenTheMakersPages) {
    open()->Label8->click();
    EXPECT_TRUE(menuGone());
    open()->Label9->click();
    EXPECT_TRUE(menuGone());
    sorelMenu* m = open();
    ASSERT_EQ(m->Image1.size(), 16);
    EXPECT_EQ(m->Image1[1]->toolTip(), "Download French Voice");
    emit m->Image1[1]->clicked();
    EXPECT_TRUE(menuGone());
    EXPECT_EQ(shell.opened,
              (QStringList{"https://sonorel.org", "https://sonorel.org/Sonorel/Download.htm",
                           "https://sonorel.org/Sonorel/Download.htm"}));
}

TEST_F(MenuTest, EjectKeepsTheMenuOpenSoCloseCanFollow) {
    sorelMenu* m = open();
    m->Label7->click();
    ASSERT_FALSE(menuGone());
    EXPECT_EQ(media.commands, QStringList{"set CDAudio door open"});
    m->Label6->click();
    EXPECT_TRUE(menuGone());
    EXPECT_EQ(media.commands, (QStringList{"set CDAudio door open", "set CDAudio door closed"}));
}

TEST_F(MenuTest, AFailingMediaInterpreterCostsOnlyTheTray) {
    media.broken = true;
    sorelMenu* m = open();
    m->Label7->click();
    ASSERT_FALSE(menuGone());
    m->Label6->click();
    EXPECT_TRUE(menuGone());
}

TEST_F(MenuTest, ExitAllEndsTheProgramOnceTheClickHasReturned) {
    sorelMenu* m = open();
    windows.show(app::WindowId::Slides);
    m->Label1->click();
    // Nothing is unloaded inside the menu's own handler.
    EXPECT_TRUE(reader.calls.isEmpty());
    EXPECT_TRUE(spinUntil([&] { return reader.calls == QStringList{"exitAll"}; }));
    EXPECT_TRUE(menuGone());
    EXPECT_TRUE(toolsOpen().isEmpty());
}

TEST_F(MenuTest, CloseBoxAndBackgroundCloseTheMenu) {
    emit open()->Image0->clicked();
    EXPECT_TRUE(menuGone());

    sorelMenu* m = open();
    const QPoint background(1, 1);
    ASSERT_EQ(m->childAt(background), nullptr);
    QTest::mouseClick(m, Qt::LeftButton, {}, background);
    EXPECT_TRUE(menuGone());
    EXPECT_TRUE(shell.opened.isEmpty());
    EXPECT_TRUE(reader.calls.isEmpty());
}

TEST_F(MenuTest, PicturesDoWhatTheirItemDoesExceptTheHomePages) {
    sorelMenu* m = open();
    for (const int n : {11, 14, 15})
        EXPECT_EQ(m->Picture(n), nullptr) << n;
    // The home page's picture does nothing, and the menu stays.
    QTest::mouseClick(m->Picture(8), Qt::LeftButton);
    ASSERT_FALSE(menuGone());
    EXPECT_TRUE(shell.opened.isEmpty());
    // The eject picture keeps the menu open, as its item does.
    QTest::mouseClick(m->Picture(7), Qt::LeftButton);
    ASSERT_FALSE(menuGone());
    EXPECT_EQ(media.commands, QStringList{"set CDAudio door open"});

    QTest::mouseClick(m->Picture(13), Qt::LeftButton);
    EXPECT_TRUE(menuGone());
    EXPECT_EQ(toolsOpen(), QStringList{"slides"});
    QTest::mouseClick(open()->Picture(9), Qt::LeftButton);
    EXPECT_TRUE(menuGone());
    EXPECT_EQ(shell.opened, QStringList{"https://sonorel.org/Sonorel/Download.htm"});
}

TEST_F(MenuTest, ShippedPicturesAreBesideTheirItems) {
    sorelMenu* m = open();
    for (const int n : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 13}) {
        ASSERT_NE(m->Picture(n), nullptr) << n;
        EXPECT_EQ(m->Picture(n)->pixmap().size(), QSize(20, 20)) << n;
    }
    EXPECT_EQ(m->Image0->pixmap().size(), QSize(20, 20));
    // Beside: the picture's row is its item's row.
    EXPECT_EQ(m->Picture(13)->geometry().center().y(), m->Label13->geometry().center().y());
}

TEST_F(MenuTest, MissingPicturesLeaveTheItemsWorking) {
    FakeProgramFolder empty{path()};
    app::Services bare{empty, registry, dialogs, clock,           processes, shell,
                       temp,  gen4,     gen5,    services->sinks, media};
    windows.registerWindow(app::WindowId::QuickMenu,
                           [&] { return new sorelMenu(bare, program, reader, windows); });
    sorelMenu* m = open();
    EXPECT_TRUE(m->Picture(13)->pixmap().isNull());
    EXPECT_TRUE(m->Image0->pixmap().isNull());
    QTest::mouseClick(m->Picture(13), Qt::LeftButton);
    EXPECT_TRUE(menuGone());
    EXPECT_EQ(toolsOpen(), QStringList{"slides"});
}

// --- the light

TEST_F(MenuTest, TheItemUnderTheMouseIsLitInTheMenusColours) {
    sorelMenu* m = open();
    EXPECT_EQ(m->litItem(), nullptr);
    EXPECT_EQ(colourAt(m->Label13, {1, 1}), QColor(0xE0, 0xE0, 0xE0));

    enter(m->Label13);
    EXPECT_EQ(m->litItem(), m->Label13);
    EXPECT_EQ(colourAt(m->Label13, {1, 1}), QColor(0x80, 0x80, 0xFF));
    EXPECT_EQ(colourAt(m->Label12, {1, 1}), QColor(0xE0, 0xE0, 0xE0));

    // A picture lights its own item; every language picture " Get more voices";
    // the check box the watch item.
    enter(m->Picture(5));
    EXPECT_EQ(m->litItem(), m->Label5);
    enter(m->Image1[7]);
    EXPECT_EQ(m->litItem(), m->Label9);
    enter(m->Check1);
    EXPECT_EQ(m->litItem(), m->Label15);

    // The close box gets a border and puts the light out.
    enter(m->Image0);
    EXPECT_EQ(m->litItem(), nullptr);
    EXPECT_TRUE(m->closeBoxFramed());
    enter(m->Label1);
    EXPECT_FALSE(m->closeBoxFramed());

    // A move over an item keeps its light; one over the background puts it out.
    moveOver(m->Label1->geometry().center());
    EXPECT_EQ(m->litItem(), m->Label1);
    moveOver({1, 1});
    EXPECT_EQ(m->litItem(), nullptr);

    // The home page's picture does nothing but keep the light.
    enter(m->Picture(8));
    QTest::mouseClick(m->Picture(8), Qt::LeftButton);
    EXPECT_EQ(m->litItem(), m->Label8);
}

TEST_F(MenuTest, LitTextIsWhiteAndNormalTextBlack) {
    sorelMenu* m = open();
    const auto inks = [](QWidget* w) {
        const QImage image = w->grab().toImage();
        bool light = false, dark = false;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                light = light || (c.red() > 0xF0 && c.green() > 0xF0 && c.blue() > 0xF0);
                dark = dark || (c.red() < 0x30 && c.green() < 0x30 && c.blue() < 0x30);
            }
        return std::pair(light, dark);
    };
    EXPECT_EQ(inks(m->Label1), std::pair(false, true));
    enter(m->Label1);
    EXPECT_EQ(inks(m->Label1), std::pair(true, false));
}

// --- the keyboard

class MenuKeys : public MenuTest {
protected:
    sorelMenu* openFocused() {
        sorelMenu* m = open();
        QApplication::setActiveWindow(m);
        EXPECT_TRUE(QTest::qWaitForWindowActive(m));
        return m;
    }
    void key(Qt::Key k) {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : menu();
        QTest::keyClick(target, k);
    }
};

TEST_F(MenuKeys, ArrowsMoveTheLightAndWrap) {
    sorelMenu* m = openFocused();
    EXPECT_EQ(m->litItem(), nullptr);
    key(Qt::Key_Down);
    EXPECT_EQ(m->litItem(), m->Label11);
    key(Qt::Key_Down);
    EXPECT_EQ(m->litItem(), m->Label14);
    key(Qt::Key_Up);
    key(Qt::Key_Up); // past the top: the last item
    EXPECT_EQ(m->litItem(), m->Label1);
    key(Qt::Key_Down);
    EXPECT_EQ(m->litItem(), m->Label11);
    // Down through the check box, which keeps its item lit.
    key(Qt::Key_Down);
    key(Qt::Key_Down);
    EXPECT_EQ(m->litItem(), m->Label15);
    key(Qt::Key_Down);
    EXPECT_EQ(QApplication::focusWidget(), m->Check1);
    EXPECT_EQ(m->litItem(), m->Label15);
    key(Qt::Key_Down);
    EXPECT_EQ(m->litItem(), m->Label13);
    // Tab goes the same way.
    key(Qt::Key_Tab);
    EXPECT_EQ(m->litItem(), m->Label12);
}

TEST_F(MenuKeys, EnterActsOnTheLitItemAndSpaceToggles) {
    program.win.WatchClipboard = false;
    sorelMenu* m = openFocused();
    for (int i = 0; i < 4; ++i)
        key(Qt::Key_Down); // Speak, Stop, Watch, its check box
    ASSERT_EQ(QApplication::focusWidget(), m->Check1);
    key(Qt::Key_Space);
    EXPECT_TRUE(program.win.WatchClipboard);
    key(Qt::Key_Return);
    EXPECT_FALSE(program.win.WatchClipboard);
    key(Qt::Key_Up);
    key(Qt::Key_Enter);
    EXPECT_TRUE(program.win.WatchClipboard);
    EXPECT_TRUE(m->Check1->isChecked());
    key(Qt::Key_Down);
    key(Qt::Key_Down); // " Slide read aloud words"
    key(Qt::Key_Return);
    EXPECT_TRUE(menuGone());
    EXPECT_EQ(toolsOpen(), QStringList{"slides"});
}

TEST_F(MenuKeys, EscapeClosesFromAnyItem) {
    openFocused();
    key(Qt::Key_Down);
    key(Qt::Key_Escape);
    EXPECT_TRUE(menuGone());
    openFocused();
    key(Qt::Key_Escape);
    EXPECT_TRUE(menuGone());
    EXPECT_TRUE(reader.calls.isEmpty());
}

// --- screen readers

TEST_F(MenuTest, EveryControlHasANameAndItsTipAsDescription) {
    sorelMenu* m = open();
    const auto told = [](QWidget* w, QAccessible::Text t) {
        return QAccessible::queryAccessibleInterface(w)->text(t);
    };
    EXPECT_EQ(told(m, QAccessible::Name), "Sonorel menu");
    EXPECT_EQ(told(m->Label1, QAccessible::Name), "Exit all");
    EXPECT_EQ(told(m->Label1, QAccessible::Description), "Exit Sonorel");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(m->Label1)->role(), QAccessible::Button);
    EXPECT_EQ(told(m->Check1, QAccessible::Name), "Watch clipboard");
    EXPECT_EQ(told(m->Image0, QAccessible::Name), "Close menu");
    for (QWidget* w : m->findChildren<QWidget*>())
        EXPECT_FALSE(told(w, QAccessible::Name).trimmed().isEmpty())
            << w->metaObject()->className() << " " << w->objectName().toStdString();
}

} // namespace
