#include "platform/speech/flitefamily.h"

#include <algorithm>
#include <barrier>
#include <cmath>
#include <gtest/gtest.h>
#include <QStringList>
#include <thread>
#include <vector>

using namespace sonorel::platform::speech;

namespace sonorel::platform::speech {
bool operator==(const WordMark& a, const WordMark& b) {
    return a.position == b.position && a.length == b.length && a.sample == b.sample;
}
void PrintTo(const WordMark& w, std::ostream* os) {
    *os << "{" << w.position << ", " << w.length << ", " << w.sample << "}";
}
} // namespace sonorel::platform::speech

namespace {

constexpr int kMary = 0;
constexpr int kKal = 1;

const QString kMixedText = QStringLiteral("Grüße aus Köln. 東京 is a city. The end.");
const QString kLongText = QStringLiteral(
    "The quick brown fox jumps over the lazy dog while the farmer watches from the porch, "
    "and then the children run across the field to tell their mother that supper is ready.");

// Keeps what a synthesizer hands over, and how much audio had come before each word.
class Recording : public ChunkOutput {
public:
    bool audio(const std::int16_t* data, std::size_t count) override {
        ++audioCalls;
        if (refuseFromCall > 0 && audioCalls >= refuseFromCall)
            return false;
        samples.insert(samples.end(), data, data + count);
        return true;
    }
    void word(const WordMark& mark) override {
        words.push_back(mark);
        audioBeforeWord.push_back(std::int64_t(samples.size()));
    }

    int refuseFromCall = 0; // the audio() call that cancels; 0 never cancels
    int audioCalls = 0;
    std::vector<std::int16_t> samples;
    std::vector<WordMark> words;
    std::vector<std::int64_t> audioBeforeWord;
};

double rms(const std::vector<std::int16_t>& samples) {
    double sum = 0;
    for (const std::int16_t s : samples)
        sum += double(s) * s;
    return samples.empty() ? 0 : std::sqrt(sum / double(samples.size()));
}

// Signal-to-difference ratio in dB of two renderings of the same speech.
double similarityDb(const std::vector<std::int16_t>& a, const std::vector<std::int16_t>& b) {
    double signal = 0, difference = 0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        signal += double(a[i]) * a[i];
        difference += double(a[i] - b[i]) * (a[i] - b[i]);
    }
    return 10 * std::log10(signal / (difference + 1));
}

// Median F0 of the louder 40 ms frames, from the normalised autocorrelation peak.
double medianF0(const std::vector<std::int16_t>& samples, int rate) {
    const int frame = rate / 25, minLag = rate / 400, maxLag = rate / 50;
    const double loud = rms(samples);
    std::vector<double> estimates;
    for (auto x = samples.begin(); x + frame + maxLag < samples.end(); x += frame / 2) {
        if (rms({x, x + frame}) < loud)
            continue;
        double best = 0.5; // weaker peaks are not voiced speech
        int bestLag = 0;
        for (int lag = minLag; lag <= maxLag; ++lag) {
            double cross = 0, e1 = 0, e2 = 0;
            for (int i = 0; i < frame; ++i) {
                cross += double(x[i]) * x[i + lag];
                e1 += double(x[i]) * x[i];
                e2 += double(x[i + lag]) * x[i + lag];
            }
            if (const double r = cross / std::sqrt(e1 * e2 + 1); r > best) {
                best = r;
                bestLag = lag;
            }
        }
        if (bestLag > 0)
            estimates.push_back(double(rate) / bestLag);
    }
    if (estimates.empty())
        return 0;
    std::nth_element(estimates.begin(), estimates.begin() + estimates.size() / 2, estimates.end());
    return estimates[estimates.size() / 2];
}

class FliteTest : public ::testing::Test {
protected:
    SynthSettings normal(int voice) const {
        return {family.speedRange(voice).normal, family.pitchRange(voice).normal};
    }
    Recording speak(int voice, const QString& text, const SynthSettings& settings) {
        Recording out;
        EXPECT_TRUE(family.synthesizer(voice)->synthesize(text, settings, out));
        return out;
    }

    FliteFamily family;
};

class FliteVoiceTest : public FliteTest, public ::testing::WithParamInterface<int> {};

} // namespace

TEST_F(FliteTest, MaryComesFirstAndTheClockVoiceIsLeftOut) {
    const QList<VoiceDescription> voices = family.voices();
    ASSERT_EQ(voices.size(), 5); // slt, kal, kal16, awb, rms; not time_awb
    EXPECT_EQ(voices[0].name, "Mary");
    for (int i = 0; i < voices.size(); ++i) {
        EXPECT_EQ(voices[i].language, "en-us");
        const UnitRange speed = family.speedRange(i), pitch = family.pitchRange(i);
        EXPECT_LT(speed.min, speed.normal);
        EXPECT_LT(speed.normal, speed.max);
        EXPECT_LT(pitch.min, pitch.normal);
        EXPECT_LT(pitch.normal, pitch.max);
        if (i != kMary) {
            EXPECT_GT(family.pitchRange(kMary).normal, pitch.normal) << "Mary is the one woman";
        }
        EXPECT_EQ(family.synthesizer(i)->sampleRate(), i == kKal ? 8000 : 16000);
    }
}

TEST_F(FliteTest, AnIndexThatNamesNoVoiceIsAnInvalidArgument) {
    const auto errorNumber = [](const auto& call) {
        try {
            call();
        } catch (const EngineError& e) {
            return e.number();
        }
        return 0;
    };
    for (const int bad : {-1, int(family.voices().size())}) {
        EXPECT_EQ(errorNumber([&] { family.synthesizer(bad); }), 5) << bad;
        EXPECT_EQ(errorNumber([&] { family.speedRange(bad); }), 5) << bad;
        EXPECT_EQ(errorNumber([&] { family.pitchRange(bad); }), 5) << bad;
    }
}

