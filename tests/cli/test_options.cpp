#include "cli/batch.h"
#include "cli/options.h"
#include "cli/outputs.h"
#include "cli/voicepick.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace sonorel::cli {
namespace {

Options parsed(const QStringList& args) {
    const ParseResult r = parseArguments(args);
    EXPECT_TRUE(r.options) << r.error.toStdString();
    return r.options.value_or(Options{});
}

QString usageError(const QStringList& args) {
    const ParseResult r = parseArguments(args);
    EXPECT_FALSE(r.options);
    return r.error;
}

TEST(SayOptions, ReadsEverySettingAndTheTextInItsOrder) {
    const Options o = parsed({"-v", "Mary", "-r", "0", "--pitch=100", "--volume", "35", "Hello",
                              "-o", "out.mp3", "there,", "world"});
    EXPECT_EQ(o.voice, "Mary");
    EXPECT_EQ(o.rate, 0);
    EXPECT_EQ(o.pitch, 100);
    EXPECT_EQ(o.volume, 35);
    EXPECT_EQ(o.output, "out.mp3");
    EXPECT_EQ(o.source, Source::Arguments);
    EXPECT_EQ(o.text, "Hello there, world");
    // Unset settings stay unset: the voice's own normal applies.
    EXPECT_FALSE(parsed({"hi"}).rate);
    EXPECT_EQ(parsed({"--", "-r", "-"}).text, "-r -");
}

TEST(SayOptions, RefusesValuesOffTheScaleAndMissingValues) {
    for (const char* bad : {"101", "-1", "fast", "5.5", ""})
        EXPECT_TRUE(usageError({"-r", bad, "hi"}).contains("0 to 100")) << bad;
    EXPECT_TRUE(usageError({"hi", "-v"}).contains("-v"));
    EXPECT_TRUE(usageError({"hi", "-o"}).contains("-o"));
    EXPECT_TRUE(usageError({"--loud", "hi"}).contains("--loud"));
}

TEST(SayOptions, TakesExactlyOneSourceOfText) {
    EXPECT_EQ(parsed({"-f", "a.txt"}).source, Source::File);
    EXPECT_EQ(parsed({"-f", "a.txt"}).files, QStringList{"a.txt"});
    EXPECT_EQ(parsed({"-i"}).source, Source::StandardInput);
    EXPECT_FALSE(usageError({}).isEmpty());
    EXPECT_FALSE(usageError({"-o", "x.wav"}).isEmpty());
    EXPECT_FALSE(usageError({"-i", "text"}).isEmpty());
    EXPECT_FALSE(usageError({"-f", "a.txt", "-i"}).isEmpty());
    // Listing and help need no text.
    EXPECT_EQ(parsed({"--list-voices"}).action, Action::ListVoices);
    EXPECT_EQ(parsed({"-h"}).action, Action::Help);
}

TEST(SayOptions, SeveralFilesGoIntoAFolderOrPlayInTurn) {
    const Options o = parsed({"-f", "a.txt", "-f", "book", "-d", "out", "--subtitles", "SRT"});
    EXPECT_EQ(o.files, (QStringList{"a.txt", "book"}));
    EXPECT_EQ(o.folder, "out");
    EXPECT_EQ(o.format, "wav");
    EXPECT_EQ(o.subtitles, "srt");
    EXPECT_EQ(parsed({"-f", "a", "-d", "o", "--format", "MP3"}).format, "mp3");
    // Without -d several files play one after another.
    EXPECT_EQ(parsed({"-f", "a", "-f", "b"}).files.size(), 2);

    EXPECT_TRUE(usageError({"-f", "a", "-f", "b", "-o", "x.wav"}).contains("-d"));
    EXPECT_TRUE(usageError({"-f", "a", "-d", "o", "--format", "aiff"}).contains("aiff"));
    EXPECT_TRUE(usageError({"-f", "a", "-d", "o", "--subtitles", "x.srt"}).contains("srt or lrc"));
    EXPECT_FALSE(usageError({"-f", "a", "-d", "o", "-o", "x.wav"}).isEmpty());
    EXPECT_FALSE(usageError({"-d", "o", "some", "text"}).isEmpty());
    EXPECT_FALSE(usageError({"-i", "-d", "o"}).isEmpty());
    EXPECT_TRUE(usageError({"-f", "a", "--format", "mp3"}).contains("-d"));
}

TEST(SayFolders, AFolderStandsForItsTextFilesAndOutputsKeepInnerDots) {
    QTemporaryDir tmp;
    const QDir dir(tmp.path());
    for (const char* name : {"ch10.txt", "ch2.TXT", "c.md", "sub/d.txt"}) {
        QDir().mkpath(QFileInfo(dir.filePath(name)).path());
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    QDir().mkpath(dir.filePath("empty"));
    QStringList problems;
    EXPECT_EQ(textFilesOf({dir.path(), dir.filePath("sub/d.txt"), dir.filePath("empty")}, problems),
              (QStringList{dir.filePath("ch2.TXT"), dir.filePath("ch10.txt"),
                           dir.filePath("sub/d.txt")}));
    EXPECT_EQ(problems, QStringList{dir.filePath("empty") + " holds no .txt files"});
    EXPECT_EQ(outputPathFor("/x/ch.1.intro.txt", "/out", "mp3"), "/out/ch.1.intro.mp3");
    EXPECT_EQ(outputPathFor("notes", "out", "wav"), "out/notes.wav");
}

QList<ListedVoice> voiceList(const QStringList& texts) {
    QList<ListedVoice> list;
    for (const QString& t : texts)
        list.append({t, {}, 4, nullptr, int(list.size())});
    return list;
}

TEST(SayVoicePick, WholeTextWinsThenAUniquePartAnythingElseGivesCandidates) {
    const auto voices =
        voiceList({"Mary (TTS4.0)", "kal (TTS4.0)", "kal16 (TTS4.0)",
                   "English (Great Britain) (TTS5.0)", "English (America) (TTS5.0)"});
    // "kal (TTS4.0)" is also a part of nothing else, but "kal" alone is in two.
    EXPECT_EQ(pickVoice(voices, "KAL (tts4.0)").voice, &voices[1]);
    EXPECT_EQ(pickVoice(voices, "kal16").voice, &voices[2]);
    EXPECT_EQ(pickVoice(voices, "great britain").voice, &voices[3]);

    const VoicePick ambiguous = pickVoice(voices, "kal");
    EXPECT_EQ(ambiguous.voice, nullptr);
    ASSERT_EQ(ambiguous.candidates.size(), 2);
    EXPECT_EQ(ambiguous.candidates[0], &voices[1]);
    EXPECT_EQ(ambiguous.candidates[1], &voices[2]);
    EXPECT_EQ(pickVoice(voices, "English").candidates.size(), 2);

    const VoicePick unknown = pickVoice(voices, "Vulcan");
    EXPECT_EQ(unknown.voice, nullptr);
    EXPECT_EQ(unknown.candidates.size(), voices.size());
}

TEST(SayOutputs, FormatComesFromTheExtensionInAnyCase) {
    EXPECT_EQ(outputKindFor("a/b.WAV"), OutputKind::Wav);
    EXPECT_EQ(outputKindFor("b.flac"), OutputKind::Flac);
    EXPECT_EQ(outputKindFor("b.ogg"), OutputKind::Ogg);
    EXPECT_EQ(outputKindFor("b.opus"), OutputKind::Opus);
    EXPECT_EQ(outputKindFor("b.Mp3"), OutputKind::Mp3);
    EXPECT_EQ(outputKindFor("-"), OutputKind::StandardOutput);
    EXPECT_EQ(outputKindFor("b.txt"), OutputKind::Unknown);
    EXPECT_EQ(outputKindFor("mp3"), OutputKind::Unknown);
    EXPECT_EQ(opusRateFor(16000), 16000);
    EXPECT_EQ(opusRateFor(22050), 24000);
    EXPECT_EQ(opusRateFor(44100), 48000);
}

} // namespace
} // namespace sonorel::cli
