#include "media/mmedia.h"

#include <cmath>

namespace sonorel::media {

QString Mmedia::deviceType(const QString& path) {
    const QString extension = path.right(3).toUpper();
    if (extension == QLatin1String("WAV"))
        return QStringLiteral("Waveaudio");
    if (extension == QLatin1String("AVI"))
        return QStringLiteral("AviVideo");
    if (extension == QLatin1String("MID"))
        return QStringLiteral("Sequencer");
    return {};
}

void Mmedia::mmOpen(const QString& sTheFile) {
    if (!sAlias.isEmpty())
        mmClose();
    const QString type = deviceType(sTheFile);
    if (type.isEmpty())
        return;
    sAlias = sTheFile.right(3) + QString::number(m_clock.now().time().minute());
    sFilename = sTheFile;
    // The alias was taken from the bare path; only the command quotes it.
    const QString path = sTheFile.contains(' ') ? '"' + sTheFile + '"' : sTheFile;
    m_control.sendString("Open " + path + " ALIAS " + sAlias + " TYPE " + type + " wait");
}

void Mmedia::mmClose() {
    if (sAlias.isEmpty())
        return;
    m_control.sendString("Close " + sAlias);
    sAlias.clear();
    sFilename.clear();
}

void Mmedia::mmPause() {
    if (!sAlias.isEmpty())
        m_control.sendString("Pause " + sAlias);
}

void Mmedia::mmPlay() {
    if (!sAlias.isEmpty())
        m_control.sendString("Play " + sAlias + (bWait ? " wait" : ""));
}

void Mmedia::mmStop() {
    if (!sAlias.isEmpty())
        m_control.sendString("Stop " + sAlias);
}

void Mmedia::mmSeek(float sPosition) {
    // Sent whether or not a file is open.
    m_control.sendString("Seek " + sAlias + " to " + positionText(sPosition));
}

QString Mmedia::positionText(float position) {
    const double value = position;
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e15)
        return QString::number(qint64(value));
    return QString::number(value, 'g', 7);
}

QString Mmedia::query(const QString& command) {
    QString reply = m_control.sendString(command).text.left(255);
    const qsizetype nul = reply.indexOf(QChar(0));
    if (nul >= 0)
        reply.truncate(nul);
    return reply;
}

double Mmedia::leadingNumber(const QString& reply) {
    QString number;
    bool digits = false, point = false, exponent = false;
    for (const QChar c : reply) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r')
            continue; // blanks anywhere are passed over
        if (c.isDigit() && c.unicode() < 128) {
            digits = true;
        } else if ((c == '-' || c == '+') &&
                   (number.isEmpty() || number.endsWith('e') || number.endsWith('E'))) {
        } else if (c == '.' && !point && !exponent) {
            point = true;
        } else if ((c == 'e' || c == 'E') && digits && !exponent) {
            exponent = true;
        } else {
            break;
        }
        number += c;
    }
    // A sign or exponent with nothing after it counts for nothing.
    while (!number.isEmpty() && !number.back().isDigit() && number.back() != '.')
        number.chop(1);
    bool ok = false;
    const double value = number.toDouble(&ok);
    return ok ? value : 0.0;
}

float Mmedia::Length() {
    if (sAlias.isEmpty())
        return 0;
    return float(leadingNumber(query("Status " + sAlias + " length")));
}

float Mmedia::Position() {
    if (sAlias.isEmpty())
        return 0;
    return float(leadingNumber(query("Status " + sAlias + " position")));
}

QString Mmedia::Status() {
    if (sAlias.isEmpty())
        return {};
    return query("Status " + sAlias + " mode");
}

} // namespace sonorel::media
