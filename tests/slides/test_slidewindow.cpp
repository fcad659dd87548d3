// The slide reader's window: its controls, the settings it opens with and keeps,
// the word-file dialog and the count, the checks at Begin, the full-window mode,
// font and colour, the layout, and long words.

#include "slidefixture.h"
#include "slides/worddisplay.h"
#include "support/spin.h"

#include <gtest/gtest.h>
#include <QAccessible>
#include <QCheckBox>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>

using namespace sonorel;
using namespace sonorel::test;

namespace {

using SlideWindow = SlideTest;
using Seen = SlideTest::Seen;

TEST_F(SlideWindow, ControlsCarryTheirCaptionsAndToolTips) {
    EXPECT_EQ(w->windowTitle(), "Slide read aloud words");
    EXPECT_EQ(w->Label1->text(), "Word");
    struct Expect {
        QAbstractButton* control;
        const char* caption;
        const char* tip;
    } expected[] = {
        {w->Command5, "Select &word file", "Select word file"},
        {w->Command8, "&Edit", ""},
        {w->Command2, "&Begin", "Begin slide read aloud words"},
        {w->Command3, "&Stop", "Stop read aloud"},
        {w->Command4, "Pa&use", "Pause read aloud"},
        {w->Command9, "&Previous", ""},
        {w->Command10, "&Next", ""},
        {w->Command6, "&Font", "Change word font"},
        {w->Command7, "C&olor", "Change BackColor"},
        {w->Check1, "&Full window", "Full screen when reading aloud"},
        {w->Check2, "&Random", "Random read aloud"},
        {w->Command1, "&Close", ""},
    };
    for (const Expect& e : expected) {
        EXPECT_EQ(e.control->text(), e.caption);
        EXPECT_EQ(e.control->toolTip(), e.tip) << e.caption;
    }
    EXPECT_EQ(w->SlideDelay->toolTip(), "Delay");
    EXPECT_EQ(w->SlideDelay->minimum(), 1);
    // Idle at the start: nothing to stop or pause, no file to edit.
    EXPECT_TRUE(w->Command2->isEnabled());
    EXPECT_FALSE(w->Command3->isEnabled() || w->Command4->isEnabled() || w->Command8->isEnabled());
    EXPECT_EQ(w->SlideStatus, 1);
    EXPECT_FALSE(w->SlideRunning);
}

TEST_F(SlideWindow, EveryControlIsNamedAndReachedByTab) {
    w->show();
    QList<QWidget*> controls{w->Label1,     w->Text1,    w->Command5, w->Check1,   w->Check2,
                             w->SlideDelay, w->Command2, w->Command6, w->Command7, w->Command1};
    for (QWidget* c : controls) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(c);
        ASSERT_TRUE(a);
        EXPECT_FALSE(a->text(QAccessible::Name).trimmed().isEmpty())
            << c->objectName().toStdString();
    }
    EXPECT_EQ(QAccessible::queryAccessibleInterface(w->SlideDelay)->text(QAccessible::Name),
              "Delay");
    // Tab from the word display visits every enabled control, in the rows' order.
    QApplication::setActiveWindow(w.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    w->Label1->setFocus();
    QList<QWidget*> visited;
    for (int i = 0; i < 20; ++i) {
        QWidget* f = w->focusWidget();
        if (!f || visited.contains(f))
            break;
        visited << f;
        QTest::keyClick(f, Qt::Key_Tab);
    }
    const QList<QWidget*> order{w->Label1,    w->Text1,      w->Command5, w->Check1,
                                w->Check2,    w->SlideDelay, w->Command2, w->Command9,
                                w->Command10, w->Command6,   w->Command7, w->Command1};
    EXPECT_EQ(visited, order);
}

TEST_F(SlideWindow, OpensWithTheStoredSettings) {
    WinSets& s = program.win;
    s.SlideFullWindow = 1;
    s.SlideRandom = 1;
    s.SlideDelaySec = 7;
    s.SlideBackColor = 0x00203040; // blue 0x20, green 0x30, red 0x40
    s.SlideForeColor = 0x000000FF;
    s.SlideFontName = "DejaVu Serif";
    s.SlideFontSize = "40";
    s.SlideFontBold = "True";
    s.SlideFontItalic = true;
    s.SlideFontUnderline = true;
    s.SlideFontStrikethru = false;
    open();
    EXPECT_TRUE(w->Check1->isChecked());
    EXPECT_TRUE(w->Check2->isChecked());
    EXPECT_EQ(w->SlideDelay->value(), 7);
    EXPECT_EQ(w->Label1->palette().color(QPalette::Window), QColor(0x40, 0x30, 0x20));
    EXPECT_EQ(w->palette().color(QPalette::Window), QColor(0x40, 0x30, 0x20));
    EXPECT_EQ(w->Label1->palette().color(QPalette::WindowText), QColor(0xFF, 0, 0));
    const QFont f = w->Label1->font();
    EXPECT_EQ(f.family(), "DejaVu Serif");
    EXPECT_EQ(f.pointSizeF(), 40);
    EXPECT_TRUE(f.bold() && f.italic() && f.underline());
    EXPECT_FALSE(f.strikeOut());
    // A stored delay below the minimum shows the minimum.
    s.SlideDelaySec = 0;
    open();
    EXPECT_EQ(w->SlideDelay->value(), 1);
}

TEST_F(SlideWindow, LaysOutTheDisplayAndTheControlsOnEveryResize) {
    for (const QSize size : {QSize(800, 600), QSize(1100, 760)}) {
        w->resize(size);
        w->show();
        QCoreApplication::processEvents();
        ASSERT_EQ(w->size(), size);
        EXPECT_EQ(w->Label1->x(), 0);
        EXPECT_EQ(w->Label1->width(), size.width());
        EXPECT_EQ(w->Label1->y(), size.height() / 4);
        EXPECT_EQ(w->Frame1->x(), (size.width() - w->Frame1->width()) / 2);
        EXPECT_EQ(w->Frame1->y(), size.height() - 2 * w->Frame1->height());
        EXPECT_LE(w->Label1->geometry().bottom(), w->Frame1->y()) << "the word stays clear";
    }
}

TEST_F(SlideWindow, TheDialogPicksTheFileAndTheCountSaysWordOrWords) {
    const QString three = wordFile("three.txt", "a\r\nb\rc\n");
    choose(three);
    ASSERT_EQ(dialogs.fileDialogs.size(), 1);
    const platform::FileDialogSpec& asked = dialogs.fileDialogs.first();
    EXPECT_EQ(asked.title, "Select A Word Text File");
    ASSERT_EQ(asked.filters.size(), 1);
    EXPECT_EQ(asked.filters[0].description, "Text File(*.txt)");
    EXPECT_EQ(asked.filters[0].pattern, "*.txt");
    EXPECT_EQ(asked.initialFolder, path());
    EXPECT_EQ(w->Text1->text(), three);
    EXPECT_EQ(program.win.SlideFolder, path() + "/");
    EXPECT_EQ(w->Label2->text(), "3 words");
    EXPECT_EQ(w->SlideCountText, "3 words");
    EXPECT_EQ(w->SlideWords, QStringList({"a", "b", "c"}));
    EXPECT_EQ(w->SlideCount, 3);
    EXPECT_EQ(w->SlidePos, 0);

    // The next dialog starts in the folder of the last choice.
    QDir().mkpath(path("lists"));
    choose(wordFile("lists/one.txt", "only"));
    EXPECT_EQ(dialogs.fileDialogs.last().initialFolder, path() + "/");
    EXPECT_EQ(program.win.SlideFolder, path("lists") + "/");
    EXPECT_EQ(w->Label2->text(), "1 word");
    EXPECT_EQ(w->SlideCount, 3) << "a list of one entry is not loaded at the choice";

    choose(wordFile("empty.txt", ""));
    EXPECT_EQ(w->Label2->text(), "0 word");
    EXPECT_EQ(w->SlideCountText, "0 word");

    // Cancel changes nothing.
    w->Command5_Click();
    EXPECT_EQ(w->Text1->text(), path("empty.txt"));
    EXPECT_EQ(w->Label2->text(), "0 word");
}

TEST_F(SlideWindow, EditIsForLowerCaseTxtFilesAndOpensThemWithTheDesktop) {
    struct Case {
        const char* text;
        bool enabled;
    } cases[] = {{"/w/list.txt", true},  {"  /w/list.txt  ", true}, {"/w/list.TXT", false},
                 {"/w/list.Txt", false}, {"/w/list.text", false},   {"", false}};
    for (const Case& c : cases) {
        w->Text1->setText(c.text);
        EXPECT_EQ(w->Command8->isEnabled(), c.enabled) << c.text;
    }
    w->Text1->setText("  /w/list.txt ");
    w->show();
    QTest::mouseClick(w->Command8, Qt::LeftButton);
    EXPECT_EQ(shell.opened, QStringList({"/w/list.txt"}));
}

TEST_F(SlideWindow, BeginChecksThePathTheFileAndTheCountFirst) {
    w->Command2_Click();
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0].text, "Please select a words file");
    EXPECT_EQ(dialogs.messages[0].title, "Sonorel");
    EXPECT_EQ(dialogs.messages[0].buttons, platform::MessageButtons::Ok);

    const QString missing = " " + path("none.txt") + " ";
    w->Text1->setText(missing);
    w->Command2_Click();
    EXPECT_EQ(dialogs.messages.last().text, missing + " does not exist");
    w->Text1->setText(path());
    w->Command2_Click();
    EXPECT_EQ(dialogs.messages.last().text, path() + " does not exist") << "a folder is no file";

    // A file chosen empty is reported without being read again.
    const QString file = wordFile("later.txt", "");
    choose(file);
    wordFile("later.txt", "now\nthere\nare words\n");
    w->Command2_Click();
    EXPECT_EQ(dialogs.messages.last().text, file + " has no word");
    EXPECT_FALSE(w->SlideRunning);
    EXPECT_EQ(dialogs.messages.size(), 4);
}

