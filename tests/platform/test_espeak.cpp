// The espeak-ng family against the real library: its voice list, words placed on
// the text given, timing, speed, stopping, and several threads speaking at once.

#include "platform/speech/espeakfamily.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <latch>
#include <numeric>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <thread>

using namespace sonorel::platform::speech;

namespace {

// Everything one synthesize() call hands out, in order.
struct Recorder final : ChunkOutput {
    bool audio(const std::int16_t* data, std::size_t count) override {
        if (samples.size() >= stopAfter)
            ++callsAfterStop;
        samples.insert(samples.end(), data, data + count);
        return samples.size() < stopAfter;
    }
    void word(const WordMark& mark) override {
        // Its first sample must not have been handed over already.
        if (mark.sample < std::int64_t(samples.size()))
            ++lateWords;
        words.push_back(mark);
    }

    std::size_t stopAfter = SIZE_MAX; // audio() asks to stop once this much came
    std::vector<std::int16_t> samples;
    std::vector<WordMark> words;
    int lateWords = 0;
    int callsAfterStop = 0;
    bool completed = false;
};

Recorder speak(Synthesizer& voice, QStringView text, SynthSettings settings,
               std::size_t stopAfter = SIZE_MAX) {
    Recorder out;
    out.stopAfter = stopAfter;
    out.completed = voice.synthesize(text, settings, out);
    return out;
}

int indexOf(const QList<VoiceDescription>& voices, const QString& name) {
    for (int i = 0; i < voices.size(); ++i)
        if (voices[i].name == name)
            return i;
    return -1;
}

std::int32_t errorNumber(const std::function<void()>& call) {
    try {
        call();
    } catch (const EngineError& error) {
        return error.number();
    }
    return 0;
}

class Espeak : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        family = new EspeakFamily;
        english = indexOf(family->voices(), "English (America)");
        german = indexOf(family->voices(), "German");
    }
    static void TearDownTestSuite() {
        delete family;
        family = nullptr;
    }
    void SetUp() override {
        ASSERT_GE(english, 0);
        ASSERT_GE(german, 0);
    }
    static SynthSettings normal(int voice) {
        return {family->speedRange(voice).normal, family->pitchRange(voice).normal};
    }

    static inline EspeakFamily* family = nullptr;
    static inline int english = -1;
    static inline int german = -1;
};

TEST_F(Espeak, ListsTheLibraryVoicesInItsOwnOrder) {
    // espeak-ng's own program lists the same voices: "Pty Language Age/Gender Name File",
    // spaces in names written as '_'.
    QProcess cli;
    cli.start("espeak-ng", {"--voices"});
    ASSERT_TRUE(cli.waitForFinished(10000));
    QStringList lines =
        QString::fromUtf8(cli.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty());
    lines.removeFirst();
    const QList<VoiceDescription> voices = family->voices();
    ASSERT_EQ(voices.size(), lines.size());
    for (int i = 0; i < voices.size(); ++i) {
        const QStringList fields = lines[i].split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
        ASSERT_GE(fields.size(), 5) << lines[i].toStdString();
        EXPECT_EQ(QString(voices[i].name).replace(' ', '_'), fields[3]) << i;
        EXPECT_EQ(voices[i].language, fields[1]) << i;
        EXPECT_FALSE(voices[i].name.contains("mbrola", Qt::CaseInsensitive)) << i;
    }
    EXPECT_EQ(voices[english].language, "en-us");
}

TEST_F(Espeak, WordsSelectTheirCharactersAndComeWithTheirAudio) {
    const QString text = QStringLiteral("Grüße aus Köln. 東京 is a city. The end.");
    const qsizetype cjk = text.indexOf(QStringLiteral("東京"));
    Recorder out = speak(*family->synthesizer(english), text, normal(english));
    ASSERT_TRUE(out.completed);
    ASSERT_FALSE(out.words.empty());

    QStringList latin;
    int cjkMarks = 0;
    int end = 0;
    std::int64_t previous = -1;
    for (const WordMark& word : out.words) {
        EXPECT_GE(word.position, end) << "out of order or overlapping";
        EXPECT_GT(word.sample, previous);
        EXPECT_LT(word.sample, std::int64_t(out.samples.size()));
        end = word.position + word.length;
        previous = word.sample;
        if (word.position >= cjk && word.position < cjk + 2) {
            EXPECT_LE(end, cjk + 2);
            ++cjkMarks;
        } else {
            latin << text.mid(word.position, word.length);
        }
    }
    EXPECT_EQ(latin, QStringList({"Grüße", "aus", "Köln", "is", "a", "city", "The", "end"}));
    EXPECT_GE(cjkMarks, 1);
    EXPECT_EQ(out.lateWords, 0);
    const double energy = std::transform_reduce(out.samples.begin(), out.samples.end(), 0.0,
                                                std::plus<>(), [](double s) { return s * s; });
    EXPECT_GT(std::sqrt(energy / double(out.samples.size())), 500.0) << "silent";
}

TEST_F(Espeak, AstralCharactersKeepTheFollowingWordsInPlace) {
    const QString text = QStringLiteral("😀 Hello 👍🏽world and 𝄞 more.");
    Recorder out = speak(*family->synthesizer(english), text, normal(english));
    ASSERT_TRUE(out.completed);
    QList<QPair<int, int>> marks;
    for (const WordMark& word : out.words) {
        const QChar first = text[word.position], last = text[word.position + word.length - 1];
        EXPECT_FALSE(first.isLowSurrogate() || first.isSpace()) << word.position;
        EXPECT_FALSE(last.isHighSurrogate() || last.isSpace()) << word.position;
        marks << qMakePair(word.position, word.length);
    }
    for (const QString word : {"Hello", "world", "and", "more"})
        EXPECT_TRUE(marks.contains(qMakePair(int(text.indexOf(word)), int(word.size()))))
            << word.toStdString();
}

