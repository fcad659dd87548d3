// The voice objects over the real engines: flite behind the generation-4 objects,
// espeak-ng behind the generation-5 voice, and once through a real sound server.

#include "platform/speech/espeakfamily.h"
#include "platform/speech/flitefamily.h"
#include "platform/speech/sapi4.h"
#include "platform/speech/sapi5.h"
#include "support/spin.h"
#include "support/tempdir.h"
#include "support/wavefile.h"

#include <cmath>
#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

using namespace sonorel::platform::speech;
using sonorel::test::readWave;
using sonorel::test::WaveStats;
using sonorel::test::spinUntil;

namespace {

const QString kText = QString::fromUtf8("Grüße aus Köln. 東京 is a city. The end.");
const QStringList kLatinWords = {"Grüße", "aus", "Köln", "is", "a", "city", "The", "end"};

// Families load once per test program, as in the reader.
FliteFamily& fliteVoices() {
    static FliteFamily family;
    return family;
}
EspeakFamily& espeakVoices() {
    static EspeakFamily family;
    return family;
}

// The Latin words a reading selected, in order (CJK marks are checked to lie
// inside 東京 and left out).
QStringList latinWords(const QList<QPair<int, int>>& marks) {
    QStringList words;
    for (const auto& [pos, len] : marks) {
        const QString w = kText.mid(pos, len);
        if (w.front().unicode() >= 0x3000) {
            EXPECT_TRUE(pos >= kText.indexOf("東京") && pos + len <= kText.indexOf("東京") + 2);
            continue;
        }
        words << w;
    }
    return words;
}

} // namespace

TEST(RealSpeech, MaryReadsWithWordPositionsOnTheRightWords) {
    DirectSS reader(fliteVoices(), makeSinkFactory(AudioMode::Fast, "test"));
    ASSERT_GE(reader.CountEngines(), 5);
    EXPECT_EQ(reader.ModeName(1), "Mary");
    reader.Select(1);
    QStringList order;
    QList<QPair<int, int>> marks;
    QObject::connect(&reader, &DirectSS::AudioStart, [&] { order << "start"; });
    QObject::connect(&reader, &DirectSS::WordPosition, [&](int, int, int byteoffset) {
        order << "word";
        // The word runs to the next blank or punctuation.
        const int start = byteoffset / 2;
        int end = start;
        while (end < kText.size() && kText[end].isLetter())
            ++end;
        marks.append({start, end - start});
    });
    QObject::connect(&reader, &DirectSS::TextDataDone, [&] { order << "end"; });
    reader.TextData(0, 0, kText);
    spinUntil([&] { return order.contains("end"); }, 20000);
    EXPECT_EQ(order.first(), "start");
    EXPECT_EQ(order.last(), "end");
    EXPECT_EQ(order.count("end"), 1);
    EXPECT_EQ(latinWords(marks), kLatinWords);
}

TEST(RealSpeech, EspeakVoiceReadsWithWordEventsOnTheRightCharacters) {
    SpVoice voice(espeakVoices(), makeSinkFactory(AudioMode::Fast, "test"));
    EXPECT_EQ(voice.Voice().GetDescription(), "English (America)");
    QStringList order;
    QList<QPair<int, int>> marks;
    qint64 lastPosition = -1;
    bool increasing = true;
    QObject::connect(&voice, &SpVoice::StartStream, [&] { order << "start"; });
    QObject::connect(&voice, &SpVoice::Word, [&](int, qint64 position, int pos, int len) {
        order << "word";
        increasing = increasing && position > lastPosition;
        lastPosition = position;
        marks.append({pos, len});
    });
    QObject::connect(&voice, &SpVoice::EndStream, [&] { order << "end"; });
    voice.Speak(kText, SVSFlagsAsync);
    ASSERT_TRUE(voice.WaitUntilDone(20000));
    EXPECT_EQ(order.first(), "start");
    EXPECT_EQ(order.last(), "end");
    EXPECT_EQ(order.count("end"), 1);
    EXPECT_TRUE(increasing);
    EXPECT_EQ(latinWords(marks), kLatinWords);
}

class RealSpeechFiles : public sonorel::test::TempDirTest {};

