// sonorel-say run as a program, with the real engines and the real encoders.

#include "sayfixture.h"
#include "support/wavefile.h"

#include <array>
#include <cmath>
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <sndfile.h>

namespace sonorel::test {
namespace {

TEST_F(SayTest, ListsEveryVoiceOfBothGenerationsAsTheReaderDoes) {
    const SayRun r = say({"--list-voices"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QStringList lines = QString::fromUtf8(r.out).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_GT(lines.size(), 10);
    EXPECT_TRUE(lines.first().startsWith("Mary (TTS4.0)\t")) << lines.first().toStdString();
    EXPECT_TRUE(lines.contains("English (Great Britain) (TTS5.0)\ten-gb"));
    // Generation 4 comes first, then 5, never mixed.
    const qsizetype firstFive = lines.indexOf(QRegularExpression(R"(.*\(TTS5\.0\)(\t.*)?)"));
    ASSERT_GT(firstFive, 0);
    for (qsizetype i = 0; i < lines.size(); ++i)
        EXPECT_TRUE(lines[i].section(u'\t', 0, 0).endsWith(i < firstFive ? "(TTS4.0)" : "(TTS5.0)"))
            << lines[i].toStdString();
}

TEST_F(SayTest, EachFileFormatHoldsTheSameSpeechAsTheWav) {
    for (const QString& voice :
         {QStringLiteral("Mary (TTS4.0)"), QStringLiteral("Great Britain")}) {
        SCOPED_TRACE(voice.toStdString());
        const SayRun wav = say({"-v", voice, "-o", path("ref.wav"), kText});
        ASSERT_EQ(wav.status, 0) << wav.err.toStdString();
        const WaveStats ref = readWave(path("ref.wav"));
        ASSERT_GT(ref.seconds(), 2.0);
        EXPECT_EQ(majorFormat(path("ref.wav")), SF_FORMAT_WAV | SF_FORMAT_PCM_16);
        EXPECT_GT(peakOf(path("ref.wav")), 0.1);

        const std::pair<QString, int> formats[] = {{"t.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
                                                   {"t.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
                                                   {"t.opus", SF_FORMAT_OGG | SF_FORMAT_OPUS}};
        for (const auto& [name, format] : formats) {
            SCOPED_TRACE(name.toStdString());
            const SayRun r = say({"-v", voice, "-o", path(name), kText});
            ASSERT_EQ(r.status, 0) << r.err.toStdString();
            EXPECT_EQ(majorFormat(path(name)), format);
            const WaveStats s = readWave(path(name));
            EXPECT_NEAR(s.seconds(), ref.seconds(), 0.1);
            EXPECT_GT(peakOf(path(name)), 0.1);
        }

        const SayRun mp3 = say({"-v", voice, "-o", path("t.mp3"), kText});
        ASSERT_EQ(mp3.status, 0) << mp3.err.toStdString();
        const Mp3Walk walk = walkMp3(path("t.mp3"));
        EXPECT_FALSE(walk.brokenChain);
        EXPECT_EQ(walk.rate, ref.rate);
        // The encoder adds its delay and padding, less than three frames.
        EXPECT_NEAR(walk.seconds, ref.seconds(), 0.12);
        EXPECT_EQ(folderContents(), (QStringList{"ref.wav", "t.flac", "t.mp3", "t.ogg", "t.opus"}));
    }
}

TEST_F(SayTest, RateAndVolumeFollowTheReadersScales) {
    for (const QString& voice :
         {QStringLiteral("Mary (TTS4.0)"), QStringLiteral("Great Britain")}) {
        SCOPED_TRACE(voice.toStdString());
        ASSERT_EQ(say({"-v", voice, "-r", "0", "-o", path("slow.wav"), kText}).status, 0);
        ASSERT_EQ(say({"-v", voice, "-r", "100", "-o", path("fast.wav"), kText}).status, 0);
        ASSERT_EQ(say({"-v", voice, "-o", path("normal.wav"), kText}).status, 0);
        const double slow = readWave(path("slow.wav")).seconds(),
                     fast = readWave(path("fast.wav")).seconds(),
                     normal = readWave(path("normal.wav")).seconds();
        EXPECT_GT(slow, normal * 1.3);
        EXPECT_LT(fast, normal / 1.3);
    }
    ASSERT_EQ(say({"--volume", "50", "-o", path("half.wav"), kText}).status, 0);
    ASSERT_EQ(say({"-o", path("full.wav"), kText}).status, 0);
    EXPECT_NEAR(readWave(path("half.wav")).rms / readWave(path("full.wav")).rms, 0.5, 0.02);
}

TEST_F(SayTest, ReadsFilesAsTheReaderDoesAndStandardInput) {
    ASSERT_EQ(say({"-o", path("args.wav"), kText}).status, 0);
    const std::int64_t expected = readWave(path("args.wav")).frames;

    // UTF-16 with its byte order mark: read as raw bytes it would sound different.
    QByteArray utf16("\xff\xfe");
    for (const QChar c : kText)
        utf16.append(char(c.unicode() & 0xff)).append(char(c.unicode() >> 8));
    writeFile("utf16.txt", utf16);
    ASSERT_EQ(say({"-f", path("utf16.txt"), "-o", path("file.wav")}).status, 0);
    EXPECT_EQ(readWave(path("file.wav")).frames, expected);

    writeFile("doc.rtf", "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 " + kText.toLatin1() + "}");
    ASSERT_EQ(say({"-f", path("doc.rtf"), "-o", path("rtf.wav")}).status, 0);
    EXPECT_EQ(readWave(path("rtf.wav")).frames, expected);

    const SayRun piped = say({"-i", "-o", path("stdin.wav")}, kText.toUtf8());
    ASSERT_EQ(piped.status, 0) << piped.err.toStdString();
    EXPECT_EQ(readWave(path("stdin.wav")).frames, expected);
}

TEST_F(SayTest, WritesWavToStandardOutputInAPipe) {
    ASSERT_EQ(say({"-o", path("file.wav"), kText}).status, 0);
    const SayRun r = say({"-i", "-o", "-"}, kText.toUtf8());
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.isEmpty());
    writeFile("piped.wav", r.out);
    const WaveStats piped = readWave(path("piped.wav")), file = readWave(path("file.wav"));
    EXPECT_EQ(piped.rate, 16000);
    EXPECT_EQ(piped.frames, file.frames);
    // The same samples as the file's, after a header of the plain 44 bytes.
    QFile f(path("file.wav"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray samples = f.readAll().right(file.frames * 2);
    EXPECT_EQ(r.out.size(), 44 + samples.size());
    EXPECT_TRUE(r.out.endsWith(samples));
}

TEST_F(SayTest, WithoutAnOutputItPlaysAndWritesNothing) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // The silent output paces the speech as a sound card would.
    env.insert("SONOREL_AUDIO", "silent");
    QProcess p;
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(path());
    p.start(QStringLiteral(SONOREL_BIN_DIR "/sonorel-say"), {"Hello there."});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    EXPECT_TRUE(p.readAllStandardOutput().isEmpty());
    EXPECT_TRUE(folderContents().isEmpty());
}

struct ParsedCue {
    double start = 0, end = -1;
    QString text;
};

QList<ParsedCue> parseSrt(const QString& srt) {
    QList<ParsedCue> cues;
    const QRegularExpression time(
        R"((\d\d):(\d\d):(\d\d),(\d\d\d) --> (\d\d):(\d\d):(\d\d),(\d\d\d))");
    const QStringList blocks = srt.split(QStringLiteral("\n\n"), Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < blocks.size(); ++i) {
        const QStringList lines = blocks[i].split(u'\n');
        EXPECT_EQ(lines.size(), 3) << blocks[i].toStdString();
        EXPECT_EQ(lines.value(0), QString::number(i + 1));
        const auto m = time.match(lines.value(1));
        EXPECT_TRUE(m.hasMatch()) << lines.value(1).toStdString();
        const auto at = [&m](int first) {
            return m.captured(first).toInt() * 3600 + m.captured(first + 1).toInt() * 60 +
                   m.captured(first + 2).toInt() + m.captured(first + 3).toInt() / 1000.0;
        };
        cues.append({at(1), at(5), lines.value(2)});
    }
    return cues;
}

QList<ParsedCue> parseLrc(const QString& lrc) {
    QList<ParsedCue> cues;
    const QRegularExpression line(R"(^\[(\d\d):(\d\d)\.(\d\d)\](.*)$)");
    for (const QString& l : lrc.split(u'\n', Qt::SkipEmptyParts)) {
        const auto m = line.match(l);
        EXPECT_TRUE(m.hasMatch()) << l.toStdString();
        const double at =
            m.captured(1).toInt() * 60 + m.captured(2).toInt() + m.captured(3).toInt() / 100.0;
        if (!cues.isEmpty())
            cues.back().end = at;
        cues.append({at, -1, m.captured(4)});
    }
    // The closing line only ends the last cue.
    if (!cues.isEmpty() && cues.back().text.isEmpty())
        cues.removeLast();
    return cues;
}

TEST_F(SayTest, SubtitlesFollowTheSpeechOfBothGenerations) {
    const QString text =
        kText +
        QStringLiteral(
            "\n\nThis sentence, however, goes on and on for a good while, through commas and "
            "clauses, so that no single subtitle line could ever hold all of it at once. Short "
            "one! "
            "And the end?");
    for (const QString& voice :
         {QStringLiteral("Mary (TTS4.0)"), QStringLiteral("Great Britain")}) {
        for (const QString& kind : {QStringLiteral("srt"), QStringLiteral("lrc")}) {
            SCOPED_TRACE((voice + ' ' + kind).toStdString());
            const QString sub = path("t." + kind);
            const SayRun r = say({"-v", voice, "-o", path("t.wav"), "--subtitles", sub, text});
            ASSERT_EQ(r.status, 0) << r.err.toStdString();
            QFile f(sub);
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            const QString content = QString::fromUtf8(f.readAll());
            const QList<ParsedCue> cues = kind == "srt" ? parseSrt(content) : parseLrc(content);
            ASSERT_GE(cues.size(), 5);
            QStringList all;
            double previousStart = -1;
            for (const ParsedCue& c : cues) {
                EXPECT_GT(c.start, previousStart) << c.text.toStdString();
                EXPECT_GT(c.end, c.start) << c.text.toStdString();
                EXPECT_LE(c.end - c.start, 7.2) << c.text.toStdString();
                EXPECT_LE(c.text.size(), 80);
                previousStart = c.start;
                all.append(c.text);
            }
            EXPECT_EQ(all.join(u' '), text.simplified());
            EXPECT_NEAR(cues.back().end, readWave(path("t.wav")).seconds(), 0.2);
            EXPECT_LT(cues.front().start, 0.5);
        }
    }
    // Without a sound file there is no clock to time them on.
    EXPECT_EQ(say({"--subtitles", path("x.srt"), "hello"}).status, 2);
    EXPECT_EQ(say({"-o", path("x.wav"), "--subtitles", path("x.txt"), "hello"}).status, 2);
    EXPECT_EQ(say({"-o", path("x.wav"), "--subtitles", path("none/x.srt"), "hello"}).status, 1);
    EXPECT_EQ(folderContents(), (QStringList{"t.lrc", "t.srt", "t.wav"}));
}

TEST_F(SayTest, UsageErrorsAndUnknownVoicesExitWithTwoAndWriteNothing) {
    const SayRun ambiguous = say({"-v", "Kal", "-o", path("x.wav"), "hello"});
    EXPECT_EQ(ambiguous.status, 2);
    EXPECT_TRUE(ambiguous.err.contains("Kal (US English male, 8 kHz) (TTS4.0)"));
    EXPECT_TRUE(ambiguous.err.contains("Kal (US English male, 16 kHz) (TTS4.0)"));
    EXPECT_FALSE(ambiguous.err.contains("Mary"));

    const SayRun unknown = say({"-v", "Vulcan", "-o", path("x.wav"), "hello"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_TRUE(unknown.err.contains("Vulcan"));
    EXPECT_TRUE(unknown.err.contains("Mary (TTS4.0)"));

    EXPECT_EQ(say({"-r", "200", "-o", path("x.wav"), "hello"}).status, 2);
    EXPECT_EQ(say({"-o", path("x.wav")}).status, 2);
    EXPECT_EQ(say({"-o", path("x.aiff"), "hello"}).status, 2);
    EXPECT_TRUE(folderContents().isEmpty()) << folderContents().join(' ').toStdString();

    const SayRun help = say({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains("--list-voices"));
}

TEST_F(SayTest, FailuresSayWhatAndWhichFileAndLeaveNothingBehind) {
    const SayRun missing = say({"-f", path("nothing.txt"), "-o", path("x.wav")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.contains(path("nothing.txt").toUtf8())) << missing.err.toStdString();
    EXPECT_TRUE(missing.err.contains("no such file"));

    // A folder that is not there, and a "folder" that is a file.
    for (const QString& out : {path("none/x.wav"), path("plain.txt/x.mp3")}) {
        writeFile("plain.txt", "x");
        const SayRun r = say({"-o", out, "hello"});
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.err.contains(out.toUtf8())) << r.err.toStdString();
    }
    EXPECT_EQ(folderContents(), QStringList{"plain.txt"});
}

TEST_F(SayTest, AnInterruptedRenderingLeavesNothingBehind) {
    // Minutes of speech: it cannot end before the signal comes.
    QByteArray book;
    for (int i = 0; i < 2000; ++i)
        book += kText.toUtf8() + '\n';
    writeFile("book.txt", book);
    QDir().mkpath(path("out"));
    for (const QString& name : {QStringLiteral("x.wav"), QStringLiteral("x.mp3")}) {
        SCOPED_TRACE(name.toStdString());
        QProcess p;
        p.start(
            QStringLiteral(SONOREL_BIN_DIR "/sonorel-say"),
            {"-f", path("book.txt"), "-o", path("out/" + name), "--subtitles", path("out/x.srt")});
        ASSERT_TRUE(p.waitForStarted());
        // Until the output has begun under its temporary name.
        const auto begun = [&] {
            return !QDir(path("out"))
                        .entryList({"." + name + ".*.part"}, QDir::Files | QDir::Hidden)
                        .isEmpty();
        };
        while (!begun() && p.state() == QProcess::Running)
            p.waitForFinished(20);
        ASSERT_TRUE(begun());
        p.terminate();
        ASSERT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 1);
        EXPECT_TRUE(p.readAllStandardError().contains("interrupted"));
        EXPECT_TRUE(QDir(path("out")).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }
}

TEST_F(SayTest, AStandardOutputRedirectedIntoAFileGetsATrueHeader) {
    QProcess p;
    p.setStandardOutputFile(path("redirected.wav"));
    p.start(QStringLiteral(SONOREL_BIN_DIR "/sonorel-say"), {"-o", "-", kText});
    ASSERT_TRUE(p.waitForFinished(60000));
    ASSERT_EQ(p.exitCode(), 0);
    ASSERT_EQ(say({"-o", path("file.wav"), kText}).status, 0);
    QFile a(path("redirected.wav")), b(path("file.wav"));
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    EXPECT_EQ(a.readAll(), b.readAll());
}

TEST_F(SayTest, ShowsProgressOnlyOnATerminal) {
    // A pseudo-terminal for standard error, as an interactive shell gives.
    QProcess p;
    p.start("python3", {"-c", "import pty, sys; pty.spawn(sys.argv[1:])",
                        SONOREL_BIN_DIR "/sonorel-say", "-o", path("t.wav"), kText});
    ASSERT_TRUE(p.waitForFinished(60000));
    if (p.exitCode() != 0 && !QFile::exists(path("t.wav")))
        GTEST_SKIP() << "no pseudo-terminal: " << p.readAllStandardError().toStdString();
    const QByteArray shown = p.readAllStandardOutput();
    EXPECT_TRUE(shown.contains("% of the text")) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith("\r\033[K")) << "the line is cleared at the end";

    const SayRun quiet = say({"-o", path("u.wav"), kText});
    EXPECT_EQ(quiet.status, 0);
    EXPECT_TRUE(quiet.err.isEmpty()) << quiet.err.toStdString();
}

TEST_F(SayTest, AnEncoderThatFailsIsReportedAndLeavesNoMp3) {
    // A stand-in encoder first on PATH that takes some input, then gives up.
    const QProcessEnvironment env = failingEncoder();
    QDir().mkpath(path("out"));
    const SayRun r = say({"-o", path("out/x.mp3"), kText + ' ' + kText}, {}, env);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(path("out/x.mp3").toUtf8())) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("disk on fire"));
    EXPECT_TRUE(QDir(path("out")).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

} // namespace
} // namespace sonorel::test
