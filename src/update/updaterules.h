#pragma once
// The rules of the update check that need no window: where the server is, how a
// version text compares, and how much of a download the percentage shows.

#include <optional>
#include <QByteArray>
#include <QString>
#include <QUrl>

namespace sonorel::update {

// The number at the start of `text` (blanks before it allowed) times 100,
// rounded: "1.70 beta" gives 170, "2" gives 200. Nothing when the text does not
// start with a number, so a web page or garbage never reads as version 0.
std::optional<qint64> versionHundredths(const QString& text);

// The first line of a version file: up to the first CR or LF, without a UTF-8
// byte order mark.
QString firstLine(const QByteArray& bytes);

// Plain HTTP is allowed only to this machine (a test server); anything else must
// be HTTPS, whose certificates are checked.
bool isLoopbackHost(const QString& host);
bool serverAllowed(const QUrl& server);

// The update server: `maker`, unless `override` (the SONOREL_UPDATE_SERVER
// variable) names a server on this machine; any other override is ignored.
QUrl updateServer(const QUrl& maker, const QByteArray& override);

// `server` with `path` appended to its own path.
QUrl serverFile(const QUrl& server, const QString& path);

// The download's share as the window shows it, "37%", from bytes written and the
// announced length; never above "100%".
QString percentText(qint64 written, qint64 length);

// The announced length from a "Content-length" header value: a plain positive
// decimal number; nothing for anything else.
std::optional<qint64> contentLength(const QByteArray& header);

} // namespace sonorel::update
