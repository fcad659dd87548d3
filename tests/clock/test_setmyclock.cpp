// The clock settings window over doubles: what it shows, the nesting of its check
// boxes, its digit-only alarm entries, what a save writes, the bell dialog and the
// test command.

#include "app/services.h"
#include "clock/setmyclock.h"
#include "clockreader.h"
#include "platform/speech/audiosink.h"
#include "support/fakes.h"
#include "support/memoryregistry.h"
#include "support/recordingmedia.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>
#include <QAccessible>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace sonorel::test {
namespace {

using clock::setmyclock;

class SetMyClockTest : public TempDirTest {
public: // the doubles are named as the services they stand for (servicesOf)
    FakeProgramFolder folder{path()};
    MemoryRegistryStore registry;
    ScriptedDialogs dialogs;
    FakeClock clock{QDateTime(QDate(2026, 3, 10), QTime(15, 7, 42))};
    FakeLauncher processes;
    RecordingShellOpener shell;
    FakeTempFolder temp{path()};
    ScriptedFamily gen4, gen5;
    RecordingMediaControl media;
    app::Services services = app::servicesOf(
        *this, platform::speech::makeSinkFactory(platform::speech::AudioMode::Fast, "t"));
    app::Program program;
    ClockReader reader;
    std::unique_ptr<setmyclock> w;

protected:
    void SetUp() override {
        TempDirTest::SetUp();
        program.clock = ClockSettings::defaults(path());
        QFile bell(path("bell.wav"));
        ASSERT_TRUE(bell.open(QIODevice::WriteOnly));
        bell.write("RIFF");
    }
    void open() {
        w = std::make_unique<setmyclock>(services, program, reader);
        w->show();
    }
    // The window system hands the window the activation.
    void activate() {
        QEvent activation(QEvent::WindowActivate);
        QCoreApplication::sendEvent(w.get(), &activation);
    }
    QByteArray stimeIni() const {
        QFile f(path("stime.ini"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static bool white(QLineEdit* e) {
        return e->palette().color(QPalette::Base) == QColor(0xFFFFFF);
    }
    static bool grey(QLineEdit* e) {
        return e->palette().color(QPalette::Base) == QColor(0xE0E0E0);
    }
};

TEST_F(SetMyClockTest, FirstOpeningShowsTheDefaults) {
    open();
    EXPECT_EQ(w->windowTitle(), "Set Alarm Clock - Sonorel");
    EXPECT_TRUE(w->Check1->isChecked() && w->Check2->isChecked() && w->Check3->isChecked());
    EXPECT_FALSE(w->Check4->isChecked() || w->Check5->isChecked() || w->Check6->isChecked());
    EXPECT_EQ(w->Text1->text(), "The time is");
    EXPECT_EQ(w->Text2->text(), "o'clock");
    EXPECT_EQ(w->Text3->text(), "minute");
    EXPECT_EQ(w->Text4->text(), path() + "/bell.wav");
    for (QLineEdit* e : {w->Text5, w->Text6, w->Text7, w->Text8}) {
        EXPECT_EQ(e->text(), "");
        EXPECT_FALSE(e->isEnabled());
        EXPECT_TRUE(grey(e));
    }
    EXPECT_EQ(w->LabelHour->text(), "15");
    EXPECT_EQ(w->LabelMinute->text(), "7");
    EXPECT_TRUE(w->LabelNow->text().contains("42")) << w->LabelNow->text().toStdString();
    // The labels follow the clock every second.
    clock.set(QDateTime(QDate(2026, 3, 10), QTime(16, 0, 1)));
    w->Timer1_Timer();
    EXPECT_EQ(w->LabelHour->text(), "16");
    EXPECT_EQ(w->LabelMinute->text(), "0");
    EXPECT_EQ(w->Timer1->interval(), 1000);
}

TEST_F(SetMyClockTest, StoredAlarmsShowWithUnsetValuesEmpty) {
    ClockSettings& s = program.clock;
    s.HourOn = 1, s.HalfOn = 0, s.QuarterOn = 1; // inconsistent on disk: Quarter pulls Half on
    s.IntervalOn = 1, s.IntervalMinutes = 25;
    s.HourlyOn = 1, s.HourlyMinute = 75; // never matches, shows empty
    s.DailyOn = 0, s.DailyHour = 7, s.DailyMinute = 70;
    open();
    EXPECT_TRUE(w->Check1->isChecked() && w->Check2->isChecked() && w->Check3->isChecked());
    EXPECT_TRUE(w->Check4->isChecked());
    EXPECT_EQ(w->Text5->text(), "25");
    EXPECT_TRUE(w->Text5->isEnabled());
    EXPECT_TRUE(grey(w->Text5)) << "white only once the user switches it on";
    EXPECT_TRUE(w->Check5->isChecked());
    EXPECT_EQ(w->Text6->text(), "");
    EXPECT_FALSE(w->Check6->isChecked());
    EXPECT_EQ(w->Text7->text(), "7");
    EXPECT_EQ(w->Text8->text(), "");
    EXPECT_FALSE(w->Text7->isEnabled());
}

TEST_F(SetMyClockTest, CheckBoxesKeepQuarterWithinHalfWithinHour) {
    open();
    w->Check2->click(); // Half off: Quarter off, Hour stays
    EXPECT_TRUE(w->Check1->isChecked());
    EXPECT_FALSE(w->Check2->isChecked());
    EXPECT_FALSE(w->Check3->isChecked());
    w->Check3->click(); // Quarter on: Hour and Half on
    EXPECT_TRUE(w->Check1->isChecked() && w->Check2->isChecked() && w->Check3->isChecked());
    w->Check1->click(); // Hour off: both others off
    EXPECT_FALSE(w->Check1->isChecked() || w->Check2->isChecked() || w->Check3->isChecked());
    w->Check2->click(); // Half on: Hour on, Quarter stays off
    EXPECT_TRUE(w->Check1->isChecked() && w->Check2->isChecked());
    EXPECT_FALSE(w->Check3->isChecked());
    w->Check3->click(); // Quarter off alone: the others stay
    w->Check3->click();
    EXPECT_TRUE(w->Check1->isChecked() && w->Check2->isChecked());
    EXPECT_FALSE(w->Check3->isChecked());
}

TEST_F(SetMyClockTest, AlarmCheckBoxesOpenTheirEntries) {
    open();
    activate();
    w->Check6->click();
    EXPECT_TRUE(w->Text7->isEnabled() && w->Text8->isEnabled());
    EXPECT_TRUE(white(w->Text7) && white(w->Text8));
    EXPECT_EQ(w->focusWidget(), w->Text7);
    w->Check4->click();
    EXPECT_TRUE(w->Text5->isEnabled() && white(w->Text5));
    EXPECT_EQ(w->focusWidget(), w->Text5);
    w->Check6->click();
    EXPECT_FALSE(w->Text7->isEnabled() || w->Text8->isEnabled());
    EXPECT_TRUE(grey(w->Text7) && grey(w->Text8));
    // Before the first activation no focus is moved.
    program.clock.HourlyOn = 0;
    open();
    ASSERT_FALSE(w->activated());
    w->Check5->click();
    EXPECT_TRUE(w->Text6->isEnabled());
    EXPECT_NE(w->focusWidget(), w->Text6);
}

TEST_F(SetMyClockTest, AlarmEntriesTakeDigitsAndBackspaceOnly) {
    open();
    w->Check4->click();
    QTest::keyClicks(w->Text5, "1a2 -3.x");
    EXPECT_EQ(w->Text5->text(), "123");
    QTest::keyClick(w->Text5, Qt::Key_Backspace);
    EXPECT_EQ(w->Text5->text(), "12");
    QTest::keyClick(w->Text5, Qt::Key_Home);
    QTest::keyClick(w->Text5, Qt::Key_Delete); // editing keys keep their work
    EXPECT_EQ(w->Text5->text(), "2");
    // Pasted text is held to digits too.
    QGuiApplication::clipboard()->setText("7x");
    w->Text5->paste();
    EXPECT_EQ(w->Text5->text(), "2");
    QGuiApplication::clipboard()->setText("45");
    w->Text5->paste();
    EXPECT_EQ(w->Text5->text(), "452") << "pasted where the caret stood";
    // The sentence words take any text.
    w->Text2->clear();
    QTest::keyClicks(w->Text2, "Uhr!");
    EXPECT_EQ(w->Text2->text(), "Uhr!");
}

TEST_F(SetMyClockTest, SaveStoresEmptyAlarmsUnsetAndSwitchesThemOff) {
    open();
    w->Check4->click();
    w->Check5->click();
    w->Check6->click();
    w->Text7->setText("12"); // the daily alarm needs both entries
    w->Text1->setText("  It is now ");
    w->Command1_Click();
    const ClockSettings& s = program.clock;
    EXPECT_EQ(s.SentenceStart, "It is now");
    EXPECT_EQ(std::tuple(s.IntervalOn, s.IntervalMinutes), std::tuple(0, 0));
    EXPECT_EQ(std::tuple(s.HourlyOn, s.HourlyMinute), std::tuple(0, 70));
    EXPECT_EQ(std::tuple(s.DailyOn, s.DailyHour, s.DailyMinute), std::tuple(0, 25, 70));
    EXPECT_FALSE(w->Check4->isChecked() || w->Check5->isChecked() || w->Check6->isChecked());
    EXPECT_EQ(decodeRecord<ClockSettings>(stimeIni()), s);
    EXPECT_EQ(program.IntervalBase, clock.now());
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(SetMyClockTest, SaveStoresFilledAlarmsAndTwoSavesAreByteIdentical) {
    open();
    w->Check4->click();
    QTest::keyClicks(w->Text5, "10");
    w->Check5->click();
    QTest::keyClicks(w->Text6, "75"); // stored as it is, never matches
    w->Check6->click();
    QTest::keyClicks(w->Text7, "7");
    QTest::keyClicks(w->Text8, "05");
    w->Command1_Click();
    const QByteArray first = stimeIni();
    const ClockSettings& s = program.clock;
    EXPECT_EQ(std::tuple(s.IntervalOn, s.IntervalMinutes), std::tuple(1, 10));
    EXPECT_EQ(std::tuple(s.HourlyOn, s.HourlyMinute), std::tuple(1, 75));
    EXPECT_EQ(std::tuple(s.DailyOn, s.DailyHour, s.DailyMinute), std::tuple(1, 7, 5));
    // Three integers, four counted texts, seven integers.
    const int bellBytes = int((path() + "/bell.wav").toUtf8().size());
    EXPECT_EQ(first.size(), 12 + (2 + 11) + (2 + 7) + (2 + 6) + (2 + bellBytes) + 28);
    clock.advanceSeconds(90);
    w->Command1_Click();
    EXPECT_EQ(stimeIni(), first);
    EXPECT_EQ(program.IntervalBase, clock.now());
    // Opened again, the hourly alarm is on with an empty entry.
    open();
    EXPECT_TRUE(w->Check5->isChecked());
    EXPECT_EQ(w->Text6->text(), "");
    EXPECT_EQ(w->Text8->text(), "5");
}

TEST_F(SetMyClockTest, NumberTooLargeKeepsTheOldValue) {
    program.clock.IntervalOn = 1;
    program.clock.IntervalMinutes = 15;
    open();
    w->Text5->setText("99999999999");
    w->Command1_Click();
    EXPECT_EQ(program.clock.IntervalMinutes, 15);
    EXPECT_EQ(program.clock.IntervalOn, 1);
    EXPECT_FALSE(stimeIni().isEmpty()) << "the other steps still run";
}

TEST_F(SetMyClockTest, MissingBellStopsTheSaveAndChangesNothing) {
    open();
    const ClockSettings before = program.clock;
    w->Text4->setText(path("nothing.wav"));
    w->Check1->click();
    w->Command1_Click();
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0].text, "Bell file is not exists");
    EXPECT_EQ(dialogs.messages[0].title, "Sonorel");
    EXPECT_EQ(dialogs.messages[0].buttons, platform::MessageButtons::Ok);
    EXPECT_EQ(program.clock, before);
    EXPECT_FALSE(QFile::exists(path("stime.ini")));
    // Surrounding blanks are no part of the name.
    w->Text4->setText("  " + path("bell.wav") + " ");
    w->Command1_Click();
    EXPECT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(program.clock.BellFile, path("bell.wav"));
}

TEST_F(SetMyClockTest, BellDialogPutsTheChosenFileInTheBox) {
    program.win.OpenFolder = "/home/user/texts";
    open();
    dialogs.answer(std::optional<platform::FileChoice>({"/sounds/gong.mid", 2}));
    w->Command3->click();
    ASSERT_EQ(dialogs.fileDialogs.size(), 1);
    const platform::FileDialogSpec& asked = dialogs.fileDialogs[0];
    EXPECT_EQ(asked.title, "Select A File");
    ASSERT_EQ(asked.filters.size(), 2);
    EXPECT_EQ(asked.filters[0].description, "Wav file (*.wav)");
    EXPECT_EQ(asked.filters[0].pattern, "*.wav");
    EXPECT_EQ(asked.filters[1].description, "Mid file (*.mid)");
    EXPECT_EQ(asked.filters[1].pattern, "*.mid");
    EXPECT_EQ(asked.initialFolder, "/home/user/texts");
    EXPECT_EQ(w->Text4->text(), "/sounds/gong.mid");
    EXPECT_EQ(program.clock.BellFile, path() + "/bell.wav") << "nothing saved yet";
    // Cancelled, or a name longer than the dialog's buffer: the box keeps its text.
    w->Command3->click();
    dialogs.answer(std::optional<platform::FileChoice>({"/" + QString(300, 'a') + ".wav", 1}));
    w->Command3->click();
    EXPECT_EQ(w->Text4->text(), "/sounds/gong.mid");
}

TEST_F(SetMyClockTest, TestCommandTakesWhatTheWindowShows) {
    open();
    w->Text1->setText(" Es ist ");
    w->Text2->setText("Uhr");
    w->Text3->setText("");
    w->Command4->click();
    EXPECT_EQ(program.TestSentence, "Es ist 15 Uhr 7 ");
    EXPECT_EQ(program.TestBellFile, path() + "/bell.wav");
    EXPECT_EQ(reader.testsStarted, 1);
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_EQ(program.clock.SentenceStart, "The time is") << "a test saves nothing";
    // A missing bell is reported, after the test was started.
    w->Text4->setText(" /nowhere/bell.wav");
    w->Command4->click();
    EXPECT_EQ(reader.testsStarted, 2);
    EXPECT_EQ(program.TestBellFile, "/nowhere/bell.wav");
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0].text, "Bell file is not exists");
}

TEST_F(SetMyClockTest, CloseDropsUnsavedEdits) {
    open();
    w->Text1->setText("Changed");
    w->Command2->click();
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(program.clock.SentenceStart, "The time is");
    open();
    EXPECT_EQ(w->Text1->text(), "The time is");
}

TEST_F(SetMyClockTest, EveryControlIsNamedAndReachedByTab) {
    open();
    QList<QWidget*> controls;
    for (QWidget* c : w->findChildren<QWidget*>())
        if (qobject_cast<QCheckBox*>(c) || qobject_cast<QLineEdit*>(c) ||
            qobject_cast<QPushButton*>(c))
            controls << c;
    EXPECT_EQ(controls.size(), 6 + 8 + 4);
    for (QWidget* c : controls) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(c);
        ASSERT_TRUE(a);
        EXPECT_FALSE(a->text(QAccessible::Name).trimmed().isEmpty())
            << c->metaObject()->className();
        EXPECT_FALSE(c->toolTip().isEmpty());
    }
    EXPECT_EQ(QAccessible::queryAccessibleInterface(w->Text5)->text(QAccessible::Name),
              "Alarm interval in minutes");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(w->Text1)->text(QAccessible::Name),
              "Sound sentence");
    // Tab from the first control visits every enabled one, in the layout's order.
    for (QCheckBox* c : {w->Check4, w->Check5, w->Check6})
        c->click();
    QList<QWidget*> order;
    QWidget* at = w->Check1;
    for (int i = 0; i < 40 && !order.contains(at); ++i) {
        order << at;
        at = at->nextInFocusChain();
        while (!(at->focusPolicy() & Qt::TabFocus) || !at->isEnabled())
            at = at->nextInFocusChain();
    }
    for (QWidget* c : controls)
        EXPECT_TRUE(order.contains(c)) << c->accessibleName().toStdString();
    EXPECT_LT(order.indexOf(w->Text1), order.indexOf(w->Text4));
    EXPECT_LT(order.indexOf(w->Text4), order.indexOf(w->Check4));
    EXPECT_LT(order.indexOf(w->Check6), order.indexOf(w->Command1));
}

} // namespace
} // namespace sonorel::test