TEST_F(SlideWindow, APathTypedByHandIsReadAtBegin) {
    choose(wordFile("first.txt", "a\nb\n"));
    const QString typed = wordFile("typed.txt", "one\ntwo\nthree\nfour\n");
    w->Text1->setText(typed);
    EXPECT_EQ(w->Label2->text(), "2 words") << "the count waits for Begin";
    w->Command2_Click();
    EXPECT_TRUE(w->SlideRunning);
    EXPECT_EQ(w->Label2->text(), "4 words");
    EXPECT_EQ(w->SlideWords, QStringList({"one", "two", "three", "four"}));
}

TEST_F(SlideWindow, AOneLineFileSlidesItsOneWord) {
    choose(wordFile("one.txt", "lonely"));
    EXPECT_EQ(w->Label2->text(), "1 word");
    timers.act([&] { w->Command2_Click(); });
    timers.advanceTo(10000);
    ASSERT_EQ(ticks.size(), 2u);
    EXPECT_EQ(ticks[0], (Seen{100, "1 word/1", "lonely", 3}));
    EXPECT_EQ(ticks[1].status, 1);
}

TEST_F(SlideWindow, EmptyLinesAreShownAndSpokenAsEmptyWords) {
    choose(wordFile("gaps.txt", "first\r\n\r\nlast\r\n"));
    EXPECT_EQ(w->Label2->text(), "3 words");
    timers.act([&] { w->Command2_Click(); });
    timers.advanceTo(2100);
    EXPECT_EQ(w->Label1->text(), "");
    EXPECT_EQ(w->Label2->text(), "3 words/2");
}

