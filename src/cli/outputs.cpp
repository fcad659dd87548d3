#include "cli/outputs.h"

#include "platform/process.h"

#include <array>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryFile>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace sonorel::cli {

namespace {

// libsndfile formats: WAV, FLAC, Ogg Vorbis, Ogg Opus.
class SndfileOutput final : public SampleOutput {
public:
    SndfileOutput(QString path, int format) : m_path(std::move(path)), m_format(format) {}
    ~SndfileOutput() override { discard(); }

    QString open(int sampleRate) override {
        QString error;
        m_temp = reserveTemporary(m_path, error);
        if (m_temp.isEmpty())
            return error;
        const bool opus = (m_format & SF_FORMAT_SUBMASK) == SF_FORMAT_OPUS;
        m_inRate = sampleRate;
        m_outRate = opus ? opusRateFor(sampleRate) : sampleRate;
        SF_INFO info{};
        info.samplerate = m_outRate;
        info.channels = 1;
        info.format = m_format;
        m_file = sf_open(QFile::encodeName(m_temp).constData(), SFM_WRITE, &info);
        if (!m_file)
            return QStringLiteral("cannot write %1: %2").arg(m_path, sf_strerror(nullptr));
        return {};
    }

    QString write(const std::int16_t* samples, std::size_t count) override {
        if (m_outRate != m_inRate) {
            resample(samples, count);
            samples = m_resampled.data();
            count = m_resampled.size();
        }
        if (sf_writef_short(m_file, samples, sf_count_t(count)) != sf_count_t(count))
            return QStringLiteral("cannot write %1: %2").arg(m_path, sf_strerror(m_file));
        return {};
    }

    QString finish() override {
        const int closed = sf_close(m_file);
        m_file = nullptr;
        if (closed != 0)
            return QStringLiteral("cannot write %1: %2").arg(m_path, sf_error_number(closed));
        if (QString error = renameOnto(m_temp, m_path); !error.isEmpty())
            return error;
        m_temp.clear();
        return {};
    }

    void discard() override {
        if (m_file)
            sf_close(m_file);
        m_file = nullptr;
        if (!m_temp.isEmpty())
            QFile::remove(m_temp);
        m_temp.clear();
    }

private:
    // Linear interpolation, carried across calls: speech holds little above the
    // voices' own Nyquist frequency, and the raise is small (22050 to 24000 Hz).
    void resample(const std::int16_t* in, std::size_t count) {
        m_resampled.clear();
        const double step = double(m_inRate) / m_outRate;
        for (std::size_t i = 0; i < count; ++i) {
            const double next = in[i];
            while (m_phase < 1.0) {
                m_resampled.push_back(std::int16_t(m_last + (next - m_last) * m_phase));
                m_phase += step;
            }
            m_phase -= 1.0;
            m_last = next;
        }
    }

