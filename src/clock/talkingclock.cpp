#include "clock/talkingclock.h"

#include "clock/schedule.h"
#include "platform/speech/sapi4.h"
#include "platform/speech/sapi5.h"
#include "shared/skiponerror.h"

namespace sonorel::clock {

TalkingClock::TalkingClock(const platform::Clock& clock, app::Program& program, app::Reader& reader,
                           platform::MediaControl& control, QObject* parent)
    : QObject(parent), m_clock(clock), m_program(program), m_reader(reader),
      m_media(control, clock) {
    TimerSay = new VbTimer(this, kSayInterval);
    TimerSayTest = new VbTimer(this);
    BellWait = new VbTimer(this);
    connect(TimerSay, &VbTimer::timeout, this, &TalkingClock::TimerSay_Timer);
    connect(TimerSayTest, &VbTimer::timeout, this, &TalkingClock::TimerSayTest_Timer);
    connect(BellWait, &VbTimer::timeout, this, &TalkingClock::BellWait_Timer);
}

void TalkingClock::TimerSay_Timer() {
    const QDateTime now = m_clock.now();
    if (sayStamp(now.time()) == LastSayStamp)
        return; // this minute has been handled
    const int generation = m_reader.generation();
    if (generation == 4 || generation == 5) {
        skipOnError("clock schedule", [&] {
            if (const auto sentence = dueSentence(m_program.clock, m_program.IntervalBase, now))
                announce({m_program.clock.BellFile, *sentence});
        });
    }
    // Even after a failed announcement: a minute is announced once at most.
    LastSayStamp = sayStamp(m_clock.now().time());
}

void TalkingClock::TimerSayTest_Timer() {
    TimerSayTest->setInterval(0);
    skipOnError("clock test", [&] { announce({m_program.TestBellFile, m_program.TestSentence}); });
}

void TalkingClock::announce(Announcement announcement) {
    if (m_current) {
        m_waiting.push_back(std::move(announcement));
        return;
    }
    ringBell(announcement);
}

void TalkingClock::ringBell(const Announcement& announcement) {
    m_current = announcement;
    // A bell that cannot be opened or played costs only the wait.
    skipOnError("bell open", [&] { m_media.mmOpen(announcement.bellFile); });
    skipOnError("bell play", [&] { m_media.mmPlay(); });
    BellWait->setInterval(kBellWait);
}

void TalkingClock::BellWait_Timer() {
    BellWait->setInterval(0);
    emit bellWaitOver();
    // A bell longer than the wait is cut off here.
    skipOnError("bell close", [&] { m_media.mmClose(); });
    if (m_current)
        skipOnError("clock speech", [&] { speak(m_current->sentence); });
    m_current.reset();
    if (!m_waiting.empty()) {
        const Announcement next = std::move(m_waiting.front());
        m_waiting.pop_front();
        ringBell(next);
    }
}

void TalkingClock::speak(const QString& sentence) {
    // The voice of the generation in use when the bell ends; any other generation
    // leaves the announcement silent.
    switch (m_reader.generation()) {
    case 4:
        m_reader.clockVoice4().Speak(sentence);
        break;
    case 5:
        m_reader.clockVoice5().Speak(sentence, platform::speech::SVSFlagsAsync);
        break;
    default:
        break;
    }
}

} // namespace sonorel::clock
