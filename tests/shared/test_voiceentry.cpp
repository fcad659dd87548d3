#include "shared/voiceentry.h"

#include <gtest/gtest.h>

using namespace sonorel;

TEST(VoiceEntry, TextCarriesTheNineCharacterSuffix) {
    EXPECT_EQ(voiceEntryText("Mary", 4), "Mary (TTS4.0)");
    EXPECT_EQ(voiceEntryText("English (Great Britain)", 5), "English (Great Britain) (TTS5.0)");
    EXPECT_EQ(voiceSuffix(5).size(), kVoiceSuffixLength);
    EXPECT_EQ(voiceNameFromEntry("Mary (TTS4.0)"), "Mary");
    EXPECT_EQ(voiceNameFromEntry(voiceEntryText("", 5)), ""); // nameless voice
    EXPECT_EQ(voiceNameFromEntry("short"), "");
    EXPECT_EQ(voiceNameFromEntry(QString::fromUtf8("Zoë (TTS5.0)")), QString::fromUtf8("Zoë"));
}

TEST(VoiceEntry, ItemCodeIsGenerationThenFiveDigits) {
    EXPECT_EQ(voiceItemCode(4, 1), 400001);
    EXPECT_EQ(voiceItemCode(5, 0), 500000);
    EXPECT_EQ(voiceItemCode(5, 99999), 599999);
    // Only the last five digits of a larger index are kept.
    EXPECT_EQ(voiceItemCode(4, 123456), 423456);
    EXPECT_EQ(voiceItemCode(5, 100000), 500000);
}

TEST(VoiceEntry, DecodingReadsTheFirstDigitAndTheLastFiveOrTwo) {
    const auto five = decodeItemCode(500137);
    EXPECT_EQ(five.generation, 5);
    EXPECT_EQ(five.index, 137);
    const auto two = decodeItemCodeTwoDigits(500137);
    EXPECT_EQ(two.generation, 5);
    EXPECT_EQ(two.index, 37); // the start-up defaults may pick another voice above 99
    for (int index : {0, 1, 9, 10, 99, 100, 12345, 99999}) {
        EXPECT_EQ(decodeItemCode(voiceItemCode(4, index)).index, index);
        EXPECT_EQ(decodeItemCode(voiceItemCode(4, index)).generation, 4);
    }
}

TEST(VoiceEntry, LeadingNumberReadsLikeVal) {
    EXPECT_EQ(leadingNumber(u"00003"), 3);
    EXPECT_EQ(leadingNumber(u"  42abc"), 42);
    EXPECT_EQ(leadingNumber(u"-7"), -7);
    EXPECT_EQ(leadingNumber(u"x1"), 0);
    EXPECT_EQ(leadingNumber(u""), 0);
    EXPECT_EQ(leadingNumber(u"99999999999"), 2147483647);
}
