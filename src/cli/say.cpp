#include "cli/say.h"

#include "cli/options.h"
#include "cli/outputs.h"
#include "cli/progress.h"
#include "cli/subtitles.h"
#include "cli/voicepick.h"
#include "platform/speech/audiosink.h"
#include "platform/speech/espeakfamily.h"
#include "platform/speech/flitefamily.h"
#include "platform/speech/sapi5.h"
#include "platform/speech/session.h"
#include "platform/speech/wavrender.h"
#include "platform/textdecoding.h"
#include "platform/textfile.h"
#include "voices/units.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <QCoreApplication>
#include <QFile>
#include <unistd.h>

namespace sonorel::cli {

namespace {

namespace speech = platform::speech;

// Set by an interrupting signal: the rendering stops and its files are removed.
std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void onInterrupt(int) {
    g_interrupted = true;
}

void catchInterrupts() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

void print(std::FILE* to, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), to);
    std::fflush(to);
}

int failWith(const QString& message, int status = kExitFailure) {
    print(stderr, QStringLiteral("sonorel-say: %1\n").arg(message));
    return status;
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

// What to speak, or why there is nothing.
std::optional<QString> readText(const Options& o, QString& error) {
    switch (o.source) {
    case Source::Arguments:
        return o.text;
    case Source::File: {
        const platform::TextFileResult r = platform::readTextFile(o.file);
        if (!r.text)
            error = refusalText(o.file, r);
        return r.text;
    }
    case Source::StandardInput: {
        QFile in;
        if (!in.open(stdin, QIODevice::ReadOnly)) {
            error = QStringLiteral("cannot read standard input");
            return std::nullopt;
        }
        const QByteArray bytes = in.readAll();
        return platform::looksLikeRtf(bytes) ? platform::rtfToPlainText(bytes)
                                             : platform::decodePlainText(bytes);
    }
    }
    return std::nullopt;
}

// The reader's scales: generation 4 places 0..100 on the engine's own range;
// generation 5 turns the position into its -10..10 rate first.
speech::SynthSettings settingsFor(const ListedVoice& v, const Options& o) {
    const speech::UnitRange speed = v.family->speedRange(v.index);
    const speech::UnitRange pitch = v.family->pitchRange(v.index);
    speech::SynthSettings s{speed.normal, pitch.normal};
    if (o.rate)
        s.speed = v.generation == 4
                      ? voices::engineFromPosition(*o.rate, speed.min, speed.max)
                      : speech::speedForRate(speed, voices::rateFromPosition(*o.rate));
    if (o.pitch)
        s.pitch = voices::engineFromPosition(*o.pitch, pitch.min, pitch.max);
    return s;
}

int play(const QString& text, const std::shared_ptr<speech::Synthesizer>& synth,
         const speech::SynthSettings& settings, float gain) {
    speech::SpeechSession session(
        speech::makeSinkFactory(speech::audioModeFromName(qEnvironmentVariable("SONOREL_AUDIO")),
                                QStringLiteral("sonorel-say")));
    session.setSynthesizer(synth);
    session.setSettings(settings);
    session.setGains(gain, gain);
    if (session.speak(text) == 0)
        return failWith(QStringLiteral("the voice cannot speak"));
    session.waitUntilDone(-1);
    return kExitOk;
}

int render(const QString& text, const Options& o, const std::shared_ptr<speech::Synthesizer>& synth,
           const speech::SynthSettings& settings, float gain, const QString& programFolder) {
    const OutputKind kind = outputKindFor(o.output);
    if (kind == OutputKind::Unknown)
        return failWith(QStringLiteral("cannot write %1: unknown sound file type "
                                       "(use .wav, .flac, .ogg, .opus or .mp3)")
                            .arg(o.output),
                        kExitUsage);
    const SubtitleKind subtitleKind = subtitleKindFor(o.subtitles);
    if (!o.subtitles.isEmpty() && subtitleKind == SubtitleKind::Unknown)
        return failWith(QStringLiteral("cannot write %1: unknown subtitle type (use .srt or .lrc)")
                            .arg(o.subtitles),
                        kExitUsage);
    // The subtitles' folder is tried before any speech is made.
    QString subtitleTemp;
    if (!o.subtitles.isEmpty()) {
        QString error;
        subtitleTemp = reserveTemporary(o.subtitles, error);
        if (subtitleTemp.isEmpty())
            return failWith(error);
    }
    const auto dropSubtitles = [&subtitleTemp] {
        if (!subtitleTemp.isEmpty())
            QFile::remove(subtitleTemp);
    };
    std::unique_ptr<SampleOutput> out = makeOutput(kind, o.output, programFolder);
    catchInterrupts();
    if (QString error = out->open(synth->sampleRate()); !error.isEmpty()) {
        out->discard();
        dropSubtitles();
        return failWith(error);
    }
    SubtitleBuilder subtitles(text, synth->sampleRate());
    ProgressLine progress(stderr, ::isatty(STDERR_FILENO) == 1, int(text.size()));
    speech::RenderRequest request;
    request.text = text;
    request.synth = synth;
    request.settings = settings;
    request.gain = gain;
    const speech::RenderResult r = speech::renderSamples(
        request, g_interrupted,
        [&out](const std::int16_t* samples, std::size_t count) {
            return out->write(samples, count);
        },
        [&subtitles, &progress](int position, int length, std::int64_t sample) {
            subtitles.word(position, length, sample);
            progress.reached(position);
        });
    progress.finish();
    QString error = r.error;
    if (r.cancelled)
        error = QStringLiteral("interrupted: %1 was not written").arg(o.output);
    if (error.isEmpty() && !subtitleTemp.isEmpty()) {
        const QList<Cue> cues = subtitles.cues(r.frames);
        QFile file(subtitleTemp);
        const QByteArray bytes =
            (subtitleKind == SubtitleKind::Srt ? formatSrt(cues) : formatLrc(cues)).toUtf8();
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(bytes) != bytes.size() || !file.flush())
            error = QStringLiteral("cannot write %1: %2").arg(o.subtitles, file.errorString());
    }
    if (error.isEmpty())
        error = out->finish();
    if (!error.isEmpty()) {
        out->discard();
        dropSubtitles();
        return failWith(error);
    }
    if (!subtitleTemp.isEmpty()) {
        if (QString e = renameOnto(subtitleTemp, o.subtitles); !e.isEmpty()) {
            dropSubtitles();
            return failWith(e);
        }
    }
    return kExitOk;
}

} // namespace

