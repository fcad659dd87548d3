// The finish notice of a speech export.

#include "export/mp3end.h"
#include "support/fakes.h"

#include <gtest/gtest.h>
#include <QAccessible>
#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

using namespace sonorel;

TEST(ExportFinishNotice, ShowsWhatWasSavedAndPlaysIt) {
    test::RecordingShellOpener shell;
    QPointer<exporting::mp3end> window =
        new exporting::mp3end({"/home/u/talk.mp3", "01:01:40", "Mary (TTS4.0)", "29", "50"}, shell);
    window->show();
    EXPECT_EQ(window->windowTitle(), "Sonorel");
    EXPECT_EQ(window->Label2->text(), "/home/u/talk.mp3");
    EXPECT_EQ(window->Label4->text(), "01:01:40");
    EXPECT_EQ(window->Label6->text(), "Mary (TTS4.0)");
    EXPECT_EQ(window->Label8->text(), "29");
    EXPECT_EQ(window->Label10->text(), "50");
    QStringList texts;
    for (QLabel* label : window->findChildren<QLabel*>())
        texts << label->text();
    for (const char* caption : {"Convert text to", "Successfully!",
                                "REC engine:", "REC rate:", "REC pitch:", "Elapsed time:"})
        EXPECT_TRUE(texts.contains(caption)) << caption;
    EXPECT_EQ(window->Command1->text(), "&Play");
    window->Command1->click();
    EXPECT_EQ(shell.opened, QStringList{"/home/u/talk.mp3"});
    window->Command2->click(); // &Close: closed and gone
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
}

// What a screen reader is told of the notice, and Escape closing it.
TEST(ExportFinishNotice, IsToldToScreenReadersAndClosedByEscape) {
    test::RecordingShellOpener shell;
    QPointer<exporting::mp3end> window =
        new exporting::mp3end({"/home/u/talk.mp3", "00:00:12", "Kal (TTS4.0)", "35", "60"}, shell);
    window->show();
    const auto told = [](QWidget* w) { return QAccessible::queryAccessibleInterface(w); };
    const struct {
        QWidget* control;
        QAccessible::Role role;
        const char* name;
    } expected[] = {{window->Command1, QAccessible::Button, "Play"},
                    {window->Command2, QAccessible::Button, "Close"},
                    {window->Label2, QAccessible::StaticText, "Saved file /home/u/talk.mp3"},
                    {window->Label6, QAccessible::StaticText, "REC engine: Kal (TTS4.0)"},
                    {window->Label8, QAccessible::StaticText, "REC rate: 35"},
                    {window->Label10, QAccessible::StaticText, "REC pitch: 60"},
                    {window->Label4, QAccessible::StaticText, "Elapsed time: 00:00:12"}};
    for (const auto& e : expected) {
        QAccessibleInterface* a = told(e.control);
        ASSERT_NE(a, nullptr) << e.name;
        EXPECT_EQ(a->role(), e.role) << e.name;
        EXPECT_EQ(a->text(QAccessible::Name), e.name);
    }
    EXPECT_FALSE(told(window->Command1)->text(QAccessible::Description).isEmpty());
    EXPECT_FALSE(told(window->Command2)->text(QAccessible::Description).isEmpty());
    // Tab goes from Play to Close and back.
    window->activateWindow();
    QApplication::setActiveWindow(window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    window->Command1->setFocus();
    QTest::keyClick(window->Command1, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), window->Command2);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
    EXPECT_TRUE(shell.opened.isEmpty());
}
