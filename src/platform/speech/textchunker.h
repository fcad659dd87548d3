#pragma once
// Cuts a text into the pieces synthesis works on: sentences, so the first sound
// never waits for the whole text, and a short first clause, so it comes quickly
// even from voices that need a whole utterance before their first sample.

#include <optional>
#include <QString>

namespace sonorel::platform::speech {

struct TextChunk {
    int start = 0; // UTF-16 index in the whole text
    int length = 0;
};

class TextChunker final {
public:
    static constexpr int kFirstClauseWords = 4;
    static constexpr int kMaxChunk = 400;

    // Files need no quick first sound: they are cut into whole sentences only.
    explicit TextChunker(QString text, bool shortFirstClause = true)
        : m_text(std::move(text)), m_first(shortFirstClause) {}

    // The next piece, or nothing at the end. Pieces cover the text without gaps;
    // a piece of blanks only is never returned.
    std::optional<TextChunk> next();

private:
    int endOfChunk(int from) const;
    bool endsParagraph(int newline) const;
    int firstClauseEnd(int from, int end) const;

    QString m_text;
    int m_pos = 0;
    bool m_first;
};

} // namespace sonorel::platform::speech
