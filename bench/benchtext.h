#pragma once
// The benchmark texts: the first 100,000 characters of Debian's common licence
// texts (GPL-3, Apache-2.0, GPL-2, LGPL-3, LGPL-2.1, MPL-2.0, Artistic, in that
// order), and that text repeated to 1 MB.

#include <QFile>
#include <QString>

namespace sonorel::bench {

inline QString englishText100k() {
    QString text;
    for (const char* name :
         {"GPL-3", "Apache-2.0", "GPL-2", "LGPL-3", "LGPL-2.1", "MPL-2.0", "Artistic"}) {
        QFile f(QStringLiteral("/usr/share/common-licenses/") + name);
        if (f.open(QIODevice::ReadOnly))
            text += QString::fromUtf8(f.readAll());
    }
    return text.left(100000);
}

inline QString text1mb() {
    const QString base = englishText100k();
    QString text;
    while (text.size() < 1000000)
        text += base;
    return text.left(1000000);
}

// The sentence the latency figures start with, and the 1 MB text opened by it, so
// that short and long figures differ by the text's length alone.
inline const QString kOpening = QStringLiteral("The quick brown fox jumps over the lazy dog.");
inline QString opened1mb() {
    return kOpening + " " + text1mb();
}

} // namespace sonorel::bench
