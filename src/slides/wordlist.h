#pragma once
// Word files: plain text, one entry per line, read the way the reader reads its
// text files (UTF-8, UTF-16 with a BOM, else Windows-1252).

#include <optional>
#include <QString>
#include <QStringList>

namespace sonorel::slides {

// Every line of `text` in order: a line ends at CR LF, CR or LF (LF being the
// usual end on Linux); the terminator is not part of the entry, nothing is
// trimmed, empty lines count, and a last line without terminator counts too.
QStringList splitWordLines(const QString& text);

// The entries of the word file at `path`; nothing when it cannot be read.
std::optional<QStringList> readWordList(const QString& path);

} // namespace sonorel::slides
