#include "cli/progress.h"
#include "cli/subtitles.h"

#include <gtest/gtest.h>

namespace sonorel::cli {
namespace {

// Words of `text` at the given sample times (1000 samples a second), one per word.
SubtitleBuilder spoken(const QString& text, const QList<std::int64_t>& samples) {
    SubtitleBuilder b(text, 1000);
    qsizetype at = 0, n = 0;
    while (at < text.size()) {
        while (at < text.size() && text[at].isSpace())
            ++at;
        qsizetype end = at;
        while (end < text.size() && !text[end].isSpace())
            ++end;
        if (end > at)
            b.word(int(at), int(end - at), samples.value(n++));
        at = end;
    }
    return b;
}

TEST(SayCues, OneCuePerSentenceEndingWhereTheNextBegins) {
    const QString text = "Hello there. How are you?\n\nFine \"thanks.\" Bye";
    const auto cues = spoken(text, {0, 400, 1000, 1200, 1400, 2500, 2800, 3600}).cues(4200);
    ASSERT_EQ(cues.size(), 4);
    EXPECT_EQ(cues[0].text, "Hello there.");
    EXPECT_EQ(cues[1].text, "How are you?");
    EXPECT_EQ(cues[2].text, "Fine \"thanks.\"");
    EXPECT_EQ(cues[3].text, "Bye");
    EXPECT_EQ(cues[0].startMs, 0);
    EXPECT_EQ(cues[0].endMs, 1000);
    EXPECT_EQ(cues[2].startMs, 2500);
    EXPECT_EQ(cues[3].endMs, 4200); // the last runs to the end of the sound
}

TEST(SayCues, LongSentencesAreCutByLengthAndByTime) {
    QString text;
    QList<std::int64_t> samples;
    for (int i = 0; i < 40; ++i) {
        text += QStringLiteral("word%1 ").arg(i, 2, 10, QChar(u'0'));
        samples.append(i * 300);
    }
    const auto cues = spoken(text, samples).cues(40 * 300);
    ASSERT_GT(cues.size(), 3);
    QStringList all;
    for (const Cue& c : cues) {
        EXPECT_LE(c.text.size(), kMaxCueCharacters);
        EXPECT_LE(c.endMs - c.startMs, kMaxCueMs);
        all.append(c.text);
    }
    EXPECT_EQ(all.join(u' '), text.simplified());

    // Slow speech: few characters, but no cue longer than the limit in time.
    const auto slow = spoken("a b c d e f", {0, 3000, 6000, 9000, 12000, 15000}).cues(18000);
    ASSERT_EQ(slow.size(), 3);
    EXPECT_EQ(slow[0].text, "a b");
    EXPECT_EQ(slow[0].endMs, 6000);
}

TEST(SayCues, FormatsAsSrtAndLrc) {
    const QList<Cue> cues{{0, 1500, "One."}, {3723456, 3725000, "Two."}};
    EXPECT_EQ(formatSrt(cues), "1\n00:00:00,000 --> 00:00:01,500\nOne.\n\n"
                               "2\n01:02:03,456 --> 01:02:05,000\nTwo.\n\n");
    EXPECT_EQ(formatLrc(cues), "[00:00.00]One.\n[62:03.46]Two.\n[62:05.00]\n");
    EXPECT_EQ(subtitleKindFor("a/b.SRT"), SubtitleKind::Srt);
    EXPECT_EQ(subtitleKindFor("b.lrc"), SubtitleKind::Lrc);
    EXPECT_EQ(subtitleKindFor("b.txt"), SubtitleKind::Unknown);
}

TEST(SayProgress, ShowsPercentTimeTakenAndTimeLeft) {
    EXPECT_EQ(progressText(0, 900), "0% of the text, 0:00 so far");
    EXPECT_EQ(progressText(25, 61000), "25% of the text, 1:01 so far, about 3:03 left");
    EXPECT_EQ(progressText(50, 3600000), "50% of the text, 1:00:00 so far, about 1:00:00 left");
    EXPECT_EQ(progressText(100, 5000), "100% of the text, 0:05 so far");
}

} // namespace
} // namespace sonorel::cli
