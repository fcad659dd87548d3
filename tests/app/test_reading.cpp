// Speak, pause and stop across both generations, word highlighting, the elapsed
// clock and the command link's table.

#include "readerfixture.h"
#include "shared/linkcommand.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTextCursor>
#include <QThread>

using namespace sonorel;
using namespace sonorel::test;

namespace {
QString selected(const app::sorelmain& w) {
    return w.RichTextBox1->textCursor().selectedText();
}
} // namespace

TEST_F(ReaderTest, PlayStatusAcrossPauseResumeAndTheEnd) {
    audio = platform::speech::AudioMode::Silent;
    for (const QString voice : {"Mary (TTS4.0)", "English (TTS5.0)"}) {
        ASSERT_TRUE(start());
        if (!voice.startsWith("Mary"))
            pick(voice);
        w->RichTextBox1->setPlainText("one two three four five six seven eight");
        w->Command5_Click();
        EXPECT_EQ(w->PlayStatus, reading::Speaking);
        EXPECT_EQ(w->Command5->text(), "&Pause");
        spinUntil([&] { return !selected(*w).isEmpty(); });
        w->Command5_Click(); // pause
        EXPECT_EQ(w->PlayStatus, reading::Paused);
        EXPECT_EQ(w->Command5->text(), "S&peak");
        EXPECT_EQ(w->ReadingTime->interval(), 0);
        spinFor(100); // a generation-4 pause raises the end of audio: still paused
        EXPECT_EQ(w->PlayStatus, reading::Paused);
        w->Command5_Click(); // resume
        EXPECT_EQ(w->PlayStatus, reading::Speaking);
        EXPECT_EQ(w->PauseMark, 0);
        spinUntil([&] { return w->PlayStatus == reading::Idle; });
        EXPECT_EQ(w->PlayStatus, reading::Idle) << voice.toStdString();
        EXPECT_EQ(w->Command5->text(), "S&peak");
        EXPECT_EQ(w->RichTextBox1->textCursor().position(), 0);
        EXPECT_EQ(w->cpvSlider1->value(), 0);
    }
}

TEST_F(ReaderTest, PauseThenStopWithGeneration5LeavesItIdleAndSilent) {
    audio = platform::speech::AudioMode::Silent;
    ASSERT_TRUE(start());
    pick("English (TTS5.0)");
    w->RichTextBox1->setPlainText("one two three four five six seven eight nine ten");
    w->Command5_Click();
    spinUntil([&] { return !selected(*w).isEmpty(); });
    w->Command5_Click();
    w->Command6_Click();
    EXPECT_EQ(w->PlayStatus, reading::Idle);
    const QString at = selected(*w);
    spinFor(300);
    EXPECT_EQ(w->PlayStatus, reading::Idle);
    EXPECT_TRUE(w->NewsVoice1->WaitUntilDone(0)); // nothing left to speak
    // The stopped reading's end put the caret back at the top, and no word of it
    // was highlighted after the Stop.
    EXPECT_FALSE(at.isEmpty());
    EXPECT_TRUE(selected(*w).isEmpty());
    EXPECT_EQ(w->RichTextBox1->textCursor().position(), 0);
    // The next Speak starts a new reading rather than resuming the old one.
    w->Command5_Click();
    EXPECT_EQ(w->PlayStatus, reading::Speaking);
    spinUntil([&] { return w->PlayStatus == reading::Idle; });
}

TEST_F(ReaderTest, AnEmptyReadingEndsLikeAnyOther) {
    ASSERT_TRUE(start());
    for (const QString voice : {"Mary (TTS4.0)", "English (TTS5.0)"}) {
        SCOPED_TRACE(voice.toStdString());
        pick(voice);
        w->RichTextBox1->clear();
        w->Command5_Click();
        EXPECT_EQ(w->PlayStatus, reading::Speaking);
        EXPECT_TRUE(spinUntil([&] { return w->PlayStatus == reading::Idle; }));
        EXPECT_EQ(w->ReadingTime->interval(), 0); // the clock stopped
        // The link's read command with no text reaches the same reading.
        w->LinkExecute(kLinkToken + "_1");
        EXPECT_TRUE(spinUntil([&] { return w->PlayStatus == reading::Idle; }));
        EXPECT_EQ(w->ReadingTime->interval(), 0);
        EXPECT_EQ(w->Command5->text(), "S&peak");
    }
}

