// Progress of a speech export judged from file sizes: the estimates, the caps of
// the two stages and the caption line.

#include "export/progress.h"

#include <gtest/gtest.h>

using namespace sonorel::exporting;

TEST(ExportProgress, EstimatesFromTextLengthRateAndWaveSize) {
    EXPECT_EQ(estimateLength("a  b    c"), 3); // pairs of spaces go
    EXPECT_EQ(estimateLength("a   b"), 3);     // an odd one stays
    EXPECT_EQ(estimateLength("Grüße"), 5);
    ASSERT_TRUE(estimateWaveSize(10000, "29"));
    EXPECT_DOUBLE_EQ(*estimateWaveSize(10000, "29"), 24844076.0 / 50);
    EXPECT_DOUBLE_EQ(*estimateWaveSize(10000, " 58 "), 24844076.0 / 100); // faster = smaller
    EXPECT_FALSE(estimateWaveSize(10000, "0")) << "a rate of 0 gives no estimate";
    EXPECT_FALSE(estimateWaveSize(10000, "-3"));
    EXPECT_FALSE(estimateWaveSize(10000, ""));
    ASSERT_TRUE(estimateMp3Size(24844076));
    EXPECT_DOUBLE_EQ(*estimateMp3Size(24844076), 2253740.0 / 50);
    EXPECT_FALSE(estimateMp3Size(0));
}

TEST(ExportProgress, WaveStageIsCappedAtHalfForMp3AndWholeForWav) {
    const std::optional<double> estimate = 1000.0;
    EXPECT_EQ(wavePercent(25999, estimate, true), 25);
    EXPECT_EQ(wavePercent(25999, estimate, false), 50); // twice the share
    EXPECT_EQ(wavePercent(70000, estimate, true), 50);
    EXPECT_EQ(wavePercent(70000, estimate, false), 100);
    EXPECT_EQ(wavePercent(1LL << 40, estimate, false), 100);
    EXPECT_FALSE(wavePercent(500, std::nullopt, true));
    EXPECT_EQ(mp3Percent(1500, 100.0), 65);
    EXPECT_EQ(mp3Percent(9000, 100.0), 140) << "capped only when shown";
    EXPECT_FALSE(mp3Percent(1500, std::nullopt));
}

TEST(ExportProgress, CaptionLineAndItsFormAbove100) {
    EXPECT_EQ(progressLine("Mary (TTS4.0)", 37, 3700),
              "Mary (TTS4.0)   Completed: 37%  Elapsed Time: 01:01:40");
    EXPECT_EQ(progressLine("Mary (TTS4.0)", 100, 59),
              "Mary (TTS4.0)   Completed: 100%  Elapsed Time: 00:00:59");
    EXPECT_EQ(progressLine("Mary (TTS4.0)", 140, 3700),
              "Mary (TTS4.0)   Completed: 100%  Elapsed Time:01:01:40");
}