TEST_F(RealSpeechFiles, BothFamiliesRenderAudibleWavesAndRateChangesTheirLength) {
    SpVoice voice(espeakVoices(), makeSinkFactory(AudioMode::Fast, "test"));
    std::map<QString, WaveStats> waves;
    for (int rate : {-10, 0, 10}) {
        SpFileStream stream;
        const QString name = QString("g5_%1.wav").arg(rate);
        ASSERT_TRUE(stream.Open(path(name)));
        voice.setAudioOutputStream(&stream);
        voice.setRate(rate);
        voice.Speak(kText, SVSFlagsAsync);
        ASSERT_TRUE(voice.WaitUntilDone(-1));
        stream.Close();
        waves[name] = readWave(path(name));
    }
    const WaveStats normal = waves["g5_0.wav"];
    EXPECT_EQ(normal.rate, 22050);
    EXPECT_GT(normal.frames, 22050 * 1.5); // a few seconds of speech
    EXPECT_LT(normal.frames, 22050 * 8);
    EXPECT_GT(normal.rms, 300);
    EXPECT_GT(waves["g5_-10.wav"].frames, normal.frames * 1.3);
    EXPECT_LT(waves["g5_10.wav"].frames, normal.frames / 1.3);

    // Generation 4 renders through the wave-output path's renderer.
    for (auto [speed, name] : {std::pair{70, "slow.wav"}, {190, "normal.wav"}, {350, "fast.wav"}}) {
        RenderRequest r{kText, path(name), fliteVoices().synthesizer(0), {speed, 172}, 1.0f, 2};
        std::atomic<bool> cancel{false};
        ASSERT_TRUE(renderToWav(r, cancel).ok);
        waves[name] = readWave(path(name));
    }
    EXPECT_EQ(waves["normal.wav"].rate, 16000);
    EXPECT_GT(waves["normal.wav"].rms, 300);
    EXPECT_GT(waves["slow.wav"].frames, waves["normal.wav"].frames * 1.5);
    EXPECT_LT(waves["fast.wav"].frames, waves["normal.wav"].frames / 1.3);
}

TEST(RealSpeech, ReadingAndClockVoicesSpeakAtTheSameTime) {
    DirectSS reader(fliteVoices(), makeSinkFactory(AudioMode::Silent, "test"));
    reader.Select(1);
    SpVoice clock(espeakVoices(), makeSinkFactory(AudioMode::Silent, "test"));
    TextToSpeech words(fliteVoices(), makeSinkFactory(AudioMode::Silent, "test"));
    words.Select(2);
    int readerEnds = 0, clockEnds = 0, wordEnds = 0, readerWords = 0;
    QObject::connect(&reader, &DirectSS::WordPosition, [&] { ++readerWords; });
    QObject::connect(&reader, &DirectSS::TextDataDone, [&] { ++readerEnds; });
    QObject::connect(&clock, &SpVoice::EndStream, [&] { ++clockEnds; });
    QObject::connect(&words, &TextToSpeech::SpeakingDone, [&] { ++wordEnds; });
    QElapsedTimer t;
    t.start();
    reader.TextData(0, 0, "The reading goes on while the clock speaks.");
    clock.Speak("The time is 9 o'clock 30 minute", SVSFlagsAsync);
    words.Speak("apple");
    spinUntil([&] { return readerEnds && clockEnds && wordEnds; }, 20000);
    EXPECT_EQ(readerEnds, 1);
    EXPECT_EQ(clockEnds, 1);
    EXPECT_EQ(wordEnds, 1);
    EXPECT_EQ(readerWords, 8);
    // Side by side, not one after the other: about as long as the longest alone.
    EXPECT_LT(t.elapsed(), 4500);
}

TEST(RealSpeech, RapidSpeakAndStopCyclesOnRealVoices) {
    DirectSS reader(fliteVoices(), makeSinkFactory(AudioMode::Silent, "test"));
    reader.Select(1);
    SpVoice voice(espeakVoices(), makeSinkFactory(AudioMode::Silent, "test"));
    int stray = 0;
    bool settled = false;
    QObject::connect(&reader, &DirectSS::WordPosition, [&] { stray += settled; });
    QObject::connect(&voice, &SpVoice::Word, [&] { stray += settled; });
    for (int i = 0; i < 200; ++i) {
        reader.TextData(0, 0, "Stop me if you can, please.");
        voice.Speak("", SVSFPurgeBeforeSpeak);
        voice.Speak("And me too, if you will.", SVSFlagsAsync);
        if (i % 10 == 0)
            QCoreApplication::processEvents();
        reader.AudioReset();
        voice.Resume();
        voice.Speak("", SVSFPurgeBeforeSpeak);
    }
    QCoreApplication::processEvents();
    settled = true;
    spinUntil([] { return false; }, 500);
    EXPECT_EQ(stray, 0);
}

TEST(RealSound, ShortTextPlaysThroughPulseAudioToItsEnd) {
    SpVoice voice(espeakVoices(), makeSinkFactory(AudioMode::Pulse, "test"));
    int ends = 0;
    QObject::connect(&voice, &SpVoice::EndStream, [&] { ++ends; });
    voice.Speak("Hello.", SVSFlagsAsync);
    ASSERT_TRUE(voice.WaitUntilDone(20000));
    EXPECT_EQ(ends, 1);
    // It went through the server, not the silent stand-in a failed server leaves.
    EXPECT_EQ(voice.outputName(), "pulseaudio")
        << "no PulseAudio server answered; start one with: pulseaudio -D --exit-idle-time=-1";
}
