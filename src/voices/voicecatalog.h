#pragma once
// The voice list both programs show: generation-4 engines first, in engine order,
// then the generation-5 voices in the engine's order, each with its item code.
// Nothing is sorted, filtered or merged.

#include "platform/speech/sapi4.h"
#include "platform/speech/sapi5.h"

#include <QList>
#include <QString>

namespace sonorel::voices {

struct VoiceListEntry {
    QString text;          // "Mary (TTS4.0)"
    std::int32_t itemCode; // 400001
};

// A family that cannot report its voices adds nothing.
QList<VoiceListEntry> engines4(const platform::speech::Sapi4Voice& directSS);
QList<VoiceListEntry> engines5(const platform::speech::SpVoice& voice);

} // namespace sonorel::voices
