#include "platform/speech/textchunker.h"

namespace sonorel::platform::speech {

namespace {
bool isSentenceEnd(QChar c) {
    switch (c.unicode()) {
    case '.':
    case '!':
    case '?':
    case ';':
    case ':':
    case 0x3002:
    case 0xFF01:
    case 0xFF1F:
    case 0xFF1B: // 。！？；
    case 0x2026: // …
        return true;
    default:
        return false;
    }
}
bool isClauseEnd(QChar c) {
    return c == u',' || c == QChar(0x3001) || c == QChar(0xFF0C);
}
} // namespace

std::optional<TextChunk> TextChunker::next() {
    const int size = int(m_text.size());
    // Blanks between pieces go with the piece before; a text of blanks is nothing.
    int from = m_pos;
    while (from < size && m_text[from].isSpace())
        ++from;
    if (from >= size) {
        m_pos = size;
        return std::nullopt;
    }
    int end = endOfChunk(from);
    if (m_first) {
        m_first = false;
        end = firstClauseEnd(from, end);
    }
    const TextChunk chunk{m_pos, end - m_pos};
    m_pos = end;
    return chunk;
}

bool TextChunker::endsParagraph(int newline) const {
    const int size = int(m_text.size());
    int i = newline + 1;
    while (i < size && m_text[i] != u'\n' && m_text[i].isSpace())
        ++i;
    return i >= size || m_text[i] == u'\n';
}

int TextChunker::endOfChunk(int from) const {
    const int size = int(m_text.size());
    const int limit = std::min(size, from + kMaxChunk);
    for (int i = from; i < limit; ++i) {
        const QChar c = m_text[i];
        // Lines wrapped by hand read on; a blank line ends the paragraph.
        if (c == u'\n' && endsParagraph(i))
            return i + 1;
        // A sentence ends at its mark followed by a blank (so "3.5" and "e.g"
        // inside words stay whole); CJK marks end it on their own.
        if (isSentenceEnd(c) && (i + 1 >= size || m_text[i + 1].isSpace() || c.unicode() > 0x2000))
            return i + 1;
    }
    if (limit >= size)
        return size;
    // Too long a sentence: cut at the last blank, else anywhere but inside a
    // surrogate pair.
    for (int i = limit; i > from + kMaxChunk / 2; --i)
        if (m_text[i - 1].isSpace())
            return i;
    return m_text[limit - 1].isHighSurrogate() ? limit - 1 : limit;
}

int TextChunker::firstClauseEnd(int from, int end) const {
    int words = 0;
    bool inWord = false;
    for (int i = from; i < end; ++i) {
        const QChar c = m_text[i];
        if (isClauseEnd(c) && i + 1 < end)
            return i + 1;
        if (c.isSpace()) {
            if (inWord && ++words == kFirstClauseWords)
                return i + 1;
            inWord = false;
        } else {
            inWord = true;
        }
    }
    return end;
}

} // namespace sonorel::platform::speech
