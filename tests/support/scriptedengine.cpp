#include "support/scriptedengine.h"

#include <chrono>
#include <thread>
#include <vector>

namespace sonorel::test {

using namespace platform::speech;

bool ScriptedSynthesizer::synthesize(QStringView text, const SynthSettings& settings,
                                     ChunkOutput& out) {
    ++calls;
    if (delayPerCallMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(delayPerCallMs));
    if (failNext.exchange(false))
        throw EngineError(EngineError::kEngineFailure, "scripted failure");
    // Speed 100 is normal; 200 is twice as fast.
    const int perChar =
        settings.speed > 0 ? kSamplesPerChar * 100 / settings.speed : kSamplesPerChar;
    std::int64_t sample = 0;
    std::vector<std::int16_t> buffer;
    int i = 0;
    const int n = int(text.size());
    while (i < n) {
        while (i < n && text[i].isSpace())
            ++i;
        const int start = i;
        while (i < n && !text[i].isSpace())
            ++i;
        if (i == start)
            break;
        out.word({start, i - start, sample});
        buffer.assign(std::size_t((i - start) * perChar + kGap), 1000);
        std::fill(buffer.end() - kGap, buffer.end(), 0);
        if (!out.audio(buffer.data(), buffer.size()))
            return false;
        sample += std::int64_t(buffer.size());
    }
    return true;
}

QList<VoiceDescription> ScriptedFamily::voices() const {
    return {{"Alpha", "en"}, {"Beta", "en"}};
}

UnitRange ScriptedFamily::speedRange(int voice) const {
    if (voice < 0 || voice > 1)
        throw EngineError(EngineError::kInvalidArgument, "no such voice");
    return {50, 200, 100};
}

UnitRange ScriptedFamily::pitchRange(int voice) const {
    if (voice < 0 || voice > 1)
        throw EngineError(EngineError::kInvalidArgument, "no such voice");
    return {50, 300, 120};
}

std::shared_ptr<Synthesizer> ScriptedFamily::synthesizer(int voice) {
    if (voice < 0 || voice > 1)
        throw EngineError(EngineError::kInvalidArgument, "no such voice");
    return synth;
}

} // namespace sonorel::test