TEST_F(SlideWindow, BeginWritesTheWindowIntoTheSettings) {
    choose(wordFile("w.txt", "a\nb\n"));
    w->Check1->setChecked(true);
    w->Check2->setChecked(true);
    w->SlideDelay->setValue(9);
    QFont f("DejaVu Sans", 50);
    f.setItalic(true);
    dialogs.answer(std::optional<platform::FontChoice>(platform::FontChoice{f, QColor(1, 2, 3)}));
    w->Command6_Click();
    dialogs.answer(std::optional<QColor>(QColor(10, 20, 30)));
    w->Command7_Click();
    EXPECT_EQ(program.win.SlideDelaySec, 2) << "nothing reaches the settings before Begin";
    w->Command2_Click();
    const WinSets& s = program.win;
    EXPECT_EQ(s.SlideFullWindow, 1);
    EXPECT_EQ(s.SlideRandom, 1);
    EXPECT_EQ(s.SlideDelaySec, 9);
    EXPECT_EQ(s.SlideBackColor, 10 | 20 << 8 | 30 << 16);
    EXPECT_EQ(s.SlideForeColor, 1 | 2 << 8 | 3 << 16);
    EXPECT_EQ(s.SlideFontName, "DejaVu Sans");
    EXPECT_EQ(s.SlideFontSize, "50");
    EXPECT_EQ(s.SlideFontBold, "False");
    EXPECT_TRUE(s.SlideFontItalic);
}

