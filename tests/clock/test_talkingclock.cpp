// The talking clock on a settable clock: which minutes are announced with which
// sentence, the bell before the voice, and announcements that fall due while a
// bell rings.

#include "clock/schedule.h"
#include "clock/talkingclock.h"
#include "clockreader.h"
#include "support/fakes.h"
#include "support/recordingmedia.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

namespace sonorel::test {
namespace {

using clock::TalkingClock;

const QDate kDay(2026, 3, 10);
const QString kBell = "/prog/bell.wav";

class TalkingClockTest : public ::testing::Test {
protected:
    void SetUp() override {
        program.clock = ClockSettings::defaults("/prog");
        startAt(QTime(8, 59, 10));
        reader.clock = &talking;
    }
    // The program starts: nothing in the start minute, intervals count from here.
    void startAt(const QTime& time) {
        clock.set(QDateTime(kDay, time));
        program.IntervalBase = clock.now();
        talking.LastSayStamp = clock::sayStamp(time);
    }
    // A tick of TimerSay at `when`; the sentence announced, empty for none. The
    // bell is checked to ring before the voice and to be closed after the wait.
    QString tickAt(const QDateTime& when) {
        clock.set(when);
        media.commands.clear();
        talking.TimerSay_Timer();
        if (!talking.BellWait->isRunning()) {
            EXPECT_TRUE(media.commands.isEmpty()) << media.commands.join('\n').toStdString();
            return {};
        }
        return finishBell(when.time().minute());
    }
    QString tickAt(const QTime& time) { return tickAt(QDateTime(kDay, time)); }
    QString finishBell(int minute) {
        const QString alias = "wav" + QString::number(minute);
        EXPECT_EQ(media.commands,
                  QStringList({"Open " + kBell + " ALIAS " + alias + " TYPE Waveaudio wait",
                               "Play " + alias}));
        EXPECT_EQ(talking.BellWait->interval(), TalkingClock::kBellWait);
        const QString before4 = reader.gen4.synth->spoken(), before5 = reader.gen5.synth->spoken();
        EXPECT_EQ(before4 + before5, spokenSoFar) << "spoke before the bell wait ended";
        talking.BellWait_Timer();
        EXPECT_EQ(media.commands.last(), "Close " + alias);
        EXPECT_FALSE(talking.BellWait->isRunning());
        const QString said = reader.spokenAfter(before4, before5);
        spokenSoFar += said;
        return said;
    }

