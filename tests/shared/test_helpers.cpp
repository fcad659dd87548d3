#include "shared/skiponerror.h"
#include "shared/vbtimer.h"
#include "support/spin.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <stdexcept>

using namespace sonorel;

TEST(VbTimer, IntervalZeroMeansStopped) {
    VbTimer timer(nullptr, 0);
    int ticks = 0;
    QObject::connect(&timer, &VbTimer::timeout, [&] { ++ticks; });
    test::spinFor(60);
    EXPECT_EQ(ticks, 0); // a plain QTimer with interval 0 would fire continuously
    EXPECT_FALSE(timer.isRunning());

    timer.setInterval(10);
    test::spinFor(80);
    EXPECT_GT(ticks, 2);
    timer.setInterval(0);
    const int stoppedAt = ticks;
    test::spinFor(60);
    EXPECT_EQ(ticks, stoppedAt);
    EXPECT_EQ(timer.interval(), 0);
}

TEST(VbTimer, SettingTheIntervalRestartsTheCount) {
    VbTimer timer(nullptr, 100);
    int ticks = 0;
    QObject::connect(&timer, &VbTimer::timeout, [&] { ++ticks; });
    // Re-arming every 40 ms keeps a 100 ms timer from ever firing.
    for (int i = 0; i < 5; ++i) {
        test::spinFor(40);
        timer.setInterval(100);
    }
    EXPECT_EQ(ticks, 0);
    test::spinFor(160);
    EXPECT_GE(ticks, 1);
}

TEST(SkipOnError, FailingStepIsSkippedAndTheNextRuns) {
    QStringList ran;
    EXPECT_FALSE(skipOnError("throws", [&] {
        ran << "a";
        throw std::runtime_error("engine refused");
    }));
    EXPECT_FALSE(skipOnError("fails", [&] { require(false, "no voice"); }));
    EXPECT_FALSE(skipOnError("odd", [] { throw 42; }));
    EXPECT_TRUE(skipOnError("works", [&] { ran << "b"; }));
    EXPECT_EQ(ran, (QStringList{"a", "b"}));
}
