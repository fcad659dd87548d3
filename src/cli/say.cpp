#include "cli/say.h"

#include "cli/batch.h"
#include "cli/options.h"
#include "cli/progress.h"
#include "cli/render.h"
#include "cli/voicepick.h"
#include "platform/speech/audiosink.h"
#include "platform/speech/espeakfamily.h"
#include "platform/speech/flitefamily.h"
#include "platform/speech/sapi5.h"
#include "platform/speech/session.h"
#include "platform/textdecoding.h"
#include "platform/textfile.h"
#include "voices/units.h"

#include <cstdio>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <unistd.h>

namespace sonorel::cli {

namespace {

namespace speech = platform::speech;

void print(std::FILE* to, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), to);
    std::fflush(to);
}

int failWith(const QString& message, int status = kExitFailure) {
    print(stderr, QStringLiteral("sonorel-say: %1\n").arg(message));
    return status;
}

// What to speak, or why there is nothing: one text per file, in turn.
std::optional<QStringList> readTexts(const Options& o, QString& error) {
    switch (o.source) {
    case Source::Arguments:
        return QStringList{o.text};
    case Source::File: {
        QStringList problems;
        const QStringList files = textFilesOf(o.files, problems);
        if (!problems.isEmpty()) {
            error = problems.join(u'\n');
            return std::nullopt;
        }
        QStringList texts;
        for (const QString& f : files) {
            const std::optional<QString> text = readTextFrom(f, error);
            if (!text)
                return std::nullopt;
            texts.append(*text);
        }
        return texts;
    }
    case Source::StandardInput: {
        QFile in;
        if (!in.open(stdin, QIODevice::ReadOnly)) {
            error = QStringLiteral("cannot read standard input");
            return std::nullopt;
        }
        const QByteArray bytes = in.readAll();
        return QStringList{platform::looksLikeRtf(bytes) ? platform::rtfToPlainText(bytes)
                                                         : platform::decodePlainText(bytes)};
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

int play(const QStringList& texts, const Speaker& speaker) {
    speech::SpeechSession session(
        speech::makeSinkFactory(speech::audioModeFromName(qEnvironmentVariable("SONOREL_AUDIO")),
                                QStringLiteral("sonorel-say")));
    session.setSynthesizer(speaker.synth);
    session.setSettings(speaker.settings);
    session.setGains(speaker.gain, speaker.gain);
    for (const QString& text : texts) {
        if (session.speak(text) == 0)
            return failWith(QStringLiteral("the voice cannot speak"));
        session.waitUntilDone(-1);
    }
    return kExitOk;
}

int render(const QString& text, const Options& o, const Speaker& speaker,
           const QString& programFolder) {
    if (QString error = outputTypeError(o.output, o.subtitles); !error.isEmpty())
        return failWith(error, kExitUsage);
    catchInterrupts();
    ProgressLine progress(stderr, ::isatty(STDERR_FILENO) == 1, text.size());
    const QString error = renderInto(text, o.output, o.subtitles, speaker, programFolder,
                                     [&progress](int position) { progress.reached(position); });
    progress.finish();
    return error.isEmpty() ? kExitOk : failWith(error);
}

} // namespace

int runSay(const QStringList& arguments, const QString& program) {
    const QString programFolder = QFileInfo(program).absolutePath();
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

    if (!o.folder.isEmpty())
        return runFolder(o, pick.voice->text, program);

    QString error;
    std::optional<QStringList> texts;
    if (o.action == Action::Speak) {
        texts = readTexts(o, error);
        if (!texts)
            return failWith(error);
        if (!o.output.isEmpty() && texts->size() != 1)
            return failWith(QStringLiteral("-o names one file: %1 holds several, use -d FOLDER")
                                .arg(o.files.value(0)),
                            kExitUsage);
    }

    Speaker speaker;
    try {
        speaker.synth = pick.voice->family->synthesizer(pick.voice->index);
        speaker.settings = settingsFor(*pick.voice, o);
    } catch (const std::exception& e) {
        return failWith(QStringLiteral("the voice %1 cannot be used: %2")
                            .arg(pick.voice->text, QString::fromLocal8Bit(e.what())));
    }
    speaker.gain = float(o.volume) / 100.0f;
    if (o.action == Action::Worker)
        return runWorker(speaker, programFolder);
    if (o.output.isEmpty())
        return play(*texts, speaker);
    return render(texts->constFirst(), o, speaker, programFolder);
}

} // namespace sonorel::cli