TEST_F(ReaderTest, PauseAtTheVeryEndOfAGeneration4ReadingStillEnds) {
    ASSERT_TRUE(start());
    w->RichTextBox1->setPlainText("one two");
    w->Command5_Click();
    // The fast output plays the whole text while no event is handled, so every
    // event up to the end is queued when the pause comes.
    QThread::msleep(300);
    w->Command5_Click(); // pause
    spinFor(50);
    EXPECT_EQ(w->PlayStatus, reading::Paused);
    w->Command5_Click(); // resume: nothing is left to read
    EXPECT_TRUE(spinUntil([&] { return w->PlayStatus == reading::Idle; }));
    EXPECT_EQ(w->ReadingTime->interval(), 0);
    EXPECT_EQ(w->PauseMark, 0);
    // The next Speak reads the text anew.
    QStringList seen;
    QObject::connect(w->RichTextBox1, &QPlainTextEdit::selectionChanged, [&] {
        if (!selected(*w).isEmpty())
            seen << selected(*w);
    });
    w->Command5_Click();
    EXPECT_TRUE(spinUntil([&] { return w->PlayStatus == reading::Idle; }));
    EXPECT_EQ(seen, (QStringList{"one", "two"}));
}

TEST_F(ReaderTest, RestartRuleAndWhatTheEngineIsGiven) {
    ASSERT_TRUE(start());
    w->RichTextBox1->setPlainText("Hello world  ");
    QTextCursor c = w->RichTextBox1->textCursor();
    c.setPosition(10); // on the last two characters of the trimmed text
    w->RichTextBox1->setTextCursor(c);
    w->Command5_Click();
    EXPECT_EQ(w->SpeakBase, 0); // generation 4 starts over
    EXPECT_EQ(w->TextLength, 11);
    w->Command6_Click();

    pick("English (TTS5.0)");
    c.setPosition(10);
    w->RichTextBox1->setTextCursor(c);
    w->Command5_Click();
    EXPECT_EQ(w->SpeakBase, 10); // generation 5 reads the last characters
    EXPECT_EQ(w->SpokenText, "d  ");
    EXPECT_EQ(w->Label13->text(), "00:00:00");
}

TEST_F(ReaderTest, Generation4HighlightRunsToTheNextDelimiter) {
    ASSERT_TRUE(start());
    w->RichTextBox1->setPlainText("alpha beta gamma");
    w->TextLength = 16;
    w->SpeakBase = 0;
    w->DirectSS1_WordPosition(0, 0, 12); // "beta" at 6
    EXPECT_EQ(selected(*w), "beta");
    w->MonitorText1Len_Timer(); // the slider's range follows the text
    w->DirectSS1_WordPosition(0, 0, 12);
    EXPECT_EQ(w->cpvSlider1->value(), 9); // the word's last character
    w->DirectSS1_WordPosition(0, 0, 5);   // 2.5 rounds to 2
    EXPECT_EQ(w->RichTextBox1->textCursor().selectionStart(), 2);
    EXPECT_EQ(selected(*w), "pha");
    // The last word, without a blank after it, runs to the end of the text.
    w->DirectSS1_WordPosition(0, 0, 22);
    EXPECT_EQ(selected(*w), "gamma");
    // Reading from the middle: offsets count from where the reading began.
    w->SpeakBase = 6;
    w->DirectSS1_WordPosition(0, 0, 10);
    EXPECT_EQ(selected(*w), "gamma");
    // Trailing blanks are not part of the scanned length.
    w->RichTextBox1->setPlainText("one two   ");
    w->TextLength = 7;
    w->SpeakBase = 0;
    w->DirectSS1_WordPosition(0, 0, 8);
    EXPECT_EQ(selected(*w), "two");
}