int runSay(const QStringList& arguments, const QString& programFolder) {
    const ParseResult parsed = parseArguments(arguments);
    if (!parsed.options) {
        failWith(parsed.error, kExitUsage);
        print(stderr, QStringLiteral("Try 'sonorel-say --help'.\n"));
        return kExitUsage;
    }
    const Options& o = *parsed.options;
    if (o.action == Action::Help) {
        print(stdout, usageText());
        return kExitOk;
    }
    if (o.action == Action::Version) {
        print(stdout,
              QStringLiteral("sonorel-say %1\n").arg(QCoreApplication::applicationVersion()));
        return kExitOk;
    }

    speech::FliteFamily flite;
    speech::EspeakFamily espeak;
    const QList<ListedVoice> voices = listVoices(flite, espeak);
    if (o.action == Action::ListVoices) {
        QString list;
        for (const ListedVoice& v : voices)
            list += v.language.isEmpty() ? v.text + u'\n'
                                         : QStringLiteral("%1\t%2\n").arg(v.text, v.language);
        print(stdout, list);
        return kExitOk;
    }

    // The reader's own default voice.
    const VoicePick pick =
        pickVoice(voices, o.voice.isEmpty() ? QStringLiteral("Mary (TTS4.0)") : o.voice);
    if (!pick.voice) {
        QString message = pick.candidates.size() == voices.size()
                              ? QStringLiteral("no voice matches \"%1\"; the voices are:\n")
                              : QStringLiteral("\"%1\" could be any of these voices:\n");
        message = message.arg(o.voice);
        for (const ListedVoice* v : pick.candidates)
            message += QStringLiteral("  ") + v->text + u'\n';
        message.chop(1);
        return failWith(message, kExitUsage);
    }

    QString error;
    const std::optional<QString> text = readText(o, error);
    if (!text)
        return failWith(error);

    std::shared_ptr<speech::Synthesizer> synth;
    speech::SynthSettings settings;
    try {
        synth = pick.voice->family->synthesizer(pick.voice->index);
        settings = settingsFor(*pick.voice, o);
    } catch (const std::exception& e) {
        return failWith(QStringLiteral("the voice %1 cannot be used: %2")
                            .arg(pick.voice->text, QString::fromLocal8Bit(e.what())));
    }
    const float gain = float(o.volume) / 100.0f;
    if (o.output.isEmpty())
        return play(*text, synth, settings, gain);
    return render(*text, o, synth, settings, gain, programFolder);
}

} // namespace sonorel::cli
