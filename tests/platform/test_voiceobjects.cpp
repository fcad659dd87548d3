// The generation-4 and generation-5 voice objects over a scripted engine: their
// units, their events and the pause, reset and purge rules the reader relies on.

#include "platform/speech/sapi4.h"
#include "platform/speech/sapi5.h"
#include "platform/speech/wavelin.h"
#include "support/memoryregistry.h"
#include "support/scriptedengine.h"
#include "support/spin.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <sndfile.h>

using namespace sonorel::platform::speech;
using sonorel::test::ScriptedFamily;
using sonorel::test::ScriptedSynthesizer;
using sonorel::test::spinFor;
using sonorel::test::spinUntil;

namespace {

// Records a DirectSS reading as letters: A AudioStart, T TextDataStarted,
// w word (with the word it selects), S AudioStop, D TextDataDone.
struct Log4 {
    Log4(DirectSS& voice, const QString& spoken) : text(spoken) {
        QObject::connect(&voice, &DirectSS::AudioStart, [this] { events << "A"; });
        QObject::connect(&voice, &DirectSS::TextDataStarted, [this] { events << "T"; });
        QObject::connect(&voice, &DirectSS::WordPosition, [this](int, int, int byteoffset) {
            const int start = byteoffset / 2;
            int end = start;
            while (end < text.size() && !text[end].isSpace())
                ++end;
            events << text.mid(start, end - start);
        });
        QObject::connect(&voice, &DirectSS::AudioStop, [this] { events << "S"; });
        QObject::connect(&voice, &DirectSS::TextDataDone, [this] { events << "D"; });
    }
    QString joined() const { return events.join(' '); }
    QString text; // what the word offsets refer to
    QStringList events;
};
} // namespace

TEST(DirectSS, EnginesCountFromOneAndKeepTheirOwnUnits) {
    ScriptedFamily family;
    DirectSS voice(family, makeSinkFactory(AudioMode::Fast, "t"));
    EXPECT_EQ(voice.CountEngines(), 2);
    EXPECT_EQ(voice.ModeName(1), "Alpha");
    EXPECT_EQ(voice.ModeName(2), "Beta");
    for (int bad : {0, 3, -1}) {
        try {
            voice.Select(bad);
            ADD_FAILURE() << "engine " << bad << " was accepted";
        } catch (const EngineError& e) {
            EXPECT_EQ(e.number(), EngineError::kInvalidArgument);
        }
    }
    EXPECT_THROW(voice.Speed(), EngineError); // nothing selected yet

    voice.Select(1);
    EXPECT_EQ(voice.MinSpeed(), 50);
    EXPECT_EQ(voice.MaxSpeed(), 200);
    EXPECT_LT(voice.MinPitch(), voice.MaxPitch());
    EXPECT_EQ(voice.Speed(), 100);
    voice.setSpeed(1000);
    EXPECT_EQ(voice.Speed(), 200);
    voice.Select(2);
    EXPECT_EQ(voice.Speed(), 100); // the other engine has its own speed
    voice.Select(1);
    EXPECT_EQ(voice.Speed(), 200);
    voice.setLeftVolume(70000);
    EXPECT_EQ(voice.LeftVolume(), 65535);
}

TEST(DirectSS, ReadingReportsStartWordByteOffsetsAndEnd) {
    ScriptedFamily family;
    DirectSS voice(family, makeSinkFactory(AudioMode::Fast, "t"));
    voice.Select(1);
    const QString text = "Grüße aus Köln. 東京 is a city. The end";
    Log4 log(voice, text);
    voice.TextData(0, 0, text);
    spinUntil([&] { return log.events.contains("D"); });
    EXPECT_EQ(log.joined(), "A T Grüße aus Köln. 東京 is a city. The end S D");
}

TEST(DirectSS, PauseRaisesAudioStopAndResumeAudioStart) {
    ScriptedFamily family;
    DirectSS voice(family, makeSinkFactory(AudioMode::Silent, "t"));
    voice.Select(1);
    // About two seconds of speech, so a busy machine cannot finish it before the pause.
    const QString text = QString("one two three four five ").repeated(8) + "six";
    Log4 log(voice, text);
    voice.TextData(0, 0, text);
    spinUntil([&] { return log.events.contains("one"); });
    voice.AudioPause();
    spinFor(200);
    const QString paused = log.joined();
    EXPECT_TRUE(paused.endsWith(" S")) << paused.toStdString();
    EXPECT_FALSE(paused.contains("six"));
    spinFor(200);
    EXPECT_EQ(log.joined(), paused);
    voice.AudioResume();
    spinUntil([&] { return log.events.contains("D"); });
    EXPECT_TRUE(log.joined().startsWith(paused + " A")) << log.joined().toStdString();
    EXPECT_TRUE(log.joined().endsWith("six S D")) << log.joined().toStdString();
}

