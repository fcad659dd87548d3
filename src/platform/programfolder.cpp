#include "platform/programfolder.h"

#include <QDir>
#include <QStandardPaths>
#include <unistd.h>

namespace sonorel::platform {

LinuxProgramFolder::LinuxProgramFolder(const QString& executableFolder)
    : m_folder(QDir::cleanPath(executableFolder)) {
    const QByteArray native = QFile::encodeName(m_folder);
    if (::access(native.constData(), W_OK) == 0) {
        m_writable = m_folder;
        return;
    }
    m_writable = userConfigFolder();
    QDir().mkpath(m_writable);
}

QString LinuxProgramFolder::userConfigFolder() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + "/.config";
    return QDir::cleanPath(base + "/sonorel");
}

} // namespace sonorel::platform
