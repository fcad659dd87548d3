#include "shared/elapsed.h"

#include <gtest/gtest.h>

using sonorel::elapsedText;

TEST(ElapsedText, FieldsAreHoursMinutesSecondsInTwoDigits) {
    EXPECT_EQ(elapsedText(0), "00:00:00");
    EXPECT_EQ(elapsedText(3661), "01:01:01");
    EXPECT_EQ(elapsedText(3700), "01:01:40");
    EXPECT_EQ(elapsedText(59), "00:00:59");
    EXPECT_EQ(elapsedText(60), "00:01:00");
    EXPECT_EQ(elapsedText(3599), "00:59:59");
}

TEST(ElapsedText, HoursKeepTheirLastTwoDigits) {
    EXPECT_EQ(elapsedText(123 * 3600), "23:00:00");
    EXPECT_EQ(elapsedText(100 * 3600 + 5), "00:00:05");
}

TEST(ElapsedText, NegativeCountShowsZero) {
    EXPECT_EQ(elapsedText(-5), "00:00:00");
}