TEST_F(ReaderTest, LineBreaksEndTheHighlightedWord) {
    ASSERT_TRUE(start());
    QStringList seen;
    int furthest = 0;
    QObject::connect(w->RichTextBox1, &QPlainTextEdit::selectionChanged, [&] {
        if (!selected(*w).isEmpty())
            seen << selected(*w);
        furthest = std::max(furthest, w->cpvSlider1->value());
    });
    const auto read = [&](const QString& text) {
        w->RichTextBox1->setPlainText(text);
        w->MonitorText1Len_Timer();
        seen.clear();
        furthest = 0;
        w->Command5_Click();
        spinUntil([&] { return w->PlayStatus == reading::Idle; });
        return seen;
    };
    const QStringList lines{"apple", "banana", "cherry"};
    for (const QString voice : {"Mary (TTS4.0)", "English (TTS5.0)"}) {
        SCOPED_TRACE(voice.toStdString());
        pick(voice);
        EXPECT_EQ(read("apple\nbanana cherry"), lines);
        // A word list, one word a line: the slider never runs ahead of the voice.
        EXPECT_EQ(read("apple\nbanana\ncherry\n"), lines);
        EXPECT_LE(furthest, 13);
        EXPECT_EQ(read("apple\r\nbanana\r\ncherry"), lines);
        EXPECT_EQ(read("apple banana\ncherry\n"), lines);
    }
}

TEST_F(ReaderTest, ReadingHighlightsTheSpokenWords) {
    ASSERT_TRUE(start());
    w->RichTextBox1->setPlainText("Grüße aus Köln. 東京 is a city.");
    QStringList seen;
    QObject::connect(w->RichTextBox1, &QPlainTextEdit::selectionChanged, [&] {
        if (!selected(*w).isEmpty())
            seen << selected(*w);
    });
    w->Command5_Click();
    spinUntil([&] { return w->PlayStatus == reading::Idle; });
    EXPECT_EQ(seen, (QStringList{"Grüße", "aus", "Köln.", "東京", "is", "a", "city."}));
    seen.clear();
    pick("English (TTS5.0)");
    w->Command5_Click();
    spinUntil([&] { return w->PlayStatus == reading::Idle; });
    EXPECT_EQ(seen, (QStringList{"Grüße", "aus", "Köln.", "東京", "is", "a", "city."}));
}

TEST_F(ReaderTest, SliderAndTextLengthWatch) {
    ASSERT_TRUE(start());
    w->RichTextBox1->setPlainText("some text here");
    w->MonitorText1Len_Timer();
    EXPECT_EQ(w->TextLength, 14);
    EXPECT_EQ(w->cpvSlider1->maximum(), 14);
    EXPECT_TRUE(w->cpvSlider1->isEnabled());
    w->cpvSlider1->setValue(5);
    w->cpvSlider1_Scroll();
    EXPECT_EQ(w->RichTextBox1->textCursor().position(), 5);
    w->RichTextBox1->clear();
    w->MonitorText1Len_Timer();
    EXPECT_FALSE(w->cpvSlider1->isEnabled());
    EXPECT_EQ(w->cpvSlider1->value(), 0);
    // An edit re-arms the watch for half a second.
    w->RichTextBox1->insertPlainText("x");
    EXPECT_EQ(w->MonitorText1Len->interval(), 500);
}

TEST_F(ReaderTest, EverySliderMoveWhileIdleMovesTheCaret) {
    ASSERT_TRUE(start());
    w->RichTextBox1->setPlainText("a fairly long line of text to move along in");
    w->MonitorText1Len_Timer();
    const auto caret = [&] { return w->RichTextBox1->textCursor().position(); };
    QTest::keyClick(w->cpvSlider1, Qt::Key_End);
    EXPECT_EQ(w->cpvSlider1->value(), 43);
    EXPECT_EQ(caret(), 43);
    QTest::keyClick(w->cpvSlider1, Qt::Key_Left);
    EXPECT_EQ(caret(), 42);
    w->cpvSlider1->triggerAction(QAbstractSlider::SliderPageStepSub); // a click on the track
    EXPECT_EQ(caret(), w->cpvSlider1->value());
    EXPECT_LT(caret(), 42);
    const int before = caret();
    QWheelEvent wheel(QPointF(5, 5), w->cpvSlider1->mapToGlobal(QPointF(5, 5)), QPoint(),
                      QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w->cpvSlider1, &wheel);
    EXPECT_NE(w->cpvSlider1->value(), before);
    EXPECT_EQ(caret(), w->cpvSlider1->value());
    // Typing that shortens the text pulls the slider back but leaves the caret.
    w->RichTextBox1->setPlainText("short text");
    QTextCursor c = w->RichTextBox1->textCursor();
    c.setPosition(3);
    w->RichTextBox1->setTextCursor(c);
    w->MonitorText1Len_Timer();
    EXPECT_EQ(caret(), 3);
    // While reading, the slider follows the voice and leaves the caret alone.
    w->Command5_Click();
    const int reading = caret();
    w->cpvSlider1->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(caret(), reading);
}

