#include "cli/options.h"

#include "cli/outputs.h"

namespace sonorel::cli {

namespace {

// A whole number within 0..100, as the reader's scroll bars take them.
std::optional<int> scaleValue(const QString& text) {
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < 0 || value > 100)
        return std::nullopt;
    return value;
}

} // namespace

QString usageText() {
    return QStringLiteral(
        "Usage: sonorel-say [OPTIONS] (-f FILE | -i | TEXT...) [-o OUT]\n"
        "       sonorel-say [OPTIONS] -f FILE|FOLDER... -d FOLDER [--format EXT]\n"
        "Speaks text with the reader's voices, into a sound file or the sound output.\n"
        "\n"
        "  -v, --voice VOICE   a voice by its list text or a unique part of it\n"
        "  -r, --rate N        speed, 0..100 (50 is the voice's normal speed)\n"
        "  -p, --pitch N       pitch, 0..100\n"
        "      --volume N      volume, 0..100 (default 100)\n"
        "  -f, --file FILE     speak a text file (UTF-8, UTF-16, Windows-1252 or RTF);\n"
        "                      several -f or a folder (its .txt files) speak in turn\n"
        "  -i, --stdin         speak what standard input holds\n"
        "  -o, --output OUT    write OUT: .wav, .flac, .ogg, .opus or .mp3;\n"
        "                      - writes WAV to standard output.\n"
        "                      Without -o the speech plays through the sound output.\n"
        "      --subtitles SUB subtitles of the speech in OUT: .srt or .lrc\n"
        "  -d, --folder DIR    convert every file into DIR, one sound file each,\n"
        "                      several at once on all processors\n"
        "      --format EXT    with -d: wav, flac, ogg, opus or mp3 (default wav);\n"
        "                      --subtitles srt or lrc writes subtitles beside each\n"
        "      --list-voices   list every voice, one a line, and its language\n"
        "  -h, --help          show this help\n"
        "      --version       show the version\n"
        "\n"
        "Exit status: 0 done, 1 failure, 2 usage error.\n");
}

ParseResult parseArguments(const QStringList& arguments) {
    Options o;
    QStringList words;
    bool haveFile = false, haveStdin = false, endOfOptions = false;
    const auto fail = [](const QString& error) { return ParseResult{std::nullopt, error}; };

    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        if (endOfOptions || !a.startsWith(u'-') || a == u"-") {
            words.append(a);
            continue;
        }
        if (a == u"--") {
            endOfOptions = true;
            continue;
        }
        // "--name=value" is read as "--name value".
        QString name = a, inlineValue;
        bool hasInline = false;
        if (a.startsWith(u"--")) {
            if (const qsizetype eq = a.indexOf(u'='); eq > 0) {
                name = a.left(eq);
                inlineValue = a.mid(eq + 1);
                hasInline = true;
            }
        }
        const auto value = [&](QString& into) {
            if (hasInline) {
                into = inlineValue;
                return true;
            }
            if (i + 1 >= arguments.size())
                return false;
            into = arguments.at(++i);
            return true;
        };
        QString v;
        if (name == u"-h" || name == u"--help") {
            o.action = Action::Help;
        } else if (name == u"--version") {
            o.action = Action::Version;
        } else if (name == u"--list-voices") {
            o.action = Action::ListVoices;
        } else if (name == u"-i" || name == u"--stdin") {
            haveStdin = true;
        } else if (name == u"-v" || name == u"--voice") {
            if (!value(o.voice))
                return fail(QStringLiteral("%1 needs a voice").arg(name));
        } else if (name == u"-f" || name == u"--file") {
            if (!value(v) || v.isEmpty())
                return fail(QStringLiteral("%1 needs a file name").arg(name));
            o.files.append(v);
            haveFile = true;
        } else if (name == u"-d" || name == u"--folder") {
            if (!value(o.folder) || o.folder.isEmpty())
                return fail(QStringLiteral("%1 needs a folder").arg(name));
        } else if (name == u"--format") {
            if (!value(o.format) || o.format.isEmpty())
                return fail(
                    QStringLiteral("%1 needs a type: wav, flac, ogg, opus or mp3").arg(name));
        } else if (name == u"--worker") {
            o.action = Action::Worker;
        } else if (name == u"-o" || name == u"--output") {
            if (!value(o.output) || o.output.isEmpty())
                return fail(QStringLiteral("%1 needs a file name").arg(name));
        } else if (name == u"--subtitles") {
            if (!value(o.subtitles) || o.subtitles.isEmpty())
                return fail(QStringLiteral("%1 needs a file name").arg(name));
        } else if (name == u"-r" || name == u"--rate" || name == u"-p" || name == u"--pitch" ||
                   name == u"--volume") {
            if (!value(v))
                return fail(QStringLiteral("%1 needs a number from 0 to 100").arg(name));
            const auto n = scaleValue(v);
            if (!n)
                return fail(
                    QStringLiteral("%1 takes a number from 0 to 100, not \"%2\"").arg(name, v));
            if (name == u"-r" || name == u"--rate")
                o.rate = n;
            else if (name == u"--volume")
                o.volume = *n;
            else
                o.pitch = n;
        } else {
            return fail(QStringLiteral("unknown option %1").arg(a));
        }
    }
    if (o.action != Action::Speak)
        return {o, {}};

    if (!o.folder.isEmpty()) {
        if (!haveFile || haveStdin || !words.isEmpty())
            return fail(QStringLiteral("-d converts files: give -f FILE or -f FOLDER"));
        if (!o.output.isEmpty())
            return fail(QStringLiteral("give -o OUT for one file or -d FOLDER for several"));
        o.format = o.format.isEmpty() ? QStringLiteral("wav") : o.format.toLower();
        // The types -o knows by extension, standard output aside.
        const OutputKind kind = outputKindFor(QStringLiteral("x.") + o.format);
        if (kind == OutputKind::Unknown || kind == OutputKind::StandardOutput)
            return fail(QStringLiteral("--format takes wav, flac, ogg, opus or mp3, not \"%1\"")
                            .arg(o.format));
        o.subtitles = o.subtitles.toLower();
        if (!o.subtitles.isEmpty() && o.subtitles != u"srt" && o.subtitles != u"lrc")
            return fail(QStringLiteral("with -d, --subtitles takes srt or lrc"));
        o.source = Source::File;
        return {o, {}};
    }
    if (!o.format.isEmpty())
        return fail(QStringLiteral("--format goes with -d FOLDER; with -o the extension says it"));
    if (o.files.size() > 1 && !o.output.isEmpty())
        return fail(QStringLiteral("-o names one file: several files need -d FOLDER"));
    if (!o.subtitles.isEmpty() && o.output.isEmpty())
        return fail(QStringLiteral("--subtitles needs -o OUT: they are timed on the sound file"));
    const int sources = int(haveFile) + int(haveStdin) + int(!words.isEmpty());
    if (sources == 0)
        return fail(QStringLiteral("nothing to speak: give -f FILE, -i or the text"));
    if (sources > 1)
        return fail(QStringLiteral("give only one of -f FILE, -i and the text"));
    if (haveFile)
        o.source = Source::File;
    else if (haveStdin)
        o.source = Source::StandardInput;
    else
        o.text = words.join(u' ');
    return {o, {}};
}

} // namespace sonorel::cli
