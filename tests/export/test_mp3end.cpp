// The finish notice of a speech export.

#include "export/mp3end.h"
#include "support/fakes.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

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
