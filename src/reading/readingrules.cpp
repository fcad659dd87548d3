#include "reading/readingrules.h"

#include "voices/units.h"

namespace sonorel::reading {

QString withoutOuterSpaces(const QString& text) {
    qsizetype first = 0, last = text.size();
    while (first < last && text[first] == u' ')
        ++first;
    while (last > first && text[last - 1] == u' ')
        --last;
    return text.mid(first, last - first);
}

int lengthWithoutOuterSpaces(const QString& text) {
    return int(withoutOuterSpaces(text).size());
}

int readingStart(int generation, int caret, int textLength) {
    const bool atEnd = generation == 4 ? caret + 2 >= textLength : caret >= textLength;
    return atEnd ? 0 : caret;
}

QString asciiDigits(const QString& text) {
    QString out = text;
    for (QChar& c : out)
        if (c.unicode() >= 0xFF10 && c.unicode() <= 0xFF19)
            c = QChar(u'0' + (c.unicode() - 0xFF10));
    return out;
}

QString textForVoice(const QString& voiceName, const QString& text) {
    return voiceName == u"Microsoft Simplified Chinese" ? asciiDigits(text) : text;
}

int sapi4WordStart(int speakBase, int byteoffset) {
    return speakBase + voices::roundHalfEven(byteoffset / 2.0);
}

int wordEnd(int start, int textLength, bool boxEmpty, const std::function<QChar(int)>& charAt) {
    if (boxEmpty)
        return 1;
    for (int i = start; i <= textLength; ++i) {
        const QChar c = charAt(i);
        // The box stores a line break as a paragraph (or line) separator, not LF.
        if (c == u' ' || c == u'\r' || c == u'\n' || c == QChar::ParagraphSeparator ||
            c == QChar::LineSeparator)
            return i;
    }
    return textLength + 1;
}

} // namespace sonorel::reading
