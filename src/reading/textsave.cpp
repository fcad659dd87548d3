#include "reading/textsave.h"

namespace sonorel::reading {

QByteArray plainTextFile(const QString& text) {
    return (text + "\r\n").toUtf8();
}

QByteArray richTextFile(const QString& text) {
    QByteArray rtf = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1{\\fonttbl{\\f0 Arial;}}\n\\f0 ";
    const QString full = text + "\n";
    for (qsizetype i = 0; i < full.size(); ++i) {
        const QChar c = full[i];
        switch (c.unicode()) {
        case '\\':
        case '{':
        case '}':
            rtf += '\\';
            rtf += char(c.unicode());
            break;
        case '\r':
            break; // a CR LF pair is one paragraph end
        case '\n':
            rtf += "\\par\n";
            break;
        case '\t':
            rtf += "\\tab ";
            break;
        default:
            if (c.unicode() < 0x80)
                rtf += char(c.unicode());
            else // signed 16-bit, with "?" for readers without Unicode
                rtf += "\\u" + QByteArray::number(qint16(c.unicode())) + '?';
        }
    }
    rtf += "}\r\n";
    return rtf;
}

QString withExtension(const QString& path, const QString& extension) {
    return path.right(4) == extension ? path : path + extension;
}

} // namespace sonorel::reading