TEST_F(SlideWindow, FontAndColourDialogsApplyAtOnceAndCancelChangesNothing) {
    const QFont before = w->Label1->font();
    w->Command6_Click(); // cancelled
    w->Command7_Click(); // cancelled
    EXPECT_EQ(w->Label1->font(), before);
    EXPECT_EQ(dialogs.fontDialogs, 1);
    EXPECT_EQ(dialogs.colorDialogs, 1);
    const QColor back = w->palette().color(QPalette::Window);
    EXPECT_EQ(w->Label1->palette().color(QPalette::Window), back);

    QFont f("DejaVu Serif", 44);
    f.setUnderline(true);
    dialogs.answer(std::optional<platform::FontChoice>(platform::FontChoice{f, Qt::darkGreen}));
    w->Command6_Click();
    EXPECT_EQ(w->Label1->font().family(), "DejaVu Serif");
    EXPECT_TRUE(w->Label1->font().underline());
    EXPECT_EQ(w->Label1->palette().color(QPalette::WindowText), QColor(Qt::darkGreen));
    dialogs.answer(std::optional<QColor>(QColor(Qt::yellow)));
    w->Command7_Click();
    EXPECT_EQ(w->Label1->palette().color(QPalette::Window), QColor(Qt::yellow));
    EXPECT_EQ(w->palette().color(QPalette::Window), QColor(Qt::yellow));
}