TEST(DirectSS, ResetEndsOnceAndLiftsAPause) {
    ScriptedFamily family;
    DirectSS voice(family, makeSinkFactory(AudioMode::Silent, "t"));
    voice.Select(1);
    const QString text = "one two three four five six seven eight";
    Log4 log(voice, text);
    voice.TextData(0, 0, text);
    spinUntil([&] { return log.events.contains("two"); });
    voice.AudioPause();
    voice.AudioReset();
    spinFor(300);
    // Only end events follow the words heard before the reset.
    const QStringList afterTwo = log.events.mid(log.events.indexOf("two") + 1);
    for (const QString& e : afterTwo)
        EXPECT_TRUE(e == "S" || e == "D" || e == "three") << e.toStdString();
    EXPECT_EQ(log.events.count("D"), 1);
    // The reset lifted the pause: the next reading plays.
    log.events.clear();
    log.text = "again";
    voice.TextData(0, 0, log.text);
    spinUntil([&] { return log.events.contains("D"); });
    EXPECT_EQ(log.joined(), "A T again S D");
}

TEST(SpVoice, VoicesRateAndVolume) {
    ScriptedFamily family;
    SpVoice voice(family, makeSinkFactory(AudioMode::Fast, "t"));
    const QList<SpObjectToken> voices = voice.GetVoices();
    ASSERT_EQ(voices.size(), 2);
    EXPECT_EQ(voices[1].GetDescription(), "Beta");
    EXPECT_EQ(voice.Voice().index, 0); // the family's default
    EXPECT_THROW(voice.setVoice({7, "nothing"}), EngineError);
    voice.setVoice(voices[1]);
    EXPECT_EQ(voice.Voice(), voices[1]);
    voice.setRate(-15);
    EXPECT_EQ(voice.Rate(), -10);
    voice.setVolume(101);
    EXPECT_EQ(voice.Volume(), 100);

    // A faster rate gives a shorter stream.
    qint64 slowEnd = 0, fastEnd = 0;
    QObject::connect(&voice, &SpVoice::EndStream,
                     [&](int, qint64 pos) { (slowEnd ? fastEnd : slowEnd) = pos; });
    voice.Speak("some words to time", SVSFDefault);
    voice.setRate(10);
    voice.Speak("some words to time", SVSFDefault);
    ASSERT_GT(slowEnd, 0);
    ASSERT_GT(fastEnd, 0);
    EXPECT_GT(slowEnd, fastEnd * 2);
}

TEST(SpVoice, PauseThenStopResumesAndPurgesWithoutSound) {
    ScriptedFamily family;
    SpVoice voice(family, makeSinkFactory(AudioMode::Silent, "t"));
    QStringList log;
    const QString text = "one two three four five six seven";
    QObject::connect(&voice, &SpVoice::StartStream, [&] { log << "start"; });
    QObject::connect(&voice, &SpVoice::Word,
                     [&](int, qint64, int pos, int len) { log << text.mid(pos, len); });
    QObject::connect(&voice, &SpVoice::EndStream, [&] { log << "end"; });
    voice.Speak("", SVSFPurgeBeforeSpeak);
    EXPECT_GT(voice.Speak(text, SVSFlagsAsync), 0);
    spinUntil([&] { return log.contains("two"); });
    voice.Pause();
    spinFor(50);
    voice.Resume();
    voice.Speak("", SVSFPurgeBeforeSpeak);
    spinFor(300);
    EXPECT_EQ(log.count("end"), 1);
    EXPECT_EQ(log.last(), "end");
    EXPECT_FALSE(log.contains("seven"));
    EXPECT_TRUE(voice.WaitUntilDone(0));
}

class SpVoiceFile : public sonorel::test::TempDirTest {};

TEST_F(SpVoiceFile, SpeakIntoAFileStreamWritesAWave) {
    ScriptedFamily family;
    SpVoice voice(family, makeSinkFactory(AudioMode::Fast, "t"));
    SpFileStream stream;
    EXPECT_FALSE(stream.Open(path("x.wav"), SSFMOpenForRead));
    ASSERT_TRUE(stream.Open(path("out.wav"), SSFMCreateForWrite));
    voice.setAudioOutputStream(&stream);
    int starts = 0, words = 0, ends = 0;
    QObject::connect(&voice, &SpVoice::StartStream, [&] { ++starts; });
    QObject::connect(&voice, &SpVoice::Word, [&] { ++words; });
    QObject::connect(&voice, &SpVoice::EndStream, [&] { ++ends; });
    const QString text = "First sentence here. And a second one!";
    voice.Speak(text, SVSFlagsAsync);
    EXPECT_TRUE(voice.WaitUntilDone(-1));
    stream.Close();
    voice.setAudioOutputStream(nullptr);
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(words, 7);
    EXPECT_EQ(ends, 1);
    EXPECT_TRUE(voice.lastFileError().isEmpty());

    SF_INFO info{};
    SNDFILE* f = sf_open(QFile::encodeName(path("out.wav")).constData(), SFM_READ, &info);
    ASSERT_NE(f, nullptr);
    sf_close(f);
    EXPECT_EQ(info.samplerate, ScriptedSynthesizer::kRate);
    EXPECT_EQ(info.channels, 1);
    const int letters = QString(text).remove(' ').size();
    EXPECT_EQ(info.frames,
              letters * ScriptedSynthesizer::kSamplesPerChar + 7 * ScriptedSynthesizer::kGap);
}