    QString m_path, m_temp;
    int m_format;
    SNDFILE* m_file = nullptr;
    int m_inRate = 0, m_outRate = 0;
    double m_phase = 0.0, m_last = 0.0;
    std::vector<std::int16_t> m_resampled;
};

// WAV on standard output. A pipe cannot be rewound to fill in the sizes, so the
// header claims the largest size, which players read as "until the end".
class StandardOutputWav final : public SampleOutput {
public:
    QString open(int sampleRate) override {
        // Redirected into a file, the header can be made true at the end.
        struct stat st {};
        const int flags = ::fcntl(STDOUT_FILENO, F_GETFL);
        if (::fstat(STDOUT_FILENO, &st) == 0 && S_ISREG(st.st_mode) && flags >= 0 &&
            !(flags & O_APPEND))
            m_start = ::lseek(STDOUT_FILENO, 0, SEEK_CUR);
        std::array<unsigned char, 44> h{};
        const auto put = [&h](int at, std::uint32_t v, int bytes) {
            for (int i = 0; i < bytes; ++i)
                h[std::size_t(at + i)] = static_cast<unsigned char>(v >> (8 * i));
        };
        std::memcpy(h.data(), "RIFF", 4);
        put(4, 0xFFFFFFFFu, 4);
        std::memcpy(h.data() + 8, "WAVEfmt ", 8);
        put(16, 16, 4);
        put(20, 1, 2); // PCM
        put(22, 1, 2); // mono
        put(24, std::uint32_t(sampleRate), 4);
        put(28, std::uint32_t(sampleRate) * 2, 4);
        put(32, 2, 2);
        put(34, 16, 2);
        std::memcpy(h.data() + 36, "data", 4);
        put(40, 0xFFFFFFFFu - 36, 4);
        return writeAll(h.data(), h.size());
    }
    QString write(const std::int16_t* samples, std::size_t count) override {
        std::vector<unsigned char> bytes(count * 2);
        for (std::size_t i = 0; i < count; ++i) {
            const auto s = static_cast<std::uint16_t>(samples[i]);
            bytes[2 * i] = static_cast<unsigned char>(s);
            bytes[2 * i + 1] = static_cast<unsigned char>(s >> 8);
        }
        return writeAll(bytes.data(), bytes.size());
    }
    QString finish() override {
        if (m_start < 0)
            return {};
        const off_t end = ::lseek(STDOUT_FILENO, 0, SEEK_CUR);
        const std::uint64_t data = std::uint64_t(end - m_start - 44);
        if (end < 0 || data > 0xFFFFFFFFu - 36)
            return {}; // too long for a true header: the open-ended one stays
        const auto le32 = [](std::uint32_t v) {
            return std::array<unsigned char, 4>{
                static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
        };
        const auto riff = le32(std::uint32_t(data + 36)), size = le32(std::uint32_t(data));
        if (::pwrite(STDOUT_FILENO, riff.data(), 4, m_start + 4) != 4 ||
            ::pwrite(STDOUT_FILENO, size.data(), 4, m_start + 40) != 4)
            return QStringLiteral("cannot write to standard output: %1")
                .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return {};
    }
    void discard() override {}

private:
    off_t m_start = -1; // where the WAV begins in a file on standard output
    static QString writeAll(const unsigned char* data, std::size_t size) {
        while (size > 0) {
            const ssize_t n = ::write(STDOUT_FILENO, data, size);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return QStringLiteral("cannot write to standard output: %1")
                    .arg(QString::fromLocal8Bit(std::strerror(errno)));
            data += n;
            size -= std::size_t(n);
        }
        return {};
    }
};

// MP3 through the reader's encoder, `lame`, fed raw samples on its standard input
// while the speech is rendered, so encoding runs beside synthesis. "-f" as the
// reader's own exports: the encoder, not the voice, is the slower of the two.
class LameOutput final : public SampleOutput {
public:
    LameOutput(QString path, QString programFolder)
        : m_path(std::move(path)), m_programFolder(std::move(programFolder)) {}
    ~LameOutput() override { discard(); }

    QString open(int sampleRate) override {
        const QString lame = platform::findHelperProgram(QStringLiteral("lame"), m_programFolder);
        if (lame.isEmpty())
            return QStringLiteral("cannot write %1: the MP3 encoder \"lame\" is not installed")
                .arg(m_path);
        QString error;
        m_temp = reserveTemporary(m_path, error);
        if (m_temp.isEmpty())
            return error;
        m_process.setProgram(lame);
        m_process.setArguments(
            {QStringLiteral("-r"), QStringLiteral("-s"), QString::number(sampleRate / 1000.0),
             QStringLiteral("--bitwidth"), QStringLiteral("16"), QStringLiteral("--signed"),
             QStringLiteral("--little-endian"), QStringLiteral("-m"), QStringLiteral("m"),
             QStringLiteral("-f"), QStringLiteral("--quiet"), QStringLiteral("-"), m_temp});
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.start();
        if (!m_process.waitForStarted(-1))
            return QStringLiteral("cannot write %1: the MP3 encoder did not start: %2")
                .arg(m_path, m_process.errorString());
        return {};
    }

