// sonorel-say run as a program, with the real engines and the real encoders.

#include "support/tempdir.h"
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

const QString kText = QStringLiteral(
    "The quick brown fox jumps over the lazy dog. Then it runs home, a little tired.");

struct SayRun {
    int status = -1;
    QByteArray out, err;
};

SayRun say(const QStringList& args, const QByteArray& input = {},
           const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(SONOREL_BIN_DIR "/sonorel-say"), args);
    EXPECT_TRUE(p.waitForStarted());
    p.write(input);
    p.closeWriteChannel();
    EXPECT_TRUE(p.waitForFinished(90000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

// Peak of the decoded samples, as a fraction of full scale.
double peakOf(const QString& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!f)
        return 0;
    std::array<float, 4096> buf{};
    double peak = 0;
    sf_count_t n;
    while ((n = sf_read_float(f, buf.data(), sf_count_t(buf.size()))) > 0)
        for (sf_count_t i = 0; i < n; ++i)
            peak = std::max(peak, double(std::fabs(buf[std::size_t(i)])));
    sf_close(f);
    return peak;
}

int majorFormat(const QString& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!f)
        return 0;
    sf_close(f);
    return info.format;
}

struct Mp3Walk {
    int frames = 0;
    int rate = 0;
    double seconds = 0;
    bool brokenChain = false; // something other than a frame where a frame must begin
};

// Walks the MPEG layer III frames from the first to the end of the file, each
// found where the one before it says it ends.
Mp3Walk walkMp3(const QString& path) {
    Mp3Walk w;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return w;
    const QByteArray d = file.readAll();
    qsizetype at = 0;
    if (d.startsWith("ID3") && d.size() >= 10)
        at = 10 + ((d[6] & 0x7f) << 21 | (d[7] & 0x7f) << 14 | (d[8] & 0x7f) << 7 | (d[9] & 0x7f));
    static constexpr int kBitrates1[] = {0,   32,  40,  48,  56,  64,  80, 96,
                                         112, 128, 160, 192, 224, 256, 320};
    static constexpr int kBitrates2[] = {0,  8,  16, 24,  32,  40,  48, 56,
                                         64, 80, 96, 112, 128, 144, 160};
    static constexpr int kRates[4][3] = {
        {11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}};
    while (at + 4 <= d.size()) {
        const auto b = [&](qsizetype i) { return std::uint8_t(d[at + i]); };
        const int version = (b(1) >> 3) & 3, bitrateIndex = b(2) >> 4, rateIndex = (b(2) >> 2) & 3;
        if (b(0) != 0xff || (b(1) & 0xe0) != 0xe0 || (b(1) & 0x06) != 0x02 || version == 1 ||
            bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) {
            // A trailing ID3v1 tag is the only other thing allowed.
            w.brokenChain = !(d.size() - at == 128 && d.mid(at, 3) == "TAG");
            break;
        }
        const int rate = kRates[version][rateIndex];
        const bool mpeg1 = version == 3;
        const int kbps = (mpeg1 ? kBitrates1 : kBitrates2)[bitrateIndex];
        const int length = (mpeg1 ? 144 : 72) * kbps * 1000 / rate + ((b(2) >> 1) & 1);
        w.rate = rate;
        ++w.frames;
        w.seconds += (mpeg1 ? 1152.0 : 576.0) / rate;
        at += length;
    }
    return w;
}

class SayTest : public TempDirTest {
protected:
    // Nothing but the given names in the folder: no temporary file left over.
    QStringList folderContents() const {
        return QDir(path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                                      QDir::Name);
    }
    void writeFile(const QString& name, const QByteArray& bytes) {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
};

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
    QDir().mkpath(path("bin"));
    writeFile("bin/lame",
              "#!/bin/sh\nhead -c 1000 >/dev/null\necho 'lame: disk on fire' >&2\nexit 3\n");
    QFile::setPermissions(path("bin/lame"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PATH", path("bin") + ':' + env.value("PATH"));
    QDir().mkpath(path("out"));
    const SayRun r = say({"-o", path("out/x.mp3"), kText + ' ' + kText}, {}, env);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(path("out/x.mp3").toUtf8())) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("disk on fire"));
    EXPECT_TRUE(QDir(path("out")).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

} // namespace
} // namespace sonorel::test
