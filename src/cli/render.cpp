#include "cli/render.h"

#include "cli/outputs.h"
#include "cli/subtitles.h"
#include "platform/speech/wavrender.h"
#include "platform/textfile.h"

#include <atomic>
#include <csignal>
#include <QFile>

namespace sonorel::cli {

namespace {

namespace speech = platform::speech;

std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void onInterrupt(int) {
    g_interrupted = true;
}

QString refusalText(const QString& path, const platform::TextFileResult& r) {
    using platform::TextFileRefusal;
    switch (r.refusal) {
    case TextFileRefusal::Missing:
        return QStringLiteral("cannot read %1: no such file").arg(path);
    case TextFileRefusal::Folder:
        return QStringLiteral("cannot read %1: it is a folder").arg(path);
    case TextFileRefusal::NotRegular:
        return QStringLiteral("cannot read %1: not a regular file").arg(path);
    case TextFileRefusal::TooLarge:
        return QStringLiteral("cannot read %1: larger than %2 MB")
            .arg(path)
            .arg(platform::kMaxTextFileBytes / (1024 * 1024));
    case TextFileRefusal::Unreadable:
    case TextFileRefusal::None:
        break;
    }
    return QStringLiteral("cannot read %1: %2").arg(path, r.reason);
}

} // namespace

void catchInterrupts() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

bool interrupted() {
    return g_interrupted;
}

std::optional<QString> readTextFrom(const QString& path, QString& error) {
    const platform::TextFileResult r = platform::readTextFile(path);
    if (!r.text)
        error = refusalText(path, r);
    return r.text;
}

QString outputTypeError(const QString& output, const QString& subtitles) {
    if (outputKindFor(output) == OutputKind::Unknown)
        return QStringLiteral("cannot write %1: unknown sound file type "
                              "(use .wav, .flac, .ogg, .opus or .mp3)")
            .arg(output);
    if (!subtitles.isEmpty() && subtitleKindFor(subtitles) == SubtitleKind::Unknown)
        return QStringLiteral("cannot write %1: unknown subtitle type (use .srt or .lrc)")
            .arg(subtitles);
    return {};
}

QString renderInto(const QString& text, const QString& output, const QString& subtitlePath,
                   const Speaker& speaker, const QString& programFolder,
                   const std::function<void(int position)>& reached) {
    // The subtitles' folder is tried before any speech is made.
    QString subtitleTemp;
    if (!subtitlePath.isEmpty()) {
        QString error;
        subtitleTemp = reserveTemporary(subtitlePath, error);
        if (subtitleTemp.isEmpty())
            return error;
    }
    const auto dropSubtitles = [&subtitleTemp] {
        if (!subtitleTemp.isEmpty())
            QFile::remove(subtitleTemp);
    };
    std::unique_ptr<SampleOutput> out = makeOutput(outputKindFor(output), output, programFolder);
    if (QString error = out->open(speaker.synth->sampleRate()); !error.isEmpty()) {
        out->discard();
        dropSubtitles();
        return error;
    }
    SubtitleBuilder subtitles(text, speaker.synth->sampleRate());
    speech::RenderRequest request;
    request.text = text;
    request.synth = speaker.synth;
    request.settings = speaker.settings;
    request.gain = speaker.gain;
    const speech::RenderResult r = speech::renderSamples(
        request, g_interrupted,
        [&out](const std::int16_t* samples, std::size_t count) {
            return out->write(samples, count);
        },
        [&subtitles, &reached](int position, int length, std::int64_t sample) {
            subtitles.word(position, length, sample);
            reached(position);
        });
    QString error = r.error;
    // A Ctrl-C reaches the encoder too, which may be the first to fail.
    if (r.cancelled || interrupted())
        error = QStringLiteral("interrupted: %1 was not written").arg(output);
    if (error.isEmpty() && !subtitleTemp.isEmpty()) {
        const QList<Cue> cues = subtitles.cues(r.frames);
        QFile file(subtitleTemp);
        const QByteArray bytes =
            (subtitleKindFor(subtitlePath) == SubtitleKind::Srt ? formatSrt(cues) : formatLrc(cues))
                .toUtf8();
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(bytes) != bytes.size() || !file.flush())
            error = QStringLiteral("cannot write %1: %2").arg(subtitlePath, file.errorString());
    }
    if (error.isEmpty())
        error = out->finish();
    if (!error.isEmpty()) {
        out->discard();
        dropSubtitles();
        return error;
    }
    if (!subtitleTemp.isEmpty()) {
        if (QString e = renameOnto(subtitleTemp, subtitlePath); !e.isEmpty()) {
            dropSubtitles();
            return e;
        }
    }
    return {};
}

} // namespace sonorel::cli