TEST_F(SlideWindow, FullWindowHidesTheControlsAndADoubleClickTogglesThem) {
    choose(wordFile("w.txt", "a\nb\n"));
    w->show();
    QApplication::setActiveWindow(w.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    const QList<QWidget*> controls{
        w->Command1, w->Command2, w->Command3, w->Command4, w->Command5, w->Command6,   w->Command7,
        w->Command8, w->Text1,    w->Label2,   w->Check1,   w->Check2,   w->SlideDelay, w->Frame1};
    const auto allHidden = [&] {
        return std::all_of(controls.begin(), controls.end(),
                           [](QWidget* c) { return c->isHidden(); });
    };
    const auto noneHidden = [&] {
        return std::none_of(controls.begin(), controls.end(),
                            [](QWidget* c) { return c->isHidden(); });
    };
    // Not running: a double click does nothing.
    QTest::mouseDClick(w->Label1, Qt::LeftButton);
    EXPECT_TRUE(noneHidden());

    w->Check1->setChecked(true);
    w->Command2_Click();
    EXPECT_TRUE(allHidden());
    EXPECT_FALSE(w->Label1->isHidden());
    EXPECT_EQ(w->Label1->toolTip(), "Double click to restore default window");

    QTest::mouseDClick(w->Label1, Qt::LeftButton);
    EXPECT_TRUE(noneHidden());
    EXPECT_EQ(w->Label1->toolTip(), "Double click to resotre full window");
    QTest::mouseDClick(w.get(), Qt::LeftButton, {}, QPoint(5, 5)); // on the window itself
    EXPECT_TRUE(allHidden());
    EXPECT_EQ(w->Label1->toolTip(), "Double click to restore default window");
    // From the keyboard: the word display keeps the focus while all is hidden.
    EXPECT_EQ(w->focusWidget(), w->Label1);
    QTest::keyClick(w->Label1, Qt::Key_Return);
    EXPECT_TRUE(noneHidden());

    w->Command3_Click();
    EXPECT_TRUE(noneHidden());
    EXPECT_TRUE(w->Label1->toolTip().isEmpty());
    // Without "Full window" a run starts with the controls, and the toggle
    // still hides them.
    w->Check1->setChecked(false);
    w->Command2_Click();
    EXPECT_TRUE(noneHidden());
    EXPECT_TRUE(w->Label1->toolTip().isEmpty());
    w->Form_DblClick();
    EXPECT_TRUE(allHidden());
}

TEST_F(SlideWindow, AnEmptyFileFoundAtBeginBringsHiddenControlsBack) {
    choose(wordFile("w.txt", "a\nb\n"));
    w->Check1->setChecked(true);
    wordFile("w.txt", ""); // emptied in the editor meanwhile
    w->Command2_Click();
    EXPECT_EQ(dialogs.messages.last().text, path("w.txt") + " has no word");
    EXPECT_FALSE(w->SlideRunning);
    EXPECT_FALSE(w->Command2->isHidden());
    EXPECT_FALSE(w->Frame1->isHidden());
    EXPECT_EQ(w->Label2->text(), "0 word");
    EXPECT_TRUE(w->Label1->toolTip().isEmpty());
}

TEST_F(SlideWindow, ClosingWhileSlidingStopsAndKeepsTheSettingsForTheNextOpening) {
    choose(wordFile("w.txt", "a\nb\n"));
    w->SlideDelay->setValue(6);
    dialogs.answer(std::optional<QColor>(QColor(Qt::cyan)));
    w->Command7_Click();
    timers.act([&] { w->Command2_Click(); });
    timers.advanceTo(100);
    ASSERT_TRUE(w->SlideRunning);
    w->SlideDelay->setValue(8); // after Begin: only closing stores it
    w->show();
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(w->SlideRunning);
    EXPECT_FALSE(w->seriation->isRunning());
    EXPECT_EQ(program.win.SlideDelaySec, 8);
    EXPECT_EQ(program.win.SlideBackColor, 0xFFFF00); // cyan as 0x00BBGGRR

    open();
    EXPECT_EQ(w->SlideDelay->value(), 8);
    EXPECT_EQ(w->palette().color(QPalette::Window), QColor(Qt::cyan));
    EXPECT_TRUE(w->SlideWords.isEmpty());
    EXPECT_TRUE(w->SlideCountText.isEmpty());
}

TEST_F(SlideWindow, AWordTooLongForTheWindowShrinksInsteadOfRunningOffIt) {
    w->resize(w->minimumSize());
    w->show();
    QCoreApplication::processEvents();
    const QRect room = w->Label1->contentsRect();
    w->Label1->setText("short");
    EXPECT_EQ(w->Label1->shownFont(), w->Label1->font()) << "a word that fits keeps its size";
    const QString longWord = "Pneumonoultramicroscopicsilicovolcanoconiosis and more besides";
    w->Label1->setText(longWord);
    const QFont shown = w->Label1->shownFont();
    EXPECT_LT(shown.pointSizeF(), w->Label1->font().pointSizeF());
    EXPECT_LE(QFontMetricsF(shown).horizontalAdvance(longWord), room.width());
    EXPECT_EQ(w->Label1->font().pointSizeF(), 36) << "the chosen font stays as chosen";
    // Drawn: ink reaches neither edge of the display.
    QImage image(w->Label1->size(), QImage::Format_RGB32);
    w->Label1->render(&image);
    const QRgb back = image.pixel(0, 0);
    int left = image.width(), right = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != back) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    ASSERT_GE(right, 0) << "something is drawn";
    EXPECT_GT(left, 0);
    EXPECT_LT(right, image.width() - 1);
}

} // namespace
