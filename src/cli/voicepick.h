#pragma once
// The voices as the reader lists them ("Mary (TTS4.0)", then the generation-5
// voices with " (TTS5.0)"), and picking one by its list text or a part of it.

#include "platform/speech/synthesizer.h"

#include <QList>
#include <QString>

namespace sonorel::cli {

struct ListedVoice {
    QString text;     // "Mary (TTS4.0)"
    QString language; // may be empty
    int generation = 4;
    platform::speech::EngineFamily* family = nullptr;
    int index = 0; // within the family
};

// Generation 4 first, then 5, each in its family's order.
QList<ListedVoice> listVoices(platform::speech::EngineFamily& generation4,
                              platform::speech::EngineFamily& generation5);

struct VoicePick {
    const ListedVoice* voice = nullptr;   // set when exactly one voice is meant
    QList<const ListedVoice*> candidates; // otherwise: what the name could mean
};

// The whole list text (in any case) wins; otherwise the voices whose list text
// holds `name` (in any case): one is the pick, several are candidates. A name
// nothing holds offers every voice.
VoicePick pickVoice(const QList<ListedVoice>& voices, const QString& name);

} // namespace sonorel::cli
