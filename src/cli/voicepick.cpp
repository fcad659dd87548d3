#include "cli/voicepick.h"

#include "shared/voiceentry.h"

namespace sonorel::cli {

QList<ListedVoice> listVoices(platform::speech::EngineFamily& generation4,
                              platform::speech::EngineFamily& generation5) {
    QList<ListedVoice> list;
    for (auto [family, generation] : {std::pair{&generation4, 4}, std::pair{&generation5, 5}}) {
        const auto described = family->voices();
        for (int i = 0; i < described.size(); ++i)
            list.append({voiceEntryText(described.at(i).name, generation), described.at(i).language,
                         generation, family, i});
    }
    return list;
}

VoicePick pickVoice(const QList<ListedVoice>& voices, const QString& name) {
    VoicePick pick;
    for (const ListedVoice& v : voices)
        if (v.text.compare(name, Qt::CaseInsensitive) == 0) {
            pick.voice = &v;
            return pick;
        }
    for (const ListedVoice& v : voices)
        if (v.text.contains(name, Qt::CaseInsensitive))
            pick.candidates.append(&v);
    if (pick.candidates.size() == 1) {
        pick.voice = pick.candidates.front();
        pick.candidates.clear();
    } else if (pick.candidates.isEmpty()) {
        for (const ListedVoice& v : voices)
            pick.candidates.append(&v);
    }
    return pick;
}

} // namespace sonorel::cli
