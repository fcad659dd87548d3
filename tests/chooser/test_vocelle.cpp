// The voice chooser's window on scripted voices and a launcher double: where it
// opens, the browser voice file, the list and its mark, and what a press starts.

#include "chooser/vocelleform1.h"
#include "shared/linkcommand.h"
#include "shared/voiceentry.h"
#include "support/fakes.h"
#include "support/scriptedengine.h"
#include "support/spin.h"
#include "support/tempdir.h"

#include <QFile>
#include <QListWidget>
#include <QSignalSpy>
#include <QTest>

using namespace sonorel;
using namespace sonorel::test;

TEST(VocellePlace, NearEachCornerAndEdge) {
    const QSize size(300, 260);
    struct Case {
        QPoint cursor, topLeft;
    };
    const Case cases[] = {
        {{1000, 750}, {700, 490}}, // bottom-right: above and to the left
        {{10, 10}, {10, 10}},      // top-left: below and to the right
        {{1000, 10}, {700, 10}},   // top-right: below, to the left
        {{10, 750}, {10, 490}},    // bottom-left: above, to the right
        {{0, 400}, {0, 140}},      // left edge
        {{500, 0}, {200, 0}},      // top edge
        {{300, 260}, {300, 260}},  // a corner exactly the window's size away: not left of 1 twip
        {{301, 261}, {1, 1}},
    };
    for (const double twips : {15.0, 12.0})
        for (const Case& c : cases)
            EXPECT_EQ(chooser::placeAtCursor(c.cursor, size, twips, twips), c.topLeft)
                << c.cursor.x() << "," << c.cursor.y() << " at " << twips;
}

TEST(VocelleCommand, Engine3NamedMary) {
    EXPECT_EQ(chooser::VocelleForm1::voiceCommand(voiceItemCode(4, 3), "Mary (TTS4.0)"),
              "7D0A94E3B2C5F16850E7A3D9C4B1F062-4400003Mary (TTS4.0)");
    EXPECT_EQ(chooser::VocelleForm1::voiceCommand(voiceItemCode(5, 0), "German (TTS5.0)"),
              kLinkToken + "-4500000German (TTS5.0)");
}

namespace {

class VocelleTest : public TempDirTest {
protected:
    ScriptedFamily gen4{{"Kal", "Mary", "Rms"}};
    ScriptedFamily gen5{{"English", "German"}};
    FakeProgramFolder folder{path()};
    ScriptedDialogs dialogs;
    FakeLauncher processes;
    std::unique_ptr<chooser::VocelleForm1> w;

