// Scroll bar positions and the engines' own units, both ways.

#include "voices/units.h"

#include <gtest/gtest.h>
#include <limits>

using namespace sonorel::voices;

TEST(Units, ScalesAndRounding) {
    EXPECT_EQ(roundHalfEven(2.5), 2);
    EXPECT_EQ(roundHalfEven(3.5), 4);
    EXPECT_EQ(roundHalfEven(-0.5), 0);
    EXPECT_EQ(engineFromPosition(25, 100, 200), 125);
    EXPECT_EQ(engineFromPosition(50, 100, 200), 150);
    EXPECT_EQ(rateFromPosition(50), 0);
    EXPECT_EQ(rateFromPosition(52), 0);
    EXPECT_EQ(rateFromPosition(0), -10);
    EXPECT_EQ(rateFromPosition(100), 10);
    EXPECT_EQ(channelVolumeFromPosition(100), 65535);
    EXPECT_EQ(channelVolumeFromPosition(0), 0);
    EXPECT_EQ(positionFromEngine(125, 100, 200), 25);
    EXPECT_THROW(positionFromEngine(5, 7, 7), DivisionByZero);
    // Ranges and products beyond 32 bits are overflows, never wrapped values.
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    EXPECT_THROW(engineFromPosition(50, kMin, kMax), Overflow);     // the difference
    EXPECT_THROW(engineFromPosition(100, 0, 30'000'000), Overflow); // the product
    EXPECT_EQ(engineFromPosition(71, 0, 30'000'000), 21'300'000);   // still fits
    EXPECT_THROW(positionFromEngine(0, kMin, kMax), Overflow);
    EXPECT_THROW(positionFromEngine(kMax, 0, 1), Overflow); // far off the scale
    EXPECT_THROW(roundHalfEven(1e12), Overflow);
}