    QString write(const std::int16_t* samples, std::size_t count) override {
        static_assert(std::endian::native == std::endian::little);
        const qint64 bytes = qint64(count * sizeof(std::int16_t));
        if (m_process.write(reinterpret_cast<const char*>(samples), bytes) != bytes)
            return failure();
        // Hand everything over now: the encoder works while the next piece renders.
        while (m_process.bytesToWrite() > 0)
            if (!m_process.waitForBytesWritten(-1))
                return failure();
        return {};
    }

    QString finish() override {
        m_process.closeWriteChannel();
        m_process.waitForFinished(-1);
        if (m_process.exitStatus() != QProcess::NormalExit || m_process.exitCode() != 0)
            return failure();
        if (QString error = renameOnto(m_temp, m_path); !error.isEmpty())
            return error;
        m_temp.clear();
        return {};
    }

    void discard() override {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(-1);
        }
        if (!m_temp.isEmpty())
            QFile::remove(m_temp);
        m_temp.clear();
    }

private:
    QString failure() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.closeWriteChannel();
            m_process.waitForFinished(-1);
        }
        const QString said =
            QString::fromLocal8Bit(m_process.readAllStandardError()).trimmed().section(u'\n', -1);
        QString why = m_process.exitStatus() == QProcess::CrashExit
                          ? QStringLiteral("the MP3 encoder crashed")
                          : QStringLiteral("the MP3 encoder failed (exit status %1)")
                                .arg(m_process.exitCode());
        if (!said.isEmpty())
            why += QStringLiteral(": ") + said;
        return QStringLiteral("cannot write %1: %2").arg(m_path, why);
    }

    QString m_path, m_programFolder, m_temp;
    QProcess m_process;
};

} // namespace

// A name in the target's folder that nobody else uses; the file is created empty
// so that the name stays ours until it is renamed or removed.
QString reserveTemporary(const QString& target, QString& error) {
    const QFileInfo info(target);
    QTemporaryFile temp(
        info.absoluteDir().filePath(QStringLiteral(".%1.XXXXXX.part").arg(info.fileName())));
    temp.setAutoRemove(false);
    if (!temp.open()) {
        error = QStringLiteral("cannot write %1: %2").arg(target, temp.errorString());
        return {};
    }
    // A temporary file is private; the finished one gets the usual permissions.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::chmod(QFile::encodeName(temp.fileName()).constData(), 0666 & ~mask);
    return temp.fileName();
}

QString renameOnto(const QString& from, const QString& to) {
    // rename(2) replaces the target in one step; QFile::rename would refuse.
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        return QStringLiteral("cannot write %1: %2")
            .arg(to, QString::fromLocal8Bit(std::strerror(errno)));
    return {};
}

OutputKind outputKindFor(const QString& path) {
    if (path == u"-")
        return OutputKind::StandardOutput;
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == u"wav")
        return OutputKind::Wav;
    if (ext == u"flac")
        return OutputKind::Flac;
    if (ext == u"ogg" || ext == u"oga")
        return OutputKind::Ogg;
    if (ext == u"opus")
        return OutputKind::Opus;
    if (ext == u"mp3")
        return OutputKind::Mp3;
    return OutputKind::Unknown;
}

int opusRateFor(int sampleRate) {
    for (const int rate : {8000, 12000, 16000, 24000})
        if (sampleRate <= rate)
            return rate;
    return 48000;
}

std::unique_ptr<SampleOutput> makeOutput(OutputKind kind, const QString& path,
                                         const QString& programFolder) {
    switch (kind) {
    case OutputKind::Wav:
        return std::make_unique<SndfileOutput>(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    case OutputKind::Flac:
        return std::make_unique<SndfileOutput>(path, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    case OutputKind::Ogg:
        return std::make_unique<SndfileOutput>(path, SF_FORMAT_OGG | SF_FORMAT_VORBIS);
    case OutputKind::Opus:
        return std::make_unique<SndfileOutput>(path, SF_FORMAT_OGG | SF_FORMAT_OPUS);
    case OutputKind::Mp3:
        return std::make_unique<LameOutput>(path, programFolder);
    case OutputKind::StandardOutput:
        return std::make_unique<StandardOutputWav>();
    case OutputKind::Unknown:
        break;
    }
    return nullptr;
}

} // namespace sonorel::cli
