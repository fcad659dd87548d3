#pragma once
// Reading text files the way the reader's text boxes load them: rich text as its
// plain text, anything else as plain text.

#include <optional>
#include <QByteArray>
#include <QString>

namespace sonorel::platform {

// Plain text: UTF-8 (a BOM is dropped); UTF-16 with a BOM; bytes that are not
// valid UTF-8 are read as Windows-1252. Line ends are kept as they are.
QString decodePlainText(const QByteArray& bytes);

// The plain text of an RTF document: groups, control words, \par, \line, \tab,
// \'hh in the document's code page (or the current font's character set), \uN
// with \ucN skipping; destinations such as \fonttbl, \colortbl, \stylesheet,
// \info and every \* group are skipped. Paragraphs and table rows end with "\n",
// table cells with a tab (a paragraph end just before a cell end adds nothing);
// list items keep their bullet or number. Hidden text (\v) and the plain copy of
// a nested table (\nonesttables) are not read; Symbol-font characters read as
// what they show. Never fails: malformed input yields what could be read.
QString rtfToPlainText(const QByteArray& rtf);

bool looksLikeRtf(const QByteArray& bytes); // starts with "{\rtf"

// The largest file the reader loads. A long book is 3 to 5 MB; a bigger file is
// more likely a wrong pick than text to hear, and would hold the window while it
// is read and laid out.
inline constexpr qint64 kMaxTextFileBytes = 16 * 1024 * 1024;

// Why a file was not loaded.
enum class TextFileRefusal { None, Missing, Folder, NotRegular, TooLarge, Unreadable };

struct TextFileResult {
    std::optional<QString> text; // nothing when refused
    TextFileRefusal refusal = TextFileRefusal::None;
    QString reason; // the system's words for Unreadable
};

// The file's text, RTF converted. Only a regular file of at most
// kMaxTextFileBytes is read: anything else is refused from its status before it is
// opened (opening a FIFO waits for a writer, a device may never end), and the file
// is opened without waiting and read no further than one byte past the limit, so
// the call never takes longer than reading a file of legal size.
TextFileResult readTextFile(const QString& path);

// readTextFile without the reason.
std::optional<QString> loadTextFile(const QString& path);

} // namespace sonorel::platform