    void open(QPoint cursor = {400, 300}) {
        w = std::make_unique<chooser::VocelleForm1>(
            chooser::ChooserServices{folder, dialogs, processes, gen4, gen5}, cursor);
        w->Form_Load();
        ASSERT_TRUE(spinUntil([&] { return w->List1->count() == 5; }));
    }
    void writeVoiceFile(const QByteArray& bytes) {
        QFile f(path("IEVoiceName.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray voiceFile() {
        QFile f(path("IEVoiceName.ini"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void placeReader() {
        QFile f(path("sorel"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\n");
    }
    QString marked() const {
        return w->List1->currentItem() ? w->List1->currentItem()->text() : "";
    }
    void press(int row, Qt::MouseButton button = Qt::LeftButton) {
        const QRect r = w->List1->visualItemRect(w->List1->item(row));
        QTest::mousePress(w->List1->viewport(), button, {}, r.center());
    }
};

} // namespace

TEST_F(VocelleTest, FirstStartWritesTheDefaultVoiceAndMarksIt) {
    open();
    EXPECT_EQ(voiceFile(), encodeRecord(IEVoiceNameRecord{"Mary (TTS4.0)", "4"}));
    QStringList texts;
    QList<int> codes;
    for (int i = 0; i < w->List1->count(); ++i) {
        texts << w->List1->item(i)->text();
        codes << w->List1->item(i)->data(Qt::UserRole).toInt();
    }
    // The reader's own list: generation 4 numbered from 1, generation 5 from 0.
    EXPECT_EQ(texts, (QStringList{"Kal (TTS4.0)", "Mary (TTS4.0)", "Rms (TTS4.0)",
                                  "English (TTS5.0)", "German (TTS5.0)"}));
    EXPECT_EQ(codes, (QList<int>{400001, 400002, 400003, 500000, 500001}));
    EXPECT_EQ(marked(), "Mary (TTS4.0)");
    EXPECT_EQ(w->windowTitle(), "Change SOREL's Voice");
    EXPECT_TRUE(w->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(w->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_TRUE(w->isVisible());
}

TEST_F(VocelleTest, TheStoredVoiceIsMarkedElseTheLastEntry) {
    writeVoiceFile(encodeRecord(IEVoiceNameRecord{"English (TTS5.0)", "5"}));
    open();
    EXPECT_EQ(marked(), "English (TTS5.0)");
    // An existing file is only read.
    EXPECT_EQ(voiceFile(), encodeRecord(IEVoiceNameRecord{"English (TTS5.0)", "5"}));

    for (const QByteArray& unmatched : {encodeRecord(IEVoiceNameRecord{"Nobody (TTS5.0)", "5"}),
                                        QByteArray("\xff\x7f\x01"), QByteArray()}) {
        writeVoiceFile(unmatched);
        open();
        EXPECT_EQ(marked(), "German (TTS5.0)") << unmatched.toHex().toStdString();
    }
}

TEST_F(VocelleTest, OpensAtThePointer) {
    open({900, 700});
    EXPECT_EQ(w->pos(), chooser::placeAtCursor({900, 700}, w->frameGeometry().size(), 15, 15));
    EXPECT_EQ(w->frameGeometry().bottomRight() + QPoint(1, 1), QPoint(900, 700));
    open({5, 5});
    EXPECT_EQ(w->pos(), QPoint(5, 5));
}

// Any button: the entry under the pointer goes to the reader beside the chooser,
// as one argument, and the chooser ends.
TEST_F(VocelleTest, APressStartsTheReaderWithTheVoiceCommand) {
    placeReader();
    for (const auto& [row, button] : {std::pair{4, Qt::LeftButton}, {0, Qt::RightButton}}) {
        processes.started.clear();
        open();
        QSignalSpy ended(w.get(), &chooser::VocelleForm1::ended);
        press(row, button);
        ASSERT_EQ(processes.started.size(), 1);
        const auto& s = processes.started.first();
        EXPECT_EQ(s.program, path() + "/sorel");
        const QString entry = w->List1->item(row)->text();
        EXPECT_EQ(s.arguments, QStringList{makeVoiceCommand(
                                   w->List1->item(row)->data(Qt::UserRole).toInt(), entry)});
        EXPECT_EQ(s.mode, platform::WindowMode::Normal);
        EXPECT_EQ(ended.count(), 1);
        // A second press while it ends starts nothing more.
        press(1);
        EXPECT_EQ(processes.started.size(), 1);
        EXPECT_TRUE(dialogs.messages.isEmpty());
    }
}

TEST_F(VocelleTest, KeyboardChoosesTheMarkedEntryOrLeaves) {
    placeReader();
    writeVoiceFile(encodeRecord(IEVoiceNameRecord{"Kal (TTS4.0)", "4"}));
    open();
    QSignalSpy ended(w.get(), &chooser::VocelleForm1::ended);
    QTest::keyClick(w->List1, Qt::Key_Down);
    QTest::keyClick(w->List1, Qt::Key_Return);
    ASSERT_EQ(processes.started.size(), 1);
    EXPECT_EQ(processes.started.first().arguments,
              QStringList{kLinkToken + "-4400002Mary (TTS4.0)"});
    EXPECT_EQ(ended.count(), 1);

    processes.started.clear();
    open();
    QSignalSpy left(w.get(), &chooser::VocelleForm1::ended);
    QTest::keyClick(w->List1, Qt::Key_Escape);
    EXPECT_EQ(left.count(), 1);
    EXPECT_TRUE(processes.started.isEmpty());
}

TEST_F(VocelleTest, AMissingOrFailingReaderIsReported) {
    open();
    QSignalSpy ended(w.get(), &chooser::VocelleForm1::ended);
    press(2);
    EXPECT_TRUE(processes.started.isEmpty());
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages.first().text.contains("missing"));
    EXPECT_TRUE(dialogs.messages.first().text.contains(path() + "/sorel"));
    EXPECT_EQ(ended.count(), 1);

    placeReader();
    processes.failStarts = true;
    open();
    press(2);
    ASSERT_EQ(dialogs.messages.size(), 2);
    EXPECT_TRUE(dialogs.messages.last().text.contains("could not be started"));
}