TEST_P(FliteVoiceTest, WordsPointAtTheOriginalTextAndPrecedeTheirAudio) {
    const Recording out = speak(GetParam(), kMixedText, normal(GetParam()));
    const QStringList expected{"Grüße", "aus", "Köln", "is", "a", "city", "The", "end"};
    ASSERT_EQ(out.words.size(), std::size_t(expected.size()));
    for (std::size_t i = 0; i < out.words.size(); ++i) {
        const WordMark& w = out.words[i];
        EXPECT_EQ(kMixedText.mid(w.position, w.length), expected[qsizetype(i)]);
        EXPECT_LE(out.audioBeforeWord[i], w.sample) << "word " << i << " came after its audio";
        if (i > 0) {
            const WordMark& before = out.words[i - 1];
            EXPECT_GE(w.position, before.position + before.length) << "word " << i;
            EXPECT_GT(w.sample, before.sample);
        }
    }
    EXPECT_LT(out.words.back().sample, std::int64_t(out.samples.size()));
    EXPECT_GT(rms(out.samples), 300.0);
    // The lead-in pause is quiet; speech starts at the first word's stamp.
    const auto first = out.samples.begin() + out.words.front().sample;
    const auto rate = family.synthesizer(GetParam())->sampleRate();
    EXPECT_LT(10 * rms({out.samples.begin(), first}), rms({first, first + rate / 4}));
}

TEST_P(FliteVoiceTest, TextWithNothingToSayGivesNoWords) {
    for (const QString& text : {QString(), QStringLiteral("東京"), QStringLiteral(" — … ")}) {
        const Recording out = speak(GetParam(), text, normal(GetParam()));
        EXPECT_TRUE(out.words.empty()) << text.toStdString();
        EXPECT_LT(out.samples.size(), std::size_t(family.synthesizer(GetParam())->sampleRate()));
    }
}

TEST_P(FliteVoiceTest, RefusedAudioStopsTheChunk) {
    Recording out;
    out.refuseFromCall = 2;
    EXPECT_FALSE(family.synthesizer(GetParam())->synthesize(kLongText, normal(GetParam()), out));
    EXPECT_EQ(out.audioCalls, 2);
    EXPECT_FALSE(out.samples.empty());
}

INSTANTIATE_TEST_SUITE_P(MaryAndKal, FliteVoiceTest, ::testing::Values(kMary, kKal),
                         [](const auto& info) { return info.param == kMary ? "Mary" : "Kal"; });

TEST_F(FliteTest, SpeedStretchesTheSpeech) {
    const UnitRange speed = family.speedRange(kMary);
    const int pitch = family.pitchRange(kMary).normal;
    const auto slow = speak(kMary, kMixedText, {speed.min, pitch}).samples.size();
    const auto usual = speak(kMary, kMixedText, {speed.normal, pitch}).samples.size();
    const auto fast = speak(kMary, kMixedText, {speed.max, pitch}).samples.size();
    EXPECT_GT(slow, usual);
    EXPECT_GT(usual, fast);
    EXPECT_GT(slow, 3 * fast);
}

TEST_F(FliteTest, PitchMovesTheMeanF0) {
    const UnitRange pitch = family.pitchRange(kMary);
    const int speed = family.speedRange(kMary).normal;
    const double low = medianF0(speak(kMary, kMixedText, {speed, pitch.min}).samples, 16000);
    const double usual = medianF0(speak(kMary, kMixedText, {speed, pitch.normal}).samples, 16000);
    const double high = medianF0(speak(kMary, kMixedText, {speed, pitch.max}).samples, 16000);
    EXPECT_LT(low, usual);
    EXPECT_LT(usual, high);
    EXPECT_GT(high, 2 * low);
    EXPECT_NEAR(usual, pitch.normal, 0.2 * pitch.normal);
}

TEST_F(FliteTest, ThreadsWithDifferentSettingsDoNotDisturbEachOther) {
    struct Job {
        int voice;
        SynthSettings settings;
        Recording alone;
        std::vector<Recording> together;
    };
    std::vector<Job> jobs;
    for (const int voice : {kMary, kKal}) {
        const UnitRange speed = family.speedRange(voice), pitch = family.pitchRange(voice);
        jobs.push_back({voice, {speed.min, pitch.min}, {}, {}});
        jobs.push_back({voice, {speed.max, pitch.max}, {}, {}});
    }
    for (Job& job : jobs)
        job.alone = speak(job.voice, kMixedText, job.settings);

    // Every round starts all jobs at once, so that one job's settings would land in
    // the middle of another's synthesis if they were shared.
    std::barrier start(std::ptrdiff_t(jobs.size()));
    std::vector<std::thread> threads;
    for (Job& job : jobs)
        threads.emplace_back([&] {
            const auto synthesizer = family.synthesizer(job.voice);
            for (int round = 0; round < 6; ++round) {
                job.together.emplace_back();
                start.arrive_and_wait();
                synthesizer->synthesize(kMixedText, job.settings, job.together.back());
            }
        });
    for (std::thread& t : threads)
        t.join();

    for (const Job& job : jobs) {
        for (const Recording& run : job.together) {
            EXPECT_EQ(run.words, job.alone.words);
            ASSERT_EQ(run.samples.size(), job.alone.samples.size());
            if (job.voice == kKal)
                EXPECT_EQ(run.samples, job.alone.samples);
            else // Mary mixes noise from the C library's rand() into voiced sounds
                EXPECT_GT(similarityDb(run.samples, job.alone.samples), 8.0);
        }
    }
}
