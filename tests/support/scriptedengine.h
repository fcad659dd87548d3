#pragma once
// A scripted engine family for tests: every word of the text becomes a fixed
// number of samples per character, with a short gap after it, so tests know
// exactly which words, samples and durations to expect.

#include "platform/speech/synthesizer.h"

#include <atomic>
#include <mutex>
#include <QHash>
#include <QStringList>

namespace sonorel::test {

class ScriptedSynthesizer final : public platform::speech::Synthesizer {
public:
    static constexpr int kRate = 8000;
    static constexpr int kSamplesPerChar = 80; // 10 ms
    static constexpr int kGap = 40;

    int sampleRate() const override { return kRate; }
    bool synthesize(QStringView text, const platform::speech::SynthSettings& settings,
                    platform::speech::ChunkOutput& out) override;

    std::atomic<int> calls{0};
    // Makes each call take this long, like a real engine, so threads interleave.
    std::atomic<int> delayPerCallMs{0};
    std::atomic<bool> failNext{false};

    // Every text synthesized so far, joined in order (pieces of one text join
    // back into it).
    QString spoken() const {
        std::lock_guard lock(m_mutex);
        return m_spoken;
    }

private:
    mutable std::mutex m_mutex;
    QString m_spoken;
};

// Scripted voices, "Alpha" and "Beta" unless named otherwise. A voice can be
// made to fail when it is loaded, with a given error number.
class ScriptedFamily final : public platform::speech::EngineFamily {
public:
    explicit ScriptedFamily(QStringList names = {"Alpha", "Beta"}) : names(std::move(names)) {}

    QList<platform::speech::VoiceDescription> voices() const override;
    platform::speech::UnitRange speedRange(int voice) const override;
    platform::speech::UnitRange pitchRange(int voice) const override;
    std::shared_ptr<platform::speech::Synthesizer> synthesizer(int voice) override;

    std::shared_ptr<ScriptedSynthesizer> synth = std::make_shared<ScriptedSynthesizer>();
    QStringList names;
    QHash<int, std::int32_t> failingVoices; // voice -> error number on loading
    platform::speech::UnitRange speed{50, 200, 100};
    platform::speech::UnitRange pitch{50, 300, 120};

private:
    void check(int voice) const;
};

} // namespace sonorel::test
