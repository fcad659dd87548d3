#pragma once
// The talking clock of the reader: once a minute it checks the schedule
// (TimerSay) and announces the time with a bell and a spoken sentence; the clock
// settings window's test is announced the same way (TimerSayTest). The main
// window creates it; it borrows the reader's clock voices and owns the program's
// one Mmedia.
//
// An announcement rings the bell, waits 2 seconds on a one-shot timer (the window
// keeps answering meanwhile), closes the bell and hands the sentence to the voice
// of the current generation. One that falls due while a bell rings waits its turn
// and runs after it, so a bell is never cut short by another.

#include "app/program.h"
#include "app/reader.h"
#include "media/mmedia.h"
#include "platform/clock.h"
#include "platform/mediacontrol.h"
#include "shared/vbtimer.h"

#include <deque>
#include <optional>
#include <QObject>

namespace sonorel::clock {

class TalkingClock final : public QObject {
    Q_OBJECT
public:
    static constexpr int kSayInterval = 50000; // below a minute: every minute is checked
    static constexpr int kTestDelay = 10;
    static constexpr int kBellWait = 2000;

    TalkingClock(const platform::Clock& clock, app::Program& program, app::Reader& reader,
                 platform::MediaControl& control, QObject* parent = nullptr);

    void TimerSay_Timer();     // the schedule check
    void TimerSayTest_Timer(); // the settings window's test
    void BellWait_Timer();     // the bell's 2 seconds are over: close it, speak

    VbTimer* TimerSay = nullptr;     // 50 000 ms for the whole run
    VbTimer* TimerSayTest = nullptr; // 0, or 10 ms once after a test click
    VbTimer* BellWait = nullptr;     // 2000 ms while a bell rings, else 0
    // The minute last checked to the end ("1530"); the start minute at first.
    QString LastSayStamp;

    media::Mmedia& mmedia() { return m_media; }
    // True while a bell rings or an announcement waits for its turn.
    bool isAnnouncing() const { return m_current.has_value(); }

signals:
    // The 2-second wait is over: the bell is closed next and the sentence spoken.
    void bellWaitOver();

private:
    struct Announcement {
        QString bellFile;
        QString sentence;
    };
    void announce(Announcement announcement);
    void ringBell(const Announcement& announcement);
    void speak(const QString& sentence);

    const platform::Clock& m_clock;
    app::Program& m_program;
    app::Reader& m_reader;
    media::Mmedia m_media;
    std::optional<Announcement> m_current; // its bell rings
    std::deque<Announcement> m_waiting;
};

} // namespace sonorel::clock
