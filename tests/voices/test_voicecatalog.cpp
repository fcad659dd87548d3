// The voice list both programs build: generation 4 first, then generation 5, with
// their item codes; a family that cannot list its voices adds nothing.

#include "platform/speech/sapi4.h"
#include "platform/speech/sapi5.h"
#include "support/scriptedengine.h"
#include "voices/voicecatalog.h"

#include <gtest/gtest.h>

using namespace sonorel;
using namespace sonorel::test;
namespace speech = sonorel::platform::speech;

namespace {
QStringList texts(const QList<voices::VoiceListEntry>& entries) {
    QStringList out;
    for (const auto& e : entries)
        out << e.text;
    return out;
}
} // namespace

TEST(VoiceCatalog, EntriesInEngineOrderWithTheirItemCodes) {
    ScriptedFamily four{{"Mary", "Kal"}};
    ScriptedFamily five{{"English", "German", "French"}};
    const auto sinks = speech::makeSinkFactory(speech::AudioMode::Fast, "test");
    speech::DirectSS directSS(four, sinks);
    speech::SpVoice voice(five, sinks);

    const auto gen4 = voices::engines4(directSS);
    EXPECT_EQ(texts(gen4), (QStringList{"Mary (TTS4.0)", "Kal (TTS4.0)"}));
    ASSERT_EQ(gen4.size(), 2);
    EXPECT_EQ(gen4[0].itemCode, 400001); // engines count from 1
    EXPECT_EQ(gen4[1].itemCode, 400002);

    const auto gen5 = voices::engines5(voice);
    EXPECT_EQ(texts(gen5), (QStringList{"English (TTS5.0)", "German (TTS5.0)", "French (TTS5.0)"}));
    ASSERT_EQ(gen5.size(), 3);
    EXPECT_EQ(gen5[0].itemCode, 500000); // voices count from 0
    EXPECT_EQ(gen5[2].itemCode, 500002);
}

TEST(VoiceCatalog, AFamilyWithoutVoicesAddsNothing) {
    ScriptedFamily none{QStringList{}};
    const auto sinks = speech::makeSinkFactory(speech::AudioMode::Fast, "test");
    speech::DirectSS directSS(none, sinks);
    speech::SpVoice voice(none, sinks);
    EXPECT_TRUE(voices::engines4(directSS).isEmpty());
    EXPECT_TRUE(voices::engines5(voice).isEmpty());
}
