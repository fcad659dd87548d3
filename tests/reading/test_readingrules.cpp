// The rules of reading: where a reading starts, which characters a spoken word
// covers, what an engine is given.

#include "reading/readingrules.h"

#include <gtest/gtest.h>

using namespace sonorel::reading;

namespace {
// The word end in `text` as the box holds it (line breaks as the document
// stores them), scanning from `start` up to the trimmed length.
int wordEndIn(const QString& text, int start) {
    const int length = lengthWithoutOuterSpaces(text);
    return wordEnd(start, length, text.isEmpty(),
                   [&](int i) { return i < text.size() ? text[i] : QChar(); });
}
} // namespace

TEST(ReadingRules, WordsEndAtBlanksAndEveryKindOfLineEnd) {
    EXPECT_EQ(wordEndIn("alpha beta", 0), 5);
    EXPECT_EQ(wordEndIn("alpha\rbeta", 0), 5);
    EXPECT_EQ(wordEndIn("alpha\nbeta", 0), 5);
    EXPECT_EQ(wordEndIn(QString("alpha") + QChar::ParagraphSeparator + "beta", 0), 5);
    EXPECT_EQ(wordEndIn(QString("alpha") + QChar::LineSeparator + "beta", 0), 5);
    // The last word runs one past the text; a tab is part of a word.
    EXPECT_EQ(wordEndIn("alpha beta", 6), 11);
    EXPECT_EQ(wordEndIn("one\ttwo", 0), 8);
    EXPECT_EQ(wordEndIn("", 0), 1);
}

TEST(ReadingRules, WhereAReadingStarts) {
    // Generation 4 starts over on the last two characters, generation 5 only at
    // the very end.
    EXPECT_EQ(readingStart(4, 7, 10), 7);
    EXPECT_EQ(readingStart(4, 8, 10), 0);
    EXPECT_EQ(readingStart(5, 9, 10), 9);
    EXPECT_EQ(readingStart(5, 10, 10), 0);
    EXPECT_EQ(lengthWithoutOuterSpaces("  two words \n  "), 11); // only blanks are cut
    EXPECT_EQ(withoutOuterSpaces("\t x "), "\t x");
    // Word starts from byte offsets: halves go to the even neighbour.
    EXPECT_EQ(sapi4WordStart(10, 4), 12);
    EXPECT_EQ(sapi4WordStart(0, 5), 2);
    EXPECT_EQ(sapi4WordStart(0, 7), 4);
}

TEST(ReadingRules, OnlyTheChineseVoiceGetsAsciiDigits) {
    const QString text = QString::fromUtf8("第１２３号");
    EXPECT_EQ(textForVoice("Microsoft Simplified Chinese", text), QString::fromUtf8("第123号"));
    EXPECT_EQ(textForVoice("English", text), text);
    EXPECT_EQ(asciiDigits(QString::fromUtf8("０９")).size(), 2); // one for one
}
