// The about window: what it shows, where its contact leads, the keys, and the
// names a screen reader is told.

#include "about/aboutsonorel.h"
#include "app/program.h"
#include "app/services.h"
#include "support/fakes.h"
#include "support/memoryregistry.h"
#include "support/recordingmedia.h"
#include "support/scriptedengine.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>
#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace sonorel;
using namespace sonorel::test;

namespace {

class AboutTest : public TempDirTest {
public: // the doubles are named as the services they stand for (servicesOf)
    ScriptedFamily gen4{{"Mary"}};
    ScriptedFamily gen5{{"English"}};
    FakeProgramFolder folder{SONOREL_BIN_DIR};
    MemoryRegistryStore registry;
    ScriptedDialogs dialogs;
    FakeClock clock;
    FakeLauncher processes;
    RecordingShellOpener shell;
    FakeTempFolder temp{path()};
    RecordingMediaControl media;
    app::Services services = app::servicesOf(
        *this, platform::speech::makeSinkFactory(platform::speech::AudioMode::Fast, "t"));
};

TEST_F(AboutTest, ShowsNameVersionAndContact) {
    about::AboutSonorel w(services);
    EXPECT_EQ(w.ProductName->text(), "Sonorel");
    EXPECT_EQ(w.Version->text(), app::kVersionText);
    EXPECT_EQ(w.WebSite->text(), "sonorel.org");
    EXPECT_EQ(w.SupportMail->text(), app::kSupportMail);
    // Small: it fits in a corner of the smallest screen.
    EXPECT_LE(w.width(), 480);
    EXPECT_LE(w.height(), 360);

    w.WebSite->click();
    w.SupportMail->click();
    EXPECT_EQ(shell.opened, (QStringList{app::kMakerSite, "mailto:" + app::kSupportMail}));
}

TEST_F(AboutTest, EscapeAndCloseCloseIt) {
    for (const bool escape : {true, false}) {
        about::AboutSonorel w(services);
        w.show();
        QApplication::setActiveWindow(&w);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
        EXPECT_EQ(QApplication::focusWidget(), w.CloseButton);
        if (escape)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        else
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        EXPECT_FALSE(w.isVisible()) << escape;
    }
}

TEST_F(AboutTest, TabReachesEveryButtonAndEachHasAName) {
    about::AboutSonorel w(services);
    w.show();
    QApplication::setActiveWindow(&w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    QList<QWidget*> seen;
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        seen << QApplication::focusWidget();
    }
    EXPECT_EQ(seen, (QList<QWidget*>{w.WebSite, w.SupportMail, w.CloseButton}));
    const auto name = [](QWidget* c) {
        return QAccessible::queryAccessibleInterface(c)->text(QAccessible::Name);
    };
    EXPECT_EQ(name(w.WebSite), "Web site sonorel.org");
    EXPECT_EQ(name(w.SupportMail), "Mail " + app::kSupportMail);
    for (QWidget* c : w.findChildren<QWidget*>())
        EXPECT_FALSE(name(c).trimmed().isEmpty()) << c->metaObject()->className();
}

TEST_F(AboutTest, ADragOnItsTextsMovesTheWindowNotTheLinks) {
    about::AboutSonorel w(services);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    // A press on a text is taken for a move of the window (nothing else sees it);
    // a press on a link still opens it.
    QTest::mouseClick(w.ProductName, Qt::LeftButton);
    EXPECT_TRUE(shell.opened.isEmpty());
    QTest::mouseClick(w.WebSite, Qt::LeftButton);
    EXPECT_EQ(shell.opened, QStringList{app::kMakerSite});
}

} // namespace
