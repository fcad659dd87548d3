#pragma once
// The small rules of reading: where a reading starts, what the engine is given,
// and which characters a spoken word covers.

#include <functional>
#include <QString>

namespace sonorel::reading {

enum PlayStatus { Speaking = 1, Paused = 2, Idle = 3 };

// Length of `text` without leading and trailing space characters (only spaces:
// line breaks and tabs count).
int lengthWithoutOuterSpaces(const QString& text);
QString withoutOuterSpaces(const QString& text);

// Where a new reading starts: generation 4 starts over when the caret stands on
// the last two characters or beyond, generation 5 only when it is at the end.
int readingStart(int generation, int caret, int textLength);

// Full-width digits become ASCII digits, one character for one, so positions
// reported by the engine still fit the text box.
QString asciiDigits(const QString& text);
// What a generation-5 voice is given to speak: the Chinese voice cannot read
// full-width digits, so it gets ASCII ones; every other voice the text as it is.
QString textForVoice(const QString& voiceName, const QString& text);

// Generation-4 word start: the base plus half the byte offset, halves to even.
int sapi4WordStart(int speakBase, int byteoffset);

// Forward scan for the end of the word that starts at `start`: the first index i
// >= start, up to and including `textLength`, whose character (`charAt`) is a
// space or a line end (CR, LF, or the text document's paragraph and line
// separators); `textLength` + 1 when there is none; 1 for an empty box.
int wordEnd(int start, int textLength, bool boxEmpty, const std::function<QChar(int)>& charAt);

} // namespace sonorel::reading
