#pragma once
// What a saved text file holds: the reading box's text and one line break more,
// as plain UTF-8 text, or as a small rich-text document of that same text.

#include <QByteArray>
#include <QString>

namespace sonorel::reading {

QByteArray plainTextFile(const QString& text);
// A minimal RTF document: any reader shows the same words, and ours reads it
// back to exactly `text` plus the closing line break.
QByteArray richTextFile(const QString& text);

// The name a save writes: `extension` is appended unless the name already ends
// in exactly it (letter case included).
QString withExtension(const QString& path, const QString& extension);

} // namespace sonorel::reading
