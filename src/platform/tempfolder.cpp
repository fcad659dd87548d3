#include "platform/tempfolder.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <QDir>
#include <QFile>
#include <sys/stat.h>
#include <unistd.h>

namespace sonorel::platform {

namespace {

QString defaultBase() {
    for (const char* variable : {"XDG_RUNTIME_DIR", "TMPDIR"}) {
        const QString base = qEnvironmentVariable(variable);
        if (!base.isEmpty() && QDir::isAbsolutePath(base))
            return base;
    }
    return QStringLiteral("/tmp");
}

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

bool isOurPrivateFolder(const struct stat& st) {
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 07777) == 0700;
}

} // namespace

LinuxTempFolder::LinuxTempFolder(QString base) : m_base(std::move(base)) {}

QString LinuxTempFolder::path() {
    // One lstat() confirms the folder found before; it is made again should
    // something have removed it meanwhile.
    struct stat st;
    if (!m_path.isEmpty() && ::lstat(QFile::encodeName(m_path).constData(), &st) == 0 &&
        isOurPrivateFolder(st))
        return m_path;
    m_path.clear();
    m_error.clear();

    const QString base = m_base.isEmpty() ? defaultBase() : m_base;
    const QString folder = QDir::cleanPath(base + QStringLiteral("/sonorel-%1").arg(::geteuid()));
    const QByteArray native = QFile::encodeName(folder);
    const auto refuse = [&](const QString& reason) {
        m_error = QStringLiteral("The temporary folder %1 is not used: %2.").arg(folder, reason);
        return QString();
    };

    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return refuse(QStringLiteral("it cannot be created (%1)").arg(systemError(errno)));
    // Whatever is at the path now, created by us or not, is checked through a
    // descriptor that cannot follow a link, so it cannot be swapped in between.
    const int fd = ::open(native.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        // A link fails as ELOOP or ENOTDIR, depending on where it points.
        const int error = errno;
        if (::lstat(native.constData(), &st) == 0 && S_ISLNK(st.st_mode))
            return refuse(QStringLiteral("it is a symbolic link"));
        if (error == ENOTDIR)
            return refuse(QStringLiteral("it is not a folder"));
        return refuse(QStringLiteral("it cannot be opened (%1)").arg(systemError(error)));
    }
    QString reason;
    if (::fstat(fd, &st) != 0)
        reason = QStringLiteral("it cannot be examined (%1)").arg(systemError(errno));
    else if (!S_ISDIR(st.st_mode))
        reason = QStringLiteral("it is not a folder");
    else if (st.st_uid != ::geteuid())
        reason = QStringLiteral("it belongs to another user (uid %1)").arg(st.st_uid);
    else if ((st.st_mode & 07777) != 0700 && ::fchmod(fd, 0700) != 0)
        reason =
            QStringLiteral("its permissions cannot be set to 0700 (%1)").arg(systemError(errno));
    ::close(fd);
    if (!reason.isEmpty())
        return refuse(reason);
    m_path = folder;
    return m_path;
}

} // namespace sonorel::platform