TEST_F(ReaderTest, ElapsedClockCountsFromTheStartOfReading) {
    ASSERT_TRUE(start());
    w->ReadingStart = clock.now();
    clock.advanceSeconds(3661);
    w->ReadingTime_Timer();
    EXPECT_EQ(w->Label13->text(), "01:01:01");
}

TEST_F(ReaderTest, LinkCommandTable) {
    ASSERT_TRUE(start());
    w->RichTextBox1->setPlainText("old text");
    // Exactly the 34-character key: read an empty text.
    w->LinkExecute(kLinkToken + "_1");
    EXPECT_EQ(w->RichTextBox1->toPlainText(), "");
    EXPECT_EQ(w->PlayStatus, reading::Speaking);
    w->LinkExecute(kLinkToken + "_3");
    EXPECT_EQ(w->PlayStatus, reading::Idle);
    w->LinkExecute(kLinkToken + "_1New words to read");
    EXPECT_EQ(w->RichTextBox1->toPlainText(), "New words to read");
    EXPECT_EQ(w->PlayStatus, reading::Speaking);
    w->LinkExecute(kLinkToken + "_2"); // pause
    EXPECT_EQ(w->PlayStatus, reading::Paused);
    w->LinkExecute(kLinkToken + "_2"); // resume
    EXPECT_EQ(w->PlayStatus, reading::Speaking);
    QFile f(path("page.txt"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("From a file.");
    f.close();
    w->LinkExecute(path("page.txt"));
    EXPECT_EQ(w->RichTextBox1->toPlainText(), "From a file.");
    EXPECT_EQ(w->PlayStatus, reading::Speaking);
    w->LinkExecute(kLinkToken + "_3");
    w->RichTextBox1->setPlainText("typed meanwhile");
    // The token in lower case is a file name; a file that cannot be loaded changes
    // nothing and reads nothing (least of all what the loader held before), and
    // the user is told without a wait.
    w->LinkExecute(kLinkToken.toLower() + "_1");
    EXPECT_EQ(w->RichTextBox1->toPlainText(), "typed meanwhile");
    EXPECT_EQ(w->PlayStatus, reading::Idle);
    ASSERT_EQ(dialogs.notices.size(), 1);
    EXPECT_EQ(dialogs.notices[0].text, "Can not find the file " + kLinkToken.toLower() + "_1.");
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(ReaderTest, FontAndColourButtonsApplyWhatTheDialogsReturn) {
    ASSERT_TRUE(start());
    QFont font("DejaVu Serif", 15);
    font.setItalic(true);
    dialogs.answer(
        std::optional<platform::FontChoice>(platform::FontChoice{font, QColor(200, 0, 0)}));
    w->Command2_Click();
    EXPECT_EQ(w->RichTextBox1->font().family(), "DejaVu Serif");
    EXPECT_TRUE(w->RichTextBox1->font().italic());
    dialogs.answer(std::optional<QColor>(QColor(0, 0, 80)));
    w->Command1_Click();
    w->Command2_Click(); // cancelled: nothing changes
    EXPECT_EQ(dialogs.fontDialogs, 2);
    // Both reach swin.ini as the font fields and 0x00BBGGRR colours.
    stop();
    const WinSets saved = loadRecord<WinSets>(path("swin.ini"));
    EXPECT_EQ(saved.TextFontName, "DejaVu Serif");
    EXPECT_EQ(saved.TextFontSize, "15");
    EXPECT_TRUE(saved.TextFontItalic);
    EXPECT_EQ(saved.TextForeColor, 0x0000C8);
    EXPECT_EQ(saved.TextBackColor, 0x500000);
    ASSERT_TRUE(start());
    EXPECT_EQ(w->RichTextBox1->font().family(), "DejaVu Serif");
    EXPECT_EQ(w->RichTextBox1->palette().color(QPalette::Base), QColor(0, 0, 80));
}
