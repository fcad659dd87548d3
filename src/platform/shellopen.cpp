#include "platform/shellopen.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace sonorel::platform {

bool DesktopShellOpener::open(const QString& urlOrPath) {
    // A one-letter scheme would be a drive letter, never a URL.
    const QUrl candidate(urlOrPath, QUrl::StrictMode);
    const bool isUrl = candidate.isValid() && candidate.scheme().size() > 1;
    const QUrl url =
        isUrl ? candidate : QUrl::fromLocalFile(QFileInfo(urlOrPath).absoluteFilePath());
    return QDesktopServices::openUrl(url);
}

} // namespace sonorel::platform
