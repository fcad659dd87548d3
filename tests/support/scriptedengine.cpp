#include "support/scriptedengine.h"

#include <chrono>
#include <thread>
#include <vector>

namespace sonorel::test {

using namespace platform::speech;

bool ScriptedSynthesizer::synthesize(QStringView text, const SynthSettings& settings,
                                     ChunkOutput& out) {
    ++calls;
    {
        std::lock_guard lock(m_mutex);
        m_spoken += text;
    }
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
    QList<VoiceDescription> list;
    for (const QString& name : names)
        list.append({name, "en"});
    return list;
}

void ScriptedFamily::check(int voice) const {
    if (voice < 0 || voice >= names.size())
        throw EngineError(EngineError::kInvalidArgument, "no such voice");
}

UnitRange ScriptedFamily::speedRange(int voice) const {
    check(voice);
    return speed;
}

UnitRange ScriptedFamily::pitchRange(int voice) const {
    check(voice);
    return pitch;
}

std::shared_ptr<Synthesizer> ScriptedFamily::synthesizer(int voice) {
    check(voice);
    if (failingVoices.contains(voice))
        throw EngineError(failingVoices.value(voice), "scripted voice failure");
    return synth;
}

} // namespace sonorel::test