    FakeClock clock;
    app::Program program;
    RecordingMediaControl media;
    ClockReader reader;
    TalkingClock talking{clock, program, reader, media};
    QString spokenSoFar;
};

TEST(ClockRules, StampsSentencesAndCalendarMinutes) {
    EXPECT_EQ(clock::sayStamp(QTime(15, 30)), "1530");
    EXPECT_EQ(clock::sayStamp(QTime(9, 5)), "95");
    EXPECT_EQ(clock::sayStamp(QTime(0, 0)), "00");
    const ClockSettings s = ClockSettings::defaults("/p");
    EXPECT_EQ(clock::shortSentence(s, QTime(9, 0)), "The time is 9 o'clock");
    EXPECT_EQ(clock::fullSentence(s, QTime(15, 30)), "The time is 15 o'clock 30 minute");
    // Boundaries crossed, not elapsed time rounded.
    EXPECT_EQ(clock::calendarMinutes(QDateTime(kDay, QTime(10, 3, 59)),
                                     QDateTime(kDay, QTime(10, 13, 0))),
              10);
    EXPECT_EQ(clock::calendarMinutes(QDateTime(kDay, QTime(10, 3, 0)),
                                     QDateTime(kDay, QTime(10, 12, 59))),
              9);
    EXPECT_EQ(clock::calendarMinutes(QDateTime(kDay, QTime(23, 59, 59)),
                                     QDateTime(kDay.addDays(1), QTime(0, 0, 0))),
              1);
    EXPECT_EQ(clock::calendarMinutes(QDateTime(kDay, QTime(11, 0)), QDateTime(kDay, QTime(10, 0))),
              -60);
}

TEST_F(TalkingClockTest, DefaultsSayTheHourShortAndTheQuartersInFull) {
    QMap<QString, QString> said;
    for (QDateTime t(kDay, QTime(9, 0, 5)); t <= QDateTime(kDay, QTime(10, 0, 5));
         t = t.addSecs(60))
        if (const QString s = tickAt(t); !s.isEmpty())
            said.insert(t.time().toString("HH:mm"), s);
    EXPECT_EQ(said, (QMap<QString, QString>{{"09:00", "The time is 9 o'clock"},
                                            {"09:15", "The time is 9 o'clock 15 minute"},
                                            {"09:30", "The time is 9 o'clock 30 minute"},
                                            {"09:45", "The time is 9 o'clock 45 minute"},
                                            {"10:00", "The time is 10 o'clock"}}));
}

TEST_F(TalkingClockTest, HourlyAlarmAtMinuteZeroDefersToTheHourRule) {
    program.clock.HalfOn = program.clock.QuarterOn = 0;
    program.clock.HourlyOn = 1;
    program.clock.HourlyMinute = 0;
    EXPECT_EQ(tickAt(QTime(10, 0, 5)), "The time is 10 o'clock");
    EXPECT_EQ(tickAt(QTime(10, 30, 5)), "");
    // Without "Hour" the hourly alarm speaks the full sentence, minute 0.
    program.clock.HourOn = 0;
    EXPECT_EQ(tickAt(QTime(11, 0, 5)), "The time is 11 o'clock 0 minute");
}

TEST_F(TalkingClockTest, DailyAlarmAtHalfPastIsOneAnnouncement) {
    program.clock.DailyOn = 1;
    program.clock.DailyHour = 12;
    program.clock.DailyMinute = 30;
    EXPECT_EQ(tickAt(QTime(12, 29, 30)), "");
    EXPECT_EQ(tickAt(QTime(12, 30, 5)), "The time is 12 o'clock 30 minute");
    EXPECT_EQ(tickAt(QTime(12, 30, 55)), "");
    EXPECT_EQ(tickAt(QTime(12, 31, 45)), "");
    // The same alarm without "Half" still comes, from its own rule.
    program.clock.HalfOn = program.clock.QuarterOn = 0;
    EXPECT_EQ(tickAt(QDateTime(kDay.addDays(1), QTime(12, 30, 5))),
              "The time is 12 o'clock 30 minute");
}

TEST_F(TalkingClockTest, IntervalSavedAtThreePastFiresEveryTenMinutes) {
    program.clock.HourOn = program.clock.HalfOn = program.clock.QuarterOn = 0;
    program.clock.IntervalOn = 1;
    program.clock.IntervalMinutes = 10;
    program.IntervalBase = QDateTime(kDay, QTime(10, 3, 59)); // saved then
    QStringList at;
    // Ticks 50 s apart, as TimerSay's, from the save on.
    for (QDateTime t(kDay, QTime(10, 3, 59)); t <= QDateTime(kDay, QTime(10, 34, 0));
         t = t.addMSecs(TalkingClock::kSayInterval))
        if (const QString s = tickAt(t); !s.isEmpty())
            at << t.time().toString("HH:mm") + " " + s;
    EXPECT_EQ(at, QStringList({"10:13 The time is 10 o'clock 13 minute",
                               "10:23 The time is 10 o'clock 23 minute",
                               "10:33 The time is 10 o'clock 33 minute"}));
}

TEST_F(TalkingClockTest, IntervalOfZeroOrLessNeverFires) {
    program.clock.HourOn = program.clock.HalfOn = program.clock.QuarterOn = 0;
    program.clock.IntervalOn = 1;
    for (const int minutes : {0, -5}) {
        program.clock.IntervalMinutes = minutes;
        for (int m = 1; m < 12; ++m)
            EXPECT_EQ(tickAt(QTime(9, m, 5)), "") << minutes;
    }
}

TEST_F(TalkingClockTest, TwoTicksInOneMinuteAnnounceOnce) {
    EXPECT_EQ(tickAt(QTime(15, 30, 5)), "The time is 15 o'clock 30 minute");
    EXPECT_EQ(talking.LastSayStamp, "1530");
    EXPECT_EQ(tickAt(QTime(15, 30, 55)), "");
}

TEST_F(TalkingClockTest, NothingInTheStartMinute) {
    startAt(QTime(15, 30, 2));
    EXPECT_EQ(tickAt(QTime(15, 30, 52)), "");
    EXPECT_EQ(tickAt(QTime(15, 31, 42)), "");
    EXPECT_EQ(tickAt(QTime(15, 45, 1)), "The time is 15 o'clock 45 minute");
}

TEST_F(TalkingClockTest, FailedAnnouncementStillAdvancesTheStamp) {
    // A broken media interpreter: the bell fails, the sentence is still spoken.
    media.broken = true;
    clock.set(QDateTime(kDay, QTime(15, 30, 5)));
    talking.TimerSay_Timer();
    EXPECT_EQ(talking.LastSayStamp, "1530");
    ASSERT_TRUE(talking.BellWait->isRunning());
    talking.BellWait_Timer();
    EXPECT_EQ(reader.spokenAfter({}, {}), "The time is 15 o'clock 30 minute");
    // Not repeated within the minute.
    clock.set(QDateTime(kDay, QTime(15, 30, 55)));
    talking.TimerSay_Timer();
    EXPECT_FALSE(talking.BellWait->isRunning());
    // No usable voice: nothing announced, the stamp moves on all the same.
    media.broken = false;
    reader.gen = 0;
    clock.set(QDateTime(kDay, QTime(15, 45, 5)));
    media.commands.clear();
    talking.TimerSay_Timer();
    EXPECT_EQ(talking.LastSayStamp, "1545");
    EXPECT_FALSE(talking.BellWait->isRunning());
    EXPECT_TRUE(media.commands.isEmpty());
}

TEST_F(TalkingClockTest, EachGenerationSpeaksThroughItsOwnClockVoice) {
    reader.gen = 4;
    tickAt(QTime(9, 15, 5));
    EXPECT_EQ(reader.gen4.synth->spoken(), "The time is 9 o'clock 15 minute");
    EXPECT_EQ(reader.gen5.synth->spoken(), "");
    reader.gen = 5;
    tickAt(QTime(9, 30, 5));
    EXPECT_EQ(reader.gen4.synth->spoken(), "The time is 9 o'clock 15 minute");
    EXPECT_EQ(reader.gen5.synth->spoken(), "The time is 9 o'clock 30 minute");
}

TEST_F(TalkingClockTest, ClockSetBackOrForwardAnnouncesEachMinuteOnceAtMost) {
    program.clock.IntervalOn = 1;
    program.clock.IntervalMinutes = 10;
    program.IntervalBase = QDateTime(kDay, QTime(15, 3, 0));
    QMap<QString, int> bells; // stamp -> announcements
    QStringList order;
    const auto run = [&](QTime from, QTime to) {
        // Ticks 10 s apart: more often than TimerSay's, as after a resume.
        for (QDateTime t(kDay, from); t <= QDateTime(kDay, to); t = t.addSecs(10)) {
            const QString s = tickAt(t);
            if (!s.isEmpty()) {
                ++bells[t.time().toString("HH:mm")];
                order << t.time().toString("HH:mm");
            }
        }
    };
    run(QTime(15, 58, 0), QTime(16, 0, 30)); // the hour, then the clock goes back
    run(QTime(15, 0, 0), QTime(15, 16, 0));  // an hour back: 15:00, 15:13 (interval), 15:15
    run(QTime(18, 7, 0), QTime(18, 8, 0));   // and forward (a resume): 18:03 + 5 minutes
    for (auto it = bells.cbegin(); it != bells.cend(); ++it)
        EXPECT_EQ(it.value(), 1) << it.key().toStdString();
    EXPECT_EQ(order, QStringList({"16:00", "15:00", "15:13", "15:15"}));
}

TEST_F(TalkingClockTest, AnnouncementDueDuringABellWaitRunsAfterIt) {
    clock.set(QDateTime(kDay, QTime(15, 30, 5)));
    talking.TimerSay_Timer();
    ASSERT_TRUE(talking.BellWait->isRunning());
    // The settings window's test comes due while the bell rings.
    program.TestBellFile = "/other/ding.wav";
    program.TestSentence = "Test sentence";
    talking.TimerSayTest_Timer();
    EXPECT_EQ(talking.TimerSayTest->interval(), 0);
    EXPECT_EQ(media.commands,
              QStringList({"Open /prog/bell.wav ALIAS wav30 TYPE Waveaudio wait", "Play wav30"}))
        << "the ringing bell was touched";
    talking.BellWait_Timer();
    EXPECT_EQ(reader.spokenAfter({}, {}), "The time is 15 o'clock 30 minute");
    // The test's bell follows at once, and its sentence after its own wait.
    EXPECT_EQ(media.commands.mid(2), QStringList({"Close wav30",
                                                  "Open /other/ding.wav ALIAS wav30 TYPE "
                                                  "Waveaudio wait",
                                                  "Play wav30"}));
    ASSERT_TRUE(talking.BellWait->isRunning());
    const QString before = reader.gen4.synth->spoken();
    talking.BellWait_Timer();
    EXPECT_EQ(reader.spokenAfter(before, {}), "Test sentence");
    EXPECT_EQ(media.commands.last(), "Close wav30");
    EXPECT_FALSE(talking.isAnnouncing());
}

// The bell wait on its real timer: the handler returns while the bell rings, so
// the window's events run, and the voice starts only after the wait.
TEST_F(TalkingClockTest, BellWaitKeepsEventsRunningAndThenSpeaks) {
    program.TestBellFile = kBell;
    program.TestSentence = "Bell first";
    reader.startTimerSayTest();
    ASSERT_TRUE(spinUntil([&] { return !media.commands.isEmpty(); }));
    // Back from the tick with the bell still open and nothing spoken.
    EXPECT_EQ(media.commands,
              QStringList({"Open " + kBell + " ALIAS wav59 TYPE Waveaudio wait", "Play wav59"}));
    bool otherEventRan = false;
    QTimer::singleShot(0, [&] { otherEventRan = true; });
    ASSERT_TRUE(spinUntil([&] { return otherEventRan; }));
    EXPECT_EQ(media.commands.size(), 2) << "the bell closed before other events could run";
    EXPECT_EQ(reader.gen4.synth->spoken(), "");
    ASSERT_TRUE(spinUntil([&] { return !reader.gen4.synth->spoken().isEmpty(); }));
    EXPECT_EQ(media.commands.last(), "Close wav59");
    EXPECT_EQ(reader.spokenAfter({}, {}), "Bell first");
}

// The real interpreter with a bell that is missing, and one that is no sound.
TEST_F(TalkingClockTest, MissingOrUnplayableBellStillSaysTheTime) {
    platform::SystemMediaControl real(
        platform::speech::makeSinkFactory(platform::speech::AudioMode::Silent, "test"));
    TalkingClock withRealMedia{clock, program, reader, real};
    QTemporaryDir dir;
    QFile text(dir.filePath("bell.wav"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("this is no sound file\n");
    text.close();
    QString before;
    for (const QString& bell : {dir.filePath("missing.wav"), dir.filePath("bell.wav")}) {
        program.TestBellFile = bell;
        program.TestSentence = "Time " + QString::number(bell.size());
        withRealMedia.TimerSayTest_Timer();
        ASSERT_TRUE(withRealMedia.BellWait->isRunning());
        withRealMedia.BellWait_Timer();
        EXPECT_EQ(reader.spokenAfter(before, {}), program.TestSentence);
        before = reader.gen4.synth->spoken();
    }
}

} // namespace
} // namespace sonorel::test
