#include "slides/wordlist.h"

#include "platform/textfile.h"

namespace sonorel::slides {

QStringList splitWordLines(const QString& text) {
    QStringList lines;
    // One pass with a line at a time taken whole: a word file can hold a hundred
    // thousand entries.
    lines.reserve(text.count(QLatin1Char('\n')) + 1);
    const QChar* data = text.constData();
    const qsizetype size = text.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = data[i].unicode();
        if (c != u'\r' && c != u'\n')
            continue;
        lines << text.mid(start, i - start);
        if (c == u'\r' && i + 1 < size && data[i + 1] == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < size)
        lines << text.mid(start);
    return lines;
}

std::optional<QStringList> readWordList(const QString& path) {
    const std::optional<QString> text = platform::loadTextFile(path);
    if (!text)
        return std::nullopt;
    return splitWordLines(*text);
}

} // namespace sonorel::slides
