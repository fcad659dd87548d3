// The timed run on a virtual clock: when each word comes, pause and resume, the
// delay slider, stepping by hand, random order, and a voice generation that
// speaks nothing.

#include "slidefixture.h"
#include "slides/worddisplay.h"
#include "support/spin.h"

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

using namespace sonorel::test;
using Seen = SlideTest::Seen;

namespace {

class SlideTiming : public SlideTest {
protected:
    void SetUp() override {
        SlideTest::SetUp();
        choose(wordFile("three.txt", "alpha\r\nbeta\r\ngamma\r\n"));
    }
    void begin() {
        timers.act([&] { w->Command2_Click(); });
    }
};

TEST_F(SlideTiming, ThreeEntriesComeAtATenthOfASecondThenEveryStepAndTheRunEnds) {
    w->SlideDelay->setValue(2);
    begin();
    EXPECT_FALSE(w->Command2->isEnabled());
    EXPECT_TRUE(w->Command3->isEnabled() && w->Command4->isEnabled());
    EXPECT_FALSE(w->Command5->isEnabled() || w->Command8->isEnabled());
    EXPECT_TRUE(w->Text1->isReadOnly());
    EXPECT_FALSE(w->Check1->isEnabled() || w->Check2->isEnabled());
    timers.advanceTo(20000);
    const std::vector<Seen> expected{{100, "3 words/1", "alpha", 3},
                                     {2100, "3 words/2", "beta", 3},
                                     {4100, "3 words/3", "gamma", 3},
                                     {6100, "3 words/3", "gamma", 1}};
    EXPECT_EQ(ticks, expected);
    // Idle again, with the last word and progress left standing.
    EXPECT_FALSE(w->SlideRunning);
    EXPECT_TRUE(w->Command2->isEnabled() && w->Command5->isEnabled() && w->Command8->isEnabled());
    EXPECT_FALSE(w->Command3->isEnabled() || w->Command4->isEnabled());
    EXPECT_FALSE(w->Text1->isReadOnly());
    EXPECT_TRUE(w->Check1->isEnabled() && w->Check2->isEnabled());
    EXPECT_EQ(w->SlidePos, 4);
    EXPECT_EQ(w->seriation->interval(), 0);
    EXPECT_EQ(w->random->armings(), 0u) << "only the run's own timer runs";
}

TEST_F(SlideTiming, WordsAreSpokenByTheCurrentGenerationsClockVoice) {
    begin();
    timers.advanceTo(4100);
    EXPECT_EQ(spokenBy(5, 3), QStringList({"alpha", "beta", "gamma"}));
    EXPECT_TRUE(gen4.spoken().isEmpty());
    timers.act([&] { w->Command3_Click(); });

    reader->gen = 4;
    gen5.clear();
    begin();
    timers.advanceTo(timers.now() + 2100);
    EXPECT_EQ(spokenBy(4, 2), QStringList({"alpha", "beta"}));
    EXPECT_TRUE(gen5.spoken().isEmpty());
}

TEST_F(SlideTiming, ResumingAfterALongPauseBringsTheNextWordATenthOfASecondLater) {
    begin();
    timers.advanceTo(1000);
    timers.act([&] { w->Command4_Click(); });
    EXPECT_EQ(w->Command4->text(), "Res&ume");
    EXPECT_EQ(w->SlideStatus, 2);
    EXPECT_TRUE(w->SlideRunning);
    timers.advanceTo(11000); // ten seconds of pause: nothing comes
    timers.act([&] { w->Command4_Click(); });
    EXPECT_EQ(w->Command4->text(), "Pa&use");
    EXPECT_EQ(w->SlideStatus, 3);
    timers.advanceTo(20000);
    const std::vector<Seen> expected{{100, "3 words/1", "alpha", 3},
                                     {11100, "3 words/2", "beta", 3},
                                     {13100, "3 words/3", "gamma", 3},
                                     {15100, "3 words/3", "gamma", 1}};
    EXPECT_EQ(ticks, expected);
}

TEST_F(SlideTiming, TheSliderChangesOnlyTheWaitInProgress) {
    w->SlideDelay->setValue(2);
    begin();
    timers.advanceTo(1000);
    timers.act([&] { w->SlideDelay->setValue(5); });
    timers.advanceTo(20000);
    const std::vector<Seen> expected{{100, "3 words/1", "alpha", 3},
                                     {6000, "3 words/2", "beta", 3},
                                     {8000, "3 words/3", "gamma", 3},
                                     {10000, "3 words/3", "gamma", 1}};
    EXPECT_EQ(ticks, expected);
    EXPECT_EQ(w->SlideStepMs, 2000);
}

TEST_F(SlideTiming, TheSliderDuringAPauseKeepsThePause) {
    begin();
    timers.advanceTo(100);
    timers.act([&] { w->Command4_Click(); });
    timers.act([&] { w->SlideDelay->setValue(3); });
    timers.advanceTo(10000);
    // The re-armed timer ticks once, finds the pause and stops.
    ASSERT_EQ(ticks.size(), 2u);
    EXPECT_EQ(ticks[1], (Seen{3100, "3 words/1", "alpha", 2}));
    EXPECT_EQ(w->seriation->interval(), 0);
}

TEST_F(SlideTiming, TheSliderWhileIdleArmsNothing) {
    timers.act([&] { w->SlideDelay->setValue(4); });
    EXPECT_FALSE(w->seriation->isRunning() || w->random->isRunning());
}

TEST_F(SlideTiming, NextAndPreviousStepInListOrderAndStopAtTheEnds) {
    // Each step stops the voice first, so each word is heard before the next step.
    QStringList heard;
    const auto step = [&](QPushButton* button, const char* shown, const QString& progress) {
        timers.act([&] { button->click(); });
        EXPECT_EQ(w->Label1->text(), shown);
        EXPECT_EQ(w->Label2->text(), progress);
        if (shown != QString("Word") && heard.size() < 6) {
            heard << shown;
            EXPECT_EQ(spokenBy(5, int(heard.size())), heard);
        }
    };
    // Chosen a moment ago: the position stands before the first entry.
    step(w->Command9, "Word", "3 words");
    step(w->Command10, "alpha", "3 words/1");
    step(w->Command10, "beta", "3 words/2");
    step(w->Command10, "gamma", "3 words/3");
    // Next on the last entry does nothing.
    timers.act([&] { w->Command10->click(); });
    EXPECT_EQ(w->SlidePos, 3);
    EXPECT_EQ(w->Label2->text(), "3 words/3");
    step(w->Command9, "beta", "3 words/2");
    step(w->Command9, "alpha", "3 words/1");
    // Previous on the first entry does nothing.
    timers.act([&] { w->Command9->click(); });
    EXPECT_EQ(w->SlidePos, 1);
    EXPECT_EQ(w->Label1->text(), "alpha");
    spinFor(50);
    EXPECT_EQ(gen5.spoken(), heard) << "nothing more was spoken";
    // Nothing advances by itself after a step.
    timers.advanceTo(60000);
    EXPECT_EQ(w->SlidePos, 1);
    EXPECT_FALSE(w->seriation->isRunning());
}

TEST_F(SlideTiming, NextDuringARunStopsItAndShowsTheFollowingEntry) {
    w->Check1->setChecked(true);
    begin();
    timers.advanceTo(100);
    ASSERT_TRUE(w->Command2->isHidden());
    timers.act([&] { w->Command10_Click(); });
    EXPECT_FALSE(w->SlideRunning);
    EXPECT_EQ(w->SlideStatus, 1);
    EXPECT_FALSE(w->Command2->isHidden()) << "the controls come back";
    EXPECT_TRUE(w->Command2->isEnabled());
    EXPECT_EQ(w->Label1->text(), "beta");
    EXPECT_EQ(w->Label2->text(), "3 words/2");
    timers.advanceTo(30000);
    EXPECT_EQ(w->SlidePos, 2);
}

TEST_F(SlideTiming, AfterAFinishedRunPreviousShowsTheLastEntry) {
    begin();
    timers.advanceTo(20000);
    timers.act([&] { w->Command9_Click(); });
    EXPECT_EQ(w->Label1->text(), "gamma");
    EXPECT_EQ(w->Label2->text(), "3 words/3");
}

TEST_F(SlideTiming, WithoutAVoiceGenerationTheProgressAdvancesAndNothingIsShownOrSpoken) {
    reader->gen = 0;
    begin();
    timers.advanceTo(20000);
    ASSERT_EQ(ticks.size(), 4u);
    EXPECT_EQ(ticks[2], (Seen{4100, "3 words/3", "Word", 3}));
    EXPECT_EQ(w->Label1->text(), "Word");
    spinFor(100);
    EXPECT_TRUE(gen4.spoken().isEmpty());
    EXPECT_TRUE(gen5.spoken().isEmpty());
}

TEST_F(SlideTiming, ARandomRunShowsExactlyAsManyWordsAsTheListHolds) {
    w->Check2->setChecked(true);
    // Several runs, so that a run drawing the same word twice is likely seen too.
    QStringList all;
    for (int run = 0; run < 8; ++run) {
        clock.advanceSeconds(1); // a new seed
        ticks.clear();
        begin();
        timers.advanceBy(30000);
        ASSERT_EQ(ticks.size(), 4u);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(ticks[i].progress, QString("3 words/%1").arg(i + 1));
            EXPECT_TRUE(QStringList({"alpha", "beta", "gamma"}).contains(ticks[i].word));
            all << ticks[i].word;
        }
        EXPECT_EQ(ticks[3].status, 1);
        EXPECT_EQ(ticks[1].at - ticks[0].at, 2000);
    }
    EXPECT_EQ(w->seriation->armings(), 0u) << "only the run's own timer runs";
    // Random, not list order: all three words turn up across the runs, and not
    // every run is alpha, beta, gamma.
    for (const char* word : {"alpha", "beta", "gamma"})
        EXPECT_TRUE(all.contains(word)) << word;
    int inOrder = 0;
    for (int run = 0; run < 8; ++run)
        inOrder += all.mid(run * 3, 3) == QStringList({"alpha", "beta", "gamma"});
    EXPECT_LT(inOrder, 8);
}

