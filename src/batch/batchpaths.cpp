#include "batch/batchpaths.h"

#include <cerrno>
#include <filesystem>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <system_error>
#include <unistd.h>

namespace sonorel::batch {

namespace fs = std::filesystem;

QString baseName(const QString& fileName) {
    return fileName.left(fileName.size() - 3);
}

QString inFolder(const QString& folder, const QString& name) {
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

void fillJobLists(JobLists& lists, JobKind kind, const QString& sourceFolder,
                  const QStringList& names, const QString& target, const QString& tempFolder) {
    lists.SourceFiles.clear();
    if (kind == JobKind::Mp3) {
        lists.WaveFiles.clear();
        lists.TempMp3Files.clear();
        lists.TargetMp3Files.clear();
    } else {
        lists.TargetWaveFiles.clear();
    }
    for (const QString& name : names) {
        const QString base = baseName(name);
        lists.SourceFiles << inFolder(sourceFolder, name);
        if (kind == JobKind::Mp3) {
            lists.WaveFiles << inFolder(tempFolder, base + QStringLiteral("wav"));
            lists.TempMp3Files << inFolder(tempFolder, base + QStringLiteral("mp3"));
            lists.TargetMp3Files << inFolder(target, base + QStringLiteral("mp3"));
        } else {
            lists.TargetWaveFiles << inFolder(target, base + QStringLiteral("wav"));
        }
    }
    lists.FileCount = int(names.size());
}

namespace {
fs::path native(const QString& path) {
    return fs::path(QFile::encodeName(path).toStdString());
}

QString startFailure(const std::error_code& ec) {
    switch (ec.value()) {
    case EACCES:
    case EPERM:
    case EROFS:
        return QStringLiteral("Can not write to target folder");
    case ENOENT:
    case ENOTDIR:
    case ENXIO:
    case ENODEV:
        return QStringLiteral("Please select an available target folder");
    default:
        return QStringLiteral("Error code:") + QString::number(ec.value()) +
               QStringLiteral("  Description:") + QString::fromStdString(ec.message());
    }
}
} // namespace

QString writeTest(const QString& probe, const QString& target) {
    if (!QFileInfo(probe).isFile())
        return QStringLiteral("Some files are lost, please reinstall Sonorel");
    std::error_code ec;
    const fs::path folder = native(target);
    if (!fs::is_directory(folder, ec))
        return startFailure(ec ? ec : std::make_error_code(std::errc::no_such_file_or_directory));
    const fs::path copy = folder / native(QFileInfo(probe).fileName());
    // The target is the program's own folder: the shipped file must stay.
    if (fs::equivalent(native(probe), copy, ec))
        return ::access(folder.c_str(), W_OK) == 0
                   ? QString()
                   : QStringLiteral("Can not write to target folder");
    ec.clear();
    fs::copy_file(native(probe), copy, fs::copy_options::overwrite_existing, ec);
    if (ec)
        return startFailure(ec);
    if (!fs::exists(copy, ec))
        return QStringLiteral("Can not write to target folder");
    fs::remove(copy, ec);
    return {};
}

QStringList drivesFromMounts(const QByteArray& mounts, const QString& home) {
    QStringList drives = {QStringLiteral("/")};
    if (!home.isEmpty() && home != QLatin1String("/"))
        drives << home;
    for (const QByteArray& line : mounts.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 2)
            continue;
        // Blanks and the like are written as octal escapes (\040).
        QByteArray point = fields[1];
        point.replace("\\040", " ").replace("\\011", "\t").replace("\\134", "\\");
        const QString mount = QString::fromUtf8(point);
        const bool removable = mount.startsWith(QLatin1String("/media/")) ||
                               mount.startsWith(QLatin1String("/run/media/"));
        if (removable && !drives.contains(mount))
            drives << mount;
    }
    return drives;
}

QStringList currentDrives() {
    QFile mounts(QStringLiteral("/proc/self/mounts"));
    const QByteArray text = mounts.open(QIODevice::ReadOnly) ? mounts.readAll() : QByteArray();
    return drivesFromMounts(text, QDir::homePath());
}

QString driveOf(const QString& path, const QStringList& drives) {
    QString best;
    for (const QString& drive : drives) {
        const bool holds = path == drive || drive == QLatin1String("/") ||
                           path.startsWith(drive.endsWith(u'/') ? drive : drive + u'/');
        if (holds && drive.size() > best.size())
            best = drive;
    }
    return best;
}

} // namespace sonorel::batch
