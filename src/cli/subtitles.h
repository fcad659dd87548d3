#pragma once
// Subtitles from the word events of a rendering: one cue per sentence, split
// further so that no cue runs longer than about 7 seconds or 80 characters, timed
// on the sample clock of the sound written beside them.

#include <cstdint>
#include <QList>
#include <QString>

namespace sonorel::cli {

struct Cue {
    std::int64_t startMs = 0;
    std::int64_t endMs = 0;
    QString text; // on one line
};

inline constexpr int kMaxCueCharacters = 80;
inline constexpr std::int64_t kMaxCueMs = 7000;

class SubtitleBuilder final {
public:
    SubtitleBuilder(QString text, int sampleRate) : m_text(std::move(text)), m_rate(sampleRate) {}

    // In the order they are spoken; `sample` counts from the start of the sound.
    void word(int position, int length, std::int64_t sample);
    // `totalFrames`: the length of the sound, where the last cue ends.
    QList<Cue> cues(std::int64_t totalFrames) const;

private:
    struct Word {
        int position, end;
        std::int64_t sample;
    };
    bool sentenceEndsBetween(const Word& before, const Word& after) const;
    std::int64_t ms(std::int64_t sample) const { return sample * 1000 / m_rate; }

    QString m_text;
    int m_rate;
    QList<Word> m_words;
};

enum class SubtitleKind { Srt, Lrc, Unknown };
SubtitleKind subtitleKindFor(const QString& path);

QString formatSrt(const QList<Cue>& cues);
// LRC holds start times only: an empty line at the last cue's end closes it.
QString formatLrc(const QList<Cue>& cues);

} // namespace sonorel::cli
