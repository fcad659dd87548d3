#include "voices/voicecatalog.h"

#include "shared/skiponerror.h"
#include "shared/voiceentry.h"

namespace sonorel::voices {

QList<VoiceListEntry> engines4(const platform::speech::Sapi4Voice& directSS) {
    QList<VoiceListEntry> entries;
    skipOnError("list generation-4 voices", [&] {
        const int count = directSS.CountEngines();
        for (int i = 1; i <= count; ++i)
            entries.append({voiceEntryText(directSS.ModeName(i), 4), voiceItemCode(4, i)});
    });
    return entries;
}

QList<VoiceListEntry> engines5(const platform::speech::SpVoice& voice) {
    QList<VoiceListEntry> entries;
    skipOnError("list generation-5 voices", [&] {
        std::int32_t serial = 0;
        for (const auto& token : voice.GetVoices())
            entries.append({voiceEntryText(token.GetDescription(), 5), voiceItemCode(5, serial++)});
    });
    return entries;
}

} // namespace sonorel::voices
