#include "export/encoder.h"

#include <filesystem>
#include <QFile>
#include <QFileInfo>

namespace sonorel::exporting {

namespace fs = std::filesystem;

namespace {
fs::path native(const QString& path) {
    return fs::path(QFile::encodeName(path).toStdString());
}
} // namespace

bool isWavFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(12);
    return head.size() == 12 && head.startsWith("RIFF") && head.mid(8, 4) == "WAVE";
}

EncoderStart startEncoder(platform::ProcessLauncher& launcher, const QString& programFolder,
                          const QString& wav, const QString& mp3) {
    EncoderStart result;
    const QString lame = platform::findHelperProgram(QStringLiteral("lame"), programFolder);
    const QStringList arguments = {QStringLiteral("-f"), wav, mp3};
    result.command = (lame.isEmpty() ? QStringLiteral("lame") : lame) + ' ' + arguments.join(' ');
    if (lame.isEmpty()) {
        result.error = QStringLiteral("The MP3 encoder \"lame\" was not found, neither beside the "
                                      "program nor on the search path (Debian package \"lame\").");
        return result;
    }
    if (!isWavFile(wav)) {
        result.error = wav + QStringLiteral(" is not a WAV file, so there is nothing to encode.");
        return result;
    }
    result.pid = launcher.start(lame, arguments, platform::WindowMode::Hidden);
    if (!result.pid)
        result.error =
            QStringLiteral("The MP3 encoder ") + lame + QStringLiteral(" could not be started.");
    return result;
}

QString moveFile(const QString& from, const QString& to) {
    std::error_code ec;
    const fs::path source = native(from), target = native(to);
    if (fs::equivalent(source, target, ec))
        return {};
    ec.clear();
    fs::rename(source, target, ec);
    if (!ec)
        return {};
    if (ec != std::errc::cross_device_link)
        return QString::fromStdString(ec.message());
    // Another file system: a complete copy beside the target, then renamed over it.
    fs::path part = target;
    part += ".part";
    fs::remove(part, ec);
    ec.clear();
    fs::copy_file(source, part, ec);
    if (!ec)
        fs::rename(part, target, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(part, ignored);
        return QString::fromStdString(ec.message());
    }
    fs::remove(source, ec);
    return {};
}

QString keptWavPath(const QString& mp3Target) {
    const QFileInfo info(mp3Target);
    const QString stem = info.path() + '/' + info.completeBaseName();
    QString candidate = stem + QStringLiteral(".wav");
    for (int n = 2; QFileInfo::exists(candidate); ++n)
        candidate = stem + QStringLiteral(" (") + QString::number(n) + QStringLiteral(").wav");
    return candidate;
}

} // namespace sonorel::exporting
