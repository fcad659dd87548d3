// The main window's layout: folding and unfolding, the stored place across
// restarts, dragging by the bare surface, the voice list giving way to the
// pointer, and the Close button.

#include "readerfixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>

using namespace sonorel;
using namespace sonorel::test;

TEST_F(ReaderTest, FoldingFollowsTheHeightAndTheScreen) {
    EXPECT_EQ(app::sorelmain::unfoldHeight(480), 6800);
    EXPECT_EQ(app::sorelmain::unfoldHeight(600), 8700);
    EXPECT_EQ(app::sorelmain::unfoldHeight(768), 11050);
    EXPECT_EQ(app::sorelmain::unfoldHeight(1080), 11050);

    ASSERT_TRUE(start());
    w->showNormal();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    const double tpp = w->twipsPerPixel();
    const auto heightFor = [&](int twips) { return int(twips / tpp); };
    // At or below 2000 twips the panel is all there is.
    w->resize(w->width(), heightFor(2000));
    EXPECT_FALSE(w->Check1->isChecked());
    EXPECT_FALSE(w->RichTextBox1->isVisible());
    EXPECT_EQ(w->Frame1->y(), 0);
    EXPECT_FALSE(program.win.TextBoxShown);
    EXPECT_EQ(w->Check1->toolTip(), "Show text box");
    // Above it the text box takes what the panel leaves.
    w->resize(w->width(), heightFor(6000));
    EXPECT_TRUE(w->Check1->isChecked());
    EXPECT_TRUE(w->RichTextBox1->isVisible());
    EXPECT_TRUE(program.win.TextBoxShown);
    EXPECT_EQ(w->Check1->toolTip(), "Hide text box");
    EXPECT_EQ(w->Frame1->geometry().right(), w->width() - 1); // kept at the right edge
    EXPECT_GT(w->Frame1->y(), w->RichTextBox1->geometry().bottom());
    EXPECT_NEAR(program.win.WinHeight, 6000, tpp);

    // Folding keeps the panel where it was on the screen.
    w->move(40, 200);
    const QPoint panel = w->Frame1->mapToGlobal(QPoint(0, 0));
    w->Check1->click();
    EXPECT_FALSE(w->Check1->isChecked());
    EXPECT_EQ(w->Frame1->mapToGlobal(QPoint(0, 0)), panel);
    // Unfolding puts the window at the top of the screen, as high as the screen
    // allows, and leaves it where it was across.
    w->Check1->click();
    EXPECT_TRUE(w->Check1->isChecked());
    EXPECT_EQ(w->Frame1->mapToGlobal(QPoint(0, 0)).x(), panel.x());
    EXPECT_EQ(w->frameGeometry().top(), w->screen()->geometry().top());
    EXPECT_NEAR(w->height(), app::sorelmain::unfoldHeight(w->screen()->geometry().height()) / tpp,
                1);
}

TEST_F(ReaderTest, TheStoredPlaceIsWhereTheWindowComesBack) {
    ASSERT_TRUE(start());
    w->setWindowState(Qt::WindowNoState);
    w->showNormal();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    w->setGeometry(120, 90, w->width(), 400);
    stop();
    const WinSets first = loadRecord<WinSets>(path("swin.ini"));
    ASSERT_TRUE(start());
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    EXPECT_EQ(w->geometry().topLeft(), QPoint(120, 90));
    stop();
    const WinSets second = loadRecord<WinSets>(path("swin.ini"));
    EXPECT_EQ(second.WinLeft, first.WinLeft);
    EXPECT_EQ(second.WinTop, first.WinTop);
    EXPECT_EQ(second.WinWidth, first.WinWidth);
    EXPECT_EQ(second.WinHeight, first.WinHeight);
}

TEST_F(ReaderTest, TheBareSurfaceDragsTheWindow) {
    ASSERT_TRUE(start());
    w->showNormal();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    // The left margin beside the text box belongs to no control.
    const QPoint bare(2, 2);
    ASSERT_EQ(w->childAt(bare), nullptr);
    QMouseEvent press(QEvent::MouseButtonPress, bare, w->mapToGlobal(bare), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w.get(), &press);
    EXPECT_TRUE(press.isAccepted()); // taken as the start of a move
}

TEST_F(ReaderTest, TheVoiceListGivesWayToThePointer) {
    ASSERT_TRUE(start());
    w->showNormal();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    w->Command7_Click();
    ASSERT_TRUE(w->Combo1->isVisible());
    w->Combo1->hidePopup(); // Escape, or a click outside the list
    ASSERT_TRUE(w->Combo1->isVisible());
    // A plain move, no button held, over the Stop button beside it, the way the
    // window system delivers it.
    const QPoint over = w->Command6->mapTo(w.get(), QPoint(5, 5));
    ASSERT_EQ(w->childAt(over), w->Command6);
    QTest::mouseMove(w->windowHandle(), over);
    QTest::mouseMove(w->windowHandle(), over + QPoint(3, 1));
    EXPECT_FALSE(w->Combo1->isVisible());
}

TEST_F(ReaderTest, CloseWithoutANotificationAreaOnlyMinimizes) {
    ASSERT_TRUE(start());
    w->showNormal();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    ASSERT_EQ(w->tray, nullptr); // no notification area here
    w->Command9->click();
    EXPECT_TRUE(w->isVisible()); // still on the task bar
    EXPECT_TRUE(w->isMinimized());
    EXPECT_FALSE(program.ExitRequested);
}
