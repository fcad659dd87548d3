// Long texts go into the reading box a piece per event-loop turn: the box ends as
// setPlainText would have left it, and the reading works on the whole text from
// the start.

#include "app/boxfill.h"
#include "readerfixture.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

using namespace sonorel;
using namespace sonorel::test;
using app::BoxFill;

namespace {
// What a box filled the ordinary way gives back.
QString viaSetPlainText(const QString& text) {
    QPlainTextEdit box;
    box.setPlainText(text);
    return box.toPlainText();
}

// Lines of words with CR LF breaks, a piece boundary falling between a CR and its
// LF and another inside a surrogate pair, and a last word of its own.
QString longText() {
    QString text;
    while (text.size() < BoxFill::kPiece - 1)
        text += "words on a line\r\n";
    text.truncate(BoxFill::kPiece - 1);
    text += "\r\n"; // CR is the piece's last character
    while (text.size() < 2 * BoxFill::kPiece - 1)
        text += "more words\xc2\xa0here\n";
    text.truncate(2 * BoxFill::kPiece - 1);
    text += QString::fromUtf8("\xf0\x9f\x98\x80"); // a high surrogate ends the piece
    for (int i = 0; i < 2000; ++i)
        text += "tail words\r";
    text += "zebra";
    return text;
}
} // namespace

TEST(BoxFillTest, BoxFormIsWhatTheBoxGivesBack) {
    for (const QString& text :
         {QString("a\r\nb\rc\nd"), QString("\r\n\r\n"), QString("x\r"), QString("\r"),
          QString::fromUtf8("no\xc2\xa0"
                            "break"),
          QStringLiteral(u"line\u2028sep\u2029para"), QStringLiteral(u"frame\uFDD0marks\uFDD1"),
          QString::fromUtf8("\xf0\x9f\x98\x80 smile"), QString("tab\tand trailing  "), QString()})
        EXPECT_EQ(app::boxForm(text), viaSetPlainText(text)) << text.toStdString();
}

TEST(BoxFillTest, LongTextEndsAsSetPlainTextWouldLeaveIt) {
    const QString text = longText();
    const QString expected = viaSetPlainText(text);
    QPlainTextEdit box;
    box.setPlainText("old text");
    box.textCursor().insertText(" typed"); // something to undo
    BoxFill fill(&box);
    qsizetype largest = 0;
    QObject::connect(box.document(), &QTextDocument::contentsChange,
                     [&](int, int, int added) { largest = std::max<qsizetype>(largest, added); });

    fill.fill(text);
    ASSERT_TRUE(fill.filling());
    EXPECT_LT(box.document()->characterCount() - 1, expected.size());
    EXPECT_TRUE(box.isReadOnly());
    EXPECT_EQ(fill.text(), expected);
    EXPECT_EQ(fill.length(), expected.size());
    EXPECT_EQ(box.textCursor().position(), 0);

    ASSERT_TRUE(spinUntil([&] { return !fill.filling(); }));
    EXPECT_EQ(box.toPlainText(), expected);
    EXPECT_EQ(fill.text(), expected);
    EXPECT_EQ(box.document()->blockCount(), [&] {
        QPlainTextEdit reference;
        reference.setPlainText(text);
        return reference.document()->blockCount();
    }());
    // No piece was bigger than a piece (plus the second half of a pair).
    EXPECT_LE(largest, BoxFill::kPiece + 1);
    EXPECT_FALSE(box.isReadOnly());
    EXPECT_FALSE(box.document()->isUndoAvailable());
    EXPECT_TRUE(box.document()->isUndoRedoEnabled());
    EXPECT_EQ(box.textCursor().position(), 0);
}

TEST(BoxFillTest, ANewTextOrReachReplacesOrHurriesTheFill) {
    QPlainTextEdit box;
    BoxFill fill(&box);
    const QString text = longText();
    const QString expected = viaSetPlainText(text);

    fill.fill(text);
    fill.reach(int(expected.size()) - 3); // the last word is needed now
    EXPECT_EQ(box.document()->characterCount() - 1, expected.size());
    EXPECT_FALSE(fill.filling());
    EXPECT_EQ(box.toPlainText(), expected);

    // A second long text while the first goes in: only the second is left.
    fill.fill(text);
    fill.fill(text.right(3 * BoxFill::kPiece / 2));
    ASSERT_TRUE(spinUntil([&] { return !fill.filling(); }));
    EXPECT_EQ(box.toPlainText(), viaSetPlainText(text.right(3 * BoxFill::kPiece / 2)));

    // A short text while a long one goes in: the box takes it at once and is
    // editable again.
    fill.fill(text);
    fill.fill("short");
    EXPECT_FALSE(fill.filling());
    EXPECT_EQ(box.toPlainText(), "short");
    EXPECT_FALSE(box.isReadOnly());
    spinFor(20);
    EXPECT_EQ(box.toPlainText(), "short");
}

// The reader takes a long text from the link or the clipboard: the reading has
// the whole text at once, the box fills without one long stop, and a word beyond
// what the box holds yet is still the one selected.
TEST_F(ReaderTest, LongTextIsReadWholeWhileTheBoxFills) {
    ASSERT_TRUE(start());
    const QString text = longText();
    const QString expected = viaSetPlainText(text);
    qsizetype largest = 0;
    QObject::connect(w->RichTextBox1->document(), &QTextDocument::contentsChange,
                     [&](int, int, int added) { largest = std::max<qsizetype>(largest, added); });

    w->readText(text);
    EXPECT_EQ(w->PlayStatus, reading::Speaking);
    EXPECT_EQ(w->SpokenText, expected);
    EXPECT_EQ(w->TextLength, expected.size());
    const int zebra = int(expected.size()) - 5;
    w->DirectSS1_WordPosition(0, 0, 2 * zebra);
    EXPECT_EQ(w->RichTextBox1->textCursor().selectedText(), "zebra");

    w->Command6_Click();
    w->readText(text);
    ASSERT_TRUE(spinUntil([&] { return w->RichTextBox1->toPlainText() == expected; }));
    EXPECT_LE(largest, app::BoxFill::kPiece + 1);
    w->Command6_Click();
}
