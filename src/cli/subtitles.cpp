#include "cli/subtitles.h"

#include <QFileInfo>

namespace sonorel::cli {

void SubtitleBuilder::word(int position, int length, std::int64_t sample) {
    // An engine may mark a word again for parts of it: keep the first mark.
    if (!m_words.isEmpty() && position < m_words.back().end)
        return;
    m_words.append({position, position + length, sample});
}

bool SubtitleBuilder::sentenceEndsBetween(const Word& before, const Word& after) const {
    const QString between = m_text.mid(before.end, after.position - before.end);
    if (between.count(u'\n') >= 2 || between.contains(u'\u2029'))
        return true; // a paragraph ends
    // The last mark of sentence punctuation before the next word, past any closing
    // quotes or brackets; the word itself may have taken the punctuation in.
    const QString tail = m_text.mid(before.position, after.position - before.position).trimmed();
    for (qsizetype i = tail.size() - 1; i >= 0; --i) {
        const QChar c = tail.at(i);
        if (c == u'.' || c == u'!' || c == u'?' || c == u'\u2026')
            return true;
        if (!(c == u'"' || c == u'\'' || c == u')' || c == u']' || c == u'\u201d' ||
              c == u'\u2019' || c == u'\u00bb'))
            return false;
    }
    return false;
}

QList<Cue> SubtitleBuilder::cues(std::int64_t totalFrames) const {
    QList<Cue> cues;
    const auto textOf = [&](qsizetype from, qsizetype to) {
        const int start = m_words[from].position;
        const int end = to < m_words.size() ? m_words[to].position : int(m_text.size());
        return m_text.mid(start, end - start).simplified();
    };
    const auto sampleAt = [&](qsizetype i) {
        return i < m_words.size() ? m_words[i].sample : totalFrames;
    };
    qsizetype first = 0;
    for (qsizetype i = 1; i <= m_words.size(); ++i) {
        bool cut = i == m_words.size() || sentenceEndsBetween(m_words[i - 1], m_words[i]);
        // Taking word i in would make the cue too long to read or to wait through.
        if (!cut)
            cut = textOf(first, i + 1).size() > kMaxCueCharacters ||
                  ms(sampleAt(i + 1) - m_words[first].sample) > kMaxCueMs;
        if (!cut)
            continue;
        cues.append({ms(m_words[first].sample), ms(sampleAt(i)), textOf(first, i)});
        first = i;
    }
    // A pause after a cue is not its to show, except after the last.
    for (qsizetype i = 0; i + 1 < cues.size(); ++i)
        cues[i].endMs = std::min(cues[i].endMs, cues[i].startMs + kMaxCueMs);
    return cues;
}

SubtitleKind subtitleKindFor(const QString& path) {
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == u"srt")
        return SubtitleKind::Srt;
    if (ext == u"lrc")
        return SubtitleKind::Lrc;
    return SubtitleKind::Unknown;
}

namespace {

QString srtTime(std::int64_t ms) {
    return QStringLiteral("%1:%2:%3,%4")
        .arg(ms / 3600000, 2, 10, QChar(u'0'))
        .arg(ms / 60000 % 60, 2, 10, QChar(u'0'))
        .arg(ms / 1000 % 60, 2, 10, QChar(u'0'))
        .arg(ms % 1000, 3, 10, QChar(u'0'));
}

QString lrcTime(std::int64_t ms) {
    const std::int64_t cs = (ms + 5) / 10;
    return QStringLiteral("[%1:%2.%3]")
        .arg(cs / 6000, 2, 10, QChar(u'0'))
        .arg(cs / 100 % 60, 2, 10, QChar(u'0'))
        .arg(cs % 100, 2, 10, QChar(u'0'));
}

} // namespace

QString formatSrt(const QList<Cue>& cues) {
    QString out;
    for (qsizetype i = 0; i < cues.size(); ++i)
        out += QStringLiteral("%1\n%2 --> %3\n%4\n\n")
                   .arg(i + 1)
                   .arg(srtTime(cues[i].startMs), srtTime(cues[i].endMs), cues[i].text);
    return out;
}

QString formatLrc(const QList<Cue>& cues) {
    QString out;
    for (const Cue& c : cues)
        out += lrcTime(c.startMs) + c.text + u'\n';
    if (!cues.isEmpty())
        out += lrcTime(cues.back().endMs) + u'\n';
    return out;
}

} // namespace sonorel::cli