TEST_F(SlideTiming, StopSilencesTheVoiceAndRestoresTheControls) {
    // A long entry keeps the voice busy for seconds at the real pace.
    audio = sonorel::platform::speech::AudioMode::Silent;
    services = std::make_unique<sonorel::app::Services>(
        sonorel::app::servicesOf(*this, sonorel::platform::speech::makeSinkFactory(audio, "t")));
    reader = std::make_unique<TestReader>(gen4, gen5, services->sinks);
    open();
    const QByteArray longEntry(400, 'x');
    choose(wordFile("long.txt", longEntry + "\n" + longEntry + "\n"));
    for (int generation : {4, 5}) {
        reader->gen = generation;
        gen4.clear();
        gen5.clear();
        begin();
        timers.advanceBy(100);
        spokenBy(generation, 1);
        if (generation == 4)
            ASSERT_TRUE(reader->voice4.IsSpeaking());
        else
            ASSERT_FALSE(reader->voice5.WaitUntilDone(0));
        timers.act([&] { w->Command3_Click(); });
        EXPECT_FALSE(w->SlideRunning);
        EXPECT_TRUE(w->Command2->isEnabled());
        if (generation == 4)
            EXPECT_FALSE(reader->voice4.IsSpeaking());
        else
            EXPECT_TRUE(reader->voice5.WaitUntilDone(0));
    }
}

} // namespace
