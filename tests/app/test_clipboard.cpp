// The clipboard watch inside the reader: what a copy does to the reading box and
// to a reading in progress, over the application's clipboard.

#include "link/clipboardwatch.h"
#include "readerfixture.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QTextCursor>

using namespace sonorel;
using namespace sonorel::test;

namespace {
QClipboard* clipboard() {
    return QGuiApplication::clipboard();
}
QString selected(const app::sorelmain& w) {
    return w.RichTextBox1->textCursor().selectedText();
}
} // namespace

TEST_F(ReaderTest, CopyWhileReadingStopsAndReadsTheNewText) {
    audio = platform::speech::AudioMode::Silent;
    for (const QString voice : {"Mary (TTS4.0)", "English (TTS5.0)"}) {
        ASSERT_TRUE(start());
        if (!voice.startsWith("Mary"))
            pick(voice);
        w->RichTextBox1->setPlainText("one two three four five six seven eight nine ten");
        w->Command5_Click();
        ASSERT_TRUE(spinUntil([&] { return selected(*w) == "two"; })) << voice.toStdString();

        clipboard()->setText("  alpha beta gamma");
        ASSERT_TRUE(spinUntil([&] {
            return w->RichTextBox1->toPlainText() != "one two three "
                                                     "four five six seven "
                                                     "eight nine ten";
        }));
        EXPECT_EQ(w->RichTextBox1->toPlainText(), "  alpha beta gamma");
        EXPECT_EQ(w->PlayStatus, reading::Speaking);
        // The new text's words are spoken; the old reading's never come back.
        EXPECT_TRUE(spinUntil([&] { return selected(*w) == "beta"; })) << voice.toStdString();
        EXPECT_TRUE(spinUntil([&] { return w->PlayStatus == reading::Idle; }));
        w.reset();
    }
}

TEST_F(ReaderTest, OnlySpacesOrWatchOffLeaveTheBoxAndTheReadingAlone) {
    ASSERT_TRUE(start());
    w->RichTextBox1->setPlainText("kept text");
    clipboard()->setText("    ");
    spinFor(50);
    EXPECT_EQ(w->RichTextBox1->toPlainText(), "kept text");
    EXPECT_EQ(w->PlayStatus, reading::Idle);

    program.win.WatchClipboard = false;
    clipboard()->setText("not read while the watch is off");
    spinFor(50);
    EXPECT_EQ(w->RichTextBox1->toPlainText(), "kept text");
    EXPECT_EQ(w->PlayStatus, reading::Idle);
    EXPECT_EQ(gen4.synth->calls, 0);
}

// Copying a part of the reader's own box: the box becomes that part, and that
// part is read, once; the reading's own word selections copy nothing.
TEST_F(ReaderTest, CopyInsideTheOwnBoxReadsThePartOnce) {
    audio = platform::speech::AudioMode::Silent;
    ASSERT_TRUE(start());
    w->show();
    w->RichTextBox1->setPlainText("first part. second part to copy. third part.");
    QTextCursor c = w->RichTextBox1->textCursor();
    c.setPosition(12);
    c.setPosition(31, QTextCursor::KeepAnchor);
    w->RichTextBox1->setTextCursor(c);
    int changes = 0;
    QObject counting;
    QObject::connect(clipboard(), &QClipboard::dataChanged, &counting, [&] { ++changes; });
    w->RichTextBox1->copy();
    ASSERT_TRUE(spinUntil([&] { return w->PlayStatus == reading::Speaking; }));
    EXPECT_EQ(w->RichTextBox1->toPlainText(), "second part to copy");
    EXPECT_TRUE(spinUntil([&] { return w->PlayStatus == reading::Idle; }));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(w->RichTextBox1->toPlainText(), "second part to copy");
}