TEST_F(Espeak, SlowestSpeedTakesLongerThanFastest) {
    const UnitRange speed = family->speedRange(english);
    const int pitch = family->pitchRange(english).normal;
    auto voice = family->synthesizer(english);
    const QString text = QStringLiteral("Reading this sentence takes a little while.");
    const Recorder slow = speak(*voice, text, {speed.min, pitch});
    const Recorder fast = speak(*voice, text, {speed.max, pitch});
    EXPECT_GT(slow.samples.size(), 2 * fast.samples.size());
}

TEST_F(Espeak, StoppingEndsEarlyAndLeavesTheNextCallWhole) {
    auto voice = family->synthesizer(english);
    const QString text = QStringLiteral("First sentence is here. A second one follows it. "
                                        "Then a third, and a fourth that ends it all.");
    const Recorder whole = speak(*voice, text, normal(english));
    ASSERT_TRUE(whole.completed);

    const Recorder stopped = speak(*voice, text, normal(english), 4000);
    EXPECT_FALSE(stopped.completed);
    EXPECT_EQ(stopped.callsAfterStop, 0);
    EXPECT_LT(stopped.samples.size(), whole.samples.size() / 4);

    const Recorder again = speak(*voice, text, normal(english));
    EXPECT_TRUE(again.completed);
    ASSERT_EQ(again.words.size(), whole.words.size());
    for (std::size_t i = 0; i < whole.words.size(); ++i)
        EXPECT_EQ(again.words[i].position, whole.words[i].position);
}

// espeak-ng carries state from call to call: the phase of its pitch flutter (a
// repeat differs by a few dozen samples) and, after a voice met words of another
// language, pause lengths (a few percent). A voice speaking its own language brings
// the latter back to one state, so comparisons start with that. Another voice or
// other settings leaking in change far more.
void expectSameSpeech(const Recorder& expected, const Recorder& actual) {
    ASSERT_TRUE(actual.completed);
    EXPECT_EQ(actual.lateWords, 0);
    const double tolerance = 0.01 * double(expected.samples.size());
    EXPECT_NEAR(double(actual.samples.size()), double(expected.samples.size()), tolerance);
    ASSERT_EQ(actual.words.size(), expected.words.size());
    for (std::size_t i = 0; i < expected.words.size(); ++i) {
        EXPECT_EQ(actual.words[i].position, expected.words[i].position);
        EXPECT_EQ(actual.words[i].length, expected.words[i].length);
        EXPECT_NEAR(double(actual.words[i].sample), double(expected.words[i].sample), tolerance);
    }
}

TEST_F(Espeak, VoicesTakingTurnsOrSpeakingAtOnceDoNotMix) {
    const QString firstText = QStringLiteral("The quick brown fox jumps over the lazy dog.");
    const QString secondText = QStringLiteral("Guten Tag, wie geht es Ihnen an diesem Morgen?");
    const SynthSettings firstSettings{300, 80};
    const SynthSettings secondSettings{120, 20};
    auto second = family->synthesizer(german);
    auto first = family->synthesizer(english);
    speak(*second, secondText, secondSettings);
    const Recorder firstAlone = speak(*first, firstText, firstSettings);
    family->synthesizer(german); // loaded last: a call must not just speak with it
    const Recorder secondAlone = speak(*second, secondText, secondSettings);
    expectSameSpeech(firstAlone, speak(*first, firstText, firstSettings));

    for (int round = 0; round < 3; ++round) {
        Recorder a, b;
        std::latch start(2);
        std::thread one([&] {
            start.arrive_and_wait();
            a = speak(*first, firstText, firstSettings);
        });
        std::thread two([&] {
            start.arrive_and_wait();
            b = speak(*second, secondText, secondSettings);
        });
        one.join();
        two.join();
        expectSameSpeech(firstAlone, a);
        expectSameSpeech(secondAlone, b);
    }
}

TEST_F(Espeak, IndexOutsideTheListIsAnInvalidArgument) {
    for (const int bad : {-1, int(family->voices().size())}) {
        EXPECT_EQ(errorNumber([&] { family->synthesizer(bad); }), EngineError::kInvalidArgument);
        EXPECT_EQ(errorNumber([&] { family->speedRange(bad); }), EngineError::kInvalidArgument);
        EXPECT_EQ(errorNumber([&] { family->pitchRange(bad); }), EngineError::kInvalidArgument);
    }
}

TEST(EspeakLifetime, FamilyComesBackAfterItsThreadEnded) {
    // espeak-ng is torn down and set up again in between; a synthesizer keeps working
    // after its family is gone.
    for (int round = 0; round < 3; ++round) {
        std::shared_ptr<Synthesizer> voice;
        {
            EspeakFamily family;
            voice = family.synthesizer(indexOf(family.voices(), "English (America)"));
        }
        const Recorder out = speak(*voice, QStringLiteral("Once more."), {175, 50});
        EXPECT_TRUE(out.completed) << round;
        EXPECT_EQ(out.words.size(), 2u) << round;
    }
}

TEST(EspeakLifetime, WithoutVoiceDataThereAreNoVoicesAndNoSynthesizer) {
    // espeak-ng is set up once per process, so this runs in a fresh one.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            QTemporaryDir data;
            QDir(data.path()).mkdir("espeak-ng-data");
            qputenv("ESPEAK_DATA_PATH", QFile::encodeName(data.path()));
            EspeakFamily family;
            int failure = 0;
            if (!family.voices().isEmpty())
                failure = 1;
            else if (errorNumber([&] { family.synthesizer(0); }) != EngineError::kEngineFailure)
                failure = 2;
            data.remove();
            std::_Exit(failure);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
