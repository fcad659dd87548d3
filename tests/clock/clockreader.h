#pragma once
// The reader as the talking clock and its window see it: real clock voices of
// both generations over scripted engines (what they speak is recorded by the
// engines), a generation the test sets, and a count of test announcements asked.

#include "app/reader.h"
#include "clock/talkingclock.h"
#include "platform/speech/sapi4.h"
#include "platform/speech/sapi5.h"
#include "support/scriptedengine.h"
#include "support/spin.h"

#include <ostream>

// Failures show texts as texts.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace sonorel::test {

class ClockReader final : public app::Reader {
public:
    ClockReader()
        : voice4(gen4, platform::speech::makeSinkFactory(platform::speech::AudioMode::Fast, "t")),
          voice5(gen5, platform::speech::makeSinkFactory(platform::speech::AudioMode::Fast, "t")) {
        voice4.Select(1);
        voice5.setVoice(voice5.GetVoices().at(0));
    }

    void readText(const QString&) override {}
    void putText(const QString&) override {}
    void speakPause() override {}
    void stop() override {}
    int playStatus() const override { return 3; }
    QString voiceEntry() const override { return {}; }
    int generation() const override { return gen; }
    platform::speech::TextToSpeech& clockVoice4() override { return voice4; }
    platform::speech::SpVoice& clockVoice5() override { return voice5; }
    void startTimerSayTest() override {
        ++testsStarted;
        if (clock)
            clock->TimerSayTest->setInterval(clock::TalkingClock::kTestDelay);
    }
    app::RecordingVoices recordingVoices() override { return {}; }
    void exitAll() override {}

    // What both voices have spoken, once they are quiet and it is not `before`.
    QString spokenAfter(const QString& before4, const QString& before5) {
        spinUntil([&] {
            return !voice4.IsSpeaking() && voice5.WaitUntilDone(0) &&
                   (gen4.synth->spoken() != before4 || gen5.synth->spoken() != before5);
        });
        return gen4.synth->spoken().mid(before4.size()) + gen5.synth->spoken().mid(before5.size());
    }

    ScriptedFamily gen4{{"Mary"}};
    ScriptedFamily gen5{{"English"}};
    platform::speech::TextToSpeech voice4;
    platform::speech::SpVoice voice5;
    int gen = 4;
    int testsStarted = 0;
    clock::TalkingClock* clock = nullptr; // armed by startTimerSayTest when set
};

} // namespace sonorel::test
