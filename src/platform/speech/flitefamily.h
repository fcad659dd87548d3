#pragma once
// The flite voices linked into the program (generation 4): Mary (slt) first, then
// kal, kal16, awb and rms. Speed is in words per minute, pitch is the mean F0 in Hz.
// Voices are registered once per process; synthesizers may run on any number of
// threads at once, each call building its own utterance so that settings never
// touch the voice shared between threads.

#include "platform/speech/synthesizer.h"

#include <vector>

namespace sonorel::platform::speech {

class FliteFamily final : public EngineFamily {
public:
    FliteFamily();

    QList<VoiceDescription> voices() const override;
    UnitRange speedRange(int voice) const override;
    UnitRange pitchRange(int voice) const override;
    std::shared_ptr<Synthesizer> synthesizer(int voice) override;

    struct Voice; // a registered flite voice, alive until the process ends

private:
    const Voice& voiceAt(int voice) const;

    const std::vector<Voice>& m_voices;
};

} // namespace sonorel::platform::speech
