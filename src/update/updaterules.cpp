#include "update/updaterules.h"

#include <QDebug>
#include <QHostAddress>

namespace sonorel::update {

std::optional<qint64> versionHundredths(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    const qsizetype start = i;
    while (i < text.size() && text[i].isDigit() && text[i].unicode() < 128)
        ++i;
    const qsizetype wholeDigits = i - start;
    if (wholeDigits == 0 || wholeDigits > 9)
        return std::nullopt;
    if (i + 1 < text.size() && text[i] == u'.' && text[i + 1].isDigit() &&
        text[i + 1].unicode() < 128) {
        ++i;
        while (i < text.size() && text[i].isDigit() && text[i].unicode() < 128)
            ++i;
    }
    bool ok = false;
    const double value = text.mid(start, i - start).toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return qRound64(value * 100.0);
}

QString firstLine(const QByteArray& bytes) {
    QByteArray line = bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
    const qsizetype end = line.indexOf('\n');
    if (end >= 0)
        line.truncate(end);
    const qsizetype cr = line.indexOf('\r');
    if (cr >= 0)
        line.truncate(cr);
    return QString::fromUtf8(line);
}

bool isLoopbackHost(const QString& host) {
    if (host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

bool serverAllowed(const QUrl& server) {
    if (!server.isValid() || server.host().isEmpty())
        return false;
    if (server.scheme() == QStringLiteral("https"))
        return true;
    return server.scheme() == QStringLiteral("http") && isLoopbackHost(server.host());
}

QUrl updateServer(const QUrl& maker, const QByteArray& override) {
    if (override.isEmpty())
        return maker;
    const QUrl local(QString::fromUtf8(override), QUrl::StrictMode);
    if (local.isValid() && isLoopbackHost(local.host()) && serverAllowed(local))
        return local;
    qWarning().noquote() << "update: SONOREL_UPDATE_SERVER ignored, it is not on this machine:"
                         << override;
    return maker;
}

QUrl serverFile(const QUrl& server, const QString& path) {
    QUrl url = server;
    QString base = url.path();
    while (base.endsWith(u'/'))
        base.chop(1);
    url.setPath(base + path);
    url.setQuery(QString());
    url.setFragment(QString());
    return url;
}

QString percentText(qint64 written, qint64 length) {
    if (length <= 0)
        return {};
    const double p = double(written) * 100.0 / double(length);
    if (p > 100.0)
        return QStringLiteral("100%");
    return QString::number(qRound64(p)) + u'%';
}

std::optional<qint64> contentLength(const QByteArray& header) {
    const QByteArray value = header.trimmed();
    if (value.isEmpty() || value.size() > 15)
        return std::nullopt;
    for (char c : value)
        if (c < '0' || c > '9')
            return std::nullopt;
    const qint64 length = value.toLongLong();
    if (length <= 0)
        return std::nullopt;
    return length;
}

} // namespace sonorel::update
