// The help window over doubles: its caption and texts, the help links (each
// opens its page and unloads the window), double click and Close, names for
// screen readers, the keyboard, and the Writer install's link while unopkg runs.

#include "app/program.h"
#include "help/howto.h"
#include "helpfixture.h"

#include <gtest/gtest.h>
#include <QAccessible>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

namespace sonorel::test {
namespace {

using help::howto;

class HowToTest : public HelpFixture<FakeLauncher> {
protected:
    QPointer<howto> w;
    void SetUp() override {
        HelpFixture::SetUp();
        w = new howto(services);
        w->show();
    }
    void TearDown() override { delete w.data(); }
    // The window has closed and been deleted, as an unload does.
    bool unloaded() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return w.isNull();
    }
};

TEST_F(HowToTest, ShowsItsCaptionAndTellsHowToReadFromOtherPrograms) {
    EXPECT_EQ(w->windowTitle(), "How does this application work?   - Sonorel");
    QString all;
    for (QLabel* label : w->findChildren<QLabel*>())
        all += label->text() + '\n';
    for (const char* told : {"LibreOffice Writer", "Open With", "clipboard watch",
                             "notification area", "Note:", "Advice:"})
        EXPECT_TRUE(all.contains(told)) << told;
    EXPECT_EQ(w->Command1->text(), "&Close");
    EXPECT_EQ(w->Label8->text(), "FAQ Online");
}

TEST_F(HowToTest, TheLocalHelpLinkOpensTheShippedPageAndUnloadsTheWindow) {
    w->Label2->click();
    EXPECT_EQ(shell.opened, QStringList{path("FAQ.htm")});
    EXPECT_TRUE(unloaded());
}

TEST_F(HowToTest, TheOnlineHelpLinkOpensTheMakersPageAndUnloadsTheWindow) {
    QTest::keyClick(w->Label8, Qt::Key_Space); // from the keyboard, as a click
    EXPECT_EQ(shell.opened, QStringList{app::kMakerSite + "/Sonorel/FAQ.htm"});
    EXPECT_EQ(shell.opened.value(0), "https://sonorel.org/Sonorel/FAQ.htm");
    EXPECT_TRUE(unloaded());
}

TEST_F(HowToTest, ADoubleClickOnTheWindowOrATextCloses) {
    QTest::mouseDClick(w.data(), Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_TRUE(unloaded());
    w = new howto(services);
    w->show();
    QTest::mouseDClick(w->Label4, Qt::LeftButton);
    EXPECT_TRUE(unloaded()) << "a text passes the double click on to the window";
    EXPECT_TRUE(shell.opened.isEmpty());
}

TEST_F(HowToTest, CloseAndEscapeUnloadTheWindow) {
    w->Command1->click();
    EXPECT_TRUE(unloaded());
    w = new howto(services);
    w->show();
    QApplication::setActiveWindow(w.data());
    QTest::keyClick(w->Label9, Qt::Key_Escape);
    EXPECT_TRUE(unloaded());
}

TEST_F(HowToTest, LinksShowTheHandAndEveryControlIsNamedAndReachedByTab) {
    for (QWidget* link : {static_cast<QWidget*>(w->Label2), static_cast<QWidget*>(w->Label8),
                          static_cast<QWidget*>(w->Label3), static_cast<QWidget*>(w->Label9)})
        EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(w->Label1->cursor().shape(), Qt::ArrowCursor);
    const auto name = [](QWidget* c) {
        return QAccessible::queryAccessibleInterface(c)->text(QAccessible::Name);
    };
    EXPECT_EQ(name(w->Label2), "FAQ");
    EXPECT_EQ(name(w->Label8), "FAQ Online");
    EXPECT_EQ(name(w->Label3), "click here, add the speaker to LibreOffice Writer");
    EXPECT_EQ(name(w->Label9), "click here, add the speaker to WordPerfect");
    EXPECT_EQ(name(w->Command1), "Close");
    EXPECT_EQ(name(w->Image2), "Add the speaker to LibreOffice Writer");
    // Tab goes through the actions in the order they are laid out.
    QList<QWidget*> order;
    QWidget* c = w->Label3;
    for (int i = 0; i < 5; ++i, c = c->nextInFocusChain()) {
        while (c->focusPolicy() == Qt::NoFocus)
            c = c->nextInFocusChain();
        order << c;
    }
    EXPECT_EQ(order, (QList<QWidget*>{w->Label3, w->Label9, w->Label2, w->Label8, w->Command1}));
}

// The Writer link runs unopkg without waiting for it: disabled while it runs,
// the outcome told when it ends, even after the window has gone.
TEST_F(HowToTest, TheWriterInstallRunsUnopkgWithoutHoldingTheWindow) {
    const QString bin = path("bin");
    ASSERT_TRUE(QDir().mkpath(bin));
    ASSERT_TRUE(writeFile(bin + "/unopkg", "#!/bin/sh\nexit 0\n"));
    QFile::setPermissions(bin + "/unopkg", QFile::ReadOwner | QFile::ExeOwner);
    ASSERT_TRUE(writeFile(path("Speak.oxt"), "PK"));
    ScopedEnv pathEnv("PATH", bin.toUtf8());

    QTest::mouseClick(w->Image2, Qt::LeftButton); // the icon acts as its text does
    ASSERT_EQ(processes.runs.size(), 1);
    EXPECT_EQ(processes.runs[0].program, bin + "/unopkg");
    EXPECT_EQ(processes.runs[0].arguments,
              (QStringList{"add", "--force", "--suppress-license", path("Speak.oxt")}));
    EXPECT_TRUE(dialogs.messages.isEmpty()) << "nothing is said before unopkg ends";
    EXPECT_FALSE(w->Label3->isEnabled());
    w->Label3->click();
    EXPECT_EQ(processes.runs.size(), 1) << "one unopkg at a time";

    processes.endRun(0, {.started = true, .exitCode = 0});
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0].title, "Success -- Sonorel");
    EXPECT_TRUE(w->Label3->isEnabled());

    w->Label3->click();
    ASSERT_EQ(processes.runs.size(), 2);
    w->close();
    EXPECT_TRUE(unloaded());
    processes.endRun(1, {.started = true, .exitCode = 0});
    EXPECT_EQ(dialogs.messages.size(), 2) << "the outcome is told after the window went";
}

} // namespace
} // namespace sonorel::test