TEST_F(SpVoiceFile, UnwritablePathIsReportedAndStillEnds) {
    ScriptedFamily family;
    SpVoice voice(family, makeSinkFactory(AudioMode::Fast, "t"));
    SpFileStream stream;
    ASSERT_TRUE(stream.Open(path("no/such/folder/out.wav")));
    voice.setAudioOutputStream(&stream);
    int ends = 0;
    QObject::connect(&voice, &SpVoice::EndStream, [&] { ++ends; });
    voice.Speak("words", SVSFlagsAsync);
    EXPECT_TRUE(voice.WaitUntilDone(-1));
    EXPECT_EQ(ends, 1);
    EXPECT_FALSE(voice.lastFileError().isEmpty());
}

class WavelinTest : public sonorel::test::TempDirTest {
protected:
    sonorel::test::MemoryRegistryStore registry;
    ScriptedFamily family;
    std::optional<std::uint32_t> waveEnd() const {
        return registry.dword(kWaveEndRoot, kWaveEndKey, kWaveEndValue);
    }
};

TEST_F(WavelinTest, RecordingWritesTheFileThenSignalsOnce) {
    Wavelin wavelin(family, registry);
    int stops = 0;
    std::optional<std::uint32_t> valueAtStop;
    QObject::connect(&wavelin, &Wavelin::WaveStop, [&] {
        ++stops;
        valueAtStop = waveEnd();
    });
    wavelin.SpeakToFile("Some text. More text here.", path("rec.wav"), "Beta", 100, 120, 2048);
    EXPECT_TRUE(wavelin.isRecording());
    spinUntil([&] { return stops > 0; });
    spinFor(50);
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(valueAtStop, 1u);
    EXPECT_FALSE(wavelin.isRecording());
    EXPECT_TRUE(wavelin.lastError().isEmpty());
    EXPECT_GT(QFileInfo(path("rec.wav")).size(), 44);
}

TEST_F(WavelinTest, FailedRecordingStillEndsTheHandshake) {
    Wavelin wavelin(family, registry);
    int stops = 0;
    QObject::connect(&wavelin, &Wavelin::WaveStop, [&] { ++stops; });
    wavelin.SpeakToFile("text", path("missing/folder/rec.wav"), "Alpha", 100, 120, 2048);
    spinUntil([&] { return stops > 0; });
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(waveEnd(), 1u);
    EXPECT_FALSE(wavelin.lastError().isEmpty());
}

TEST_F(WavelinTest, StopRecordingCancelsALongRecording) {
    Wavelin wavelin(family, registry);
    int stops = 0;
    QObject::connect(&wavelin, &Wavelin::WaveStop, [&] { ++stops; });
    QString longText;
    for (int i = 0; i < 20000; ++i)
        longText += "word. ";
    family.synth->delayPerCallMs = 2;
    wavelin.SpeakToFile(longText, path("long.wav"), "Alpha", 100, 120, 2048);
    EXPECT_EQ(waveEnd(), 2u); // a recording runs
    spinFor(50);
    QElapsedTimer t;
    t.start();
    wavelin.StopRecording();
    EXPECT_LT(t.elapsed(), 1000);
    spinUntil([&] { return stops > 0; });
    EXPECT_EQ(stops, 1);
    EXPECT_LT(family.synth->calls.load(), 20000);
}

TEST(WavRender, ParallelRenderingWritesChunksInOrder) {
    QTemporaryDir dir;
    ScriptedFamily family;
    QString text;
    for (int i = 1; i <= 60; ++i)
        text += QString("Sentence %1 has %2 words. ").arg(i).arg(QString("x").repeated(i % 7 + 1));
    std::vector<std::int64_t> wordSamples;
    std::vector<int> wordPositions;
    const auto render = [&](int threads, const QString& name) {
        RenderRequest request{text, dir.filePath(name), family.synth, {100, 120}, 1.0f, threads};
        std::atomic<bool> cancel{false};
        wordSamples.clear();
        wordPositions.clear();
        const RenderResult r = renderToWav(request, cancel, [&](int pos, int, std::int64_t s) {
            wordPositions.push_back(pos);
            wordSamples.push_back(s);
        });
        EXPECT_TRUE(r.ok) << r.error.toStdString();
        return r.frames;
    };
    family.synth->delayPerCallMs = 1; // let the two threads overtake each other
    const std::int64_t one = render(1, "one.wav");
    const std::vector<int> positionsOne = wordPositions;
    const std::int64_t two = render(2, "two.wav");
    EXPECT_EQ(one, two);
    EXPECT_EQ(wordPositions, positionsOne);
    EXPECT_TRUE(std::is_sorted(wordPositions.begin(), wordPositions.end()));
    EXPECT_TRUE(std::is_sorted(wordSamples.begin(), wordSamples.end()));
    QFile a(dir.filePath("one.wav")), b(dir.filePath("two.wav"));
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    EXPECT_EQ(a.readAll(), b.readAll());
}
