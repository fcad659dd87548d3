#pragma once
// The espeak-ng voices (generation 5).
//
// espeak-ng keeps its state in globals: two threads inside it at once crash the
// process. So every call into the library runs on one thread owned by the family;
// synthesize() hands its chunk to that thread and, on the calling thread, passes on
// the words and audio as they come back. The thread lives as long as the family or
// any synthesizer made by it, and families alive at the same time share it.

#include "platform/speech/synthesizer.h"

#include <memory>

namespace sonorel::platform::speech {

namespace espeak {
class Engine;
}

class EspeakFamily final : public EngineFamily {
public:
    // Starts the family thread, which initialises espeak-ng. Nothing here waits for
    // it; the first question about the voices does.
    EspeakFamily();
    ~EspeakFamily() override;

    EspeakFamily(const EspeakFamily&) = delete;
    EspeakFamily& operator=(const EspeakFamily&) = delete;

    // Display name = espeak-ng's own readable name ("English (America)"), or its
    // voice identifier when the name is empty; language = the first it lists.
    QList<VoiceDescription> voices() const override;
    // Words per minute: 80 (espeak-ng treats anything slower as 80) to 450, normal 175.
    UnitRange speedRange(int voice) const override;
    // espeak-ng's own pitch scale, 0 to 100, normal 50.
    UnitRange pitchRange(int voice) const override;
    std::shared_ptr<Synthesizer> synthesizer(int voice) override;
    // "English (America)".
    int defaultVoice() const override;

private:
    void checkIndex(int voice) const;

    std::shared_ptr<espeak::Engine> m_engine;
};

} // namespace sonorel::platform::speech
