#pragma once
// The program-wide values of the reader: the settings records and their
// companions, kept for the whole run and read and written by every window.

#include "app/soundjobs.h"
#include "shared/records.h"

#include <QDateTime>
#include <QPoint>
#include <QString>

namespace sonorel::app {

// The maker's addresses.
inline const QString kMakerSite = QStringLiteral("https://sonorel.org");
inline const QString kDownloadPage = kMakerSite + QStringLiteral("/Sonorel/Download.htm");
inline const QString kReviewPage = kMakerSite + QStringLiteral("/Sonorel/reviews.htm");
inline const QString kSupportMail = QStringLiteral("support@sonorel.org");
inline const QString kVersionText = QStringLiteral("Version 1.68");

// The first-run marker.
inline const QString kFirstRunKey = QStringLiteral("SOFTWARE\\Quenmark\\Sonorel\\");
inline const QString kFirstRunValue = QStringLiteral("UseTimes");

struct Program {
    TTSSets tts;
    WinSets win;
    ClockSettings clock;

    // Limits of the selected generation-4 engine.
    std::int32_t SpeedMax = 0, SpeedMin = 0, PitchMax = 0, PitchMin = 0;
    // Entries of each generation in the voice list.
    std::int32_t Sapi4Count = 0, Sapi5Count = 0;

    bool ExitRequested = false;
    QString StartMode;
    QDateTime StartTime; // when loading finished
    // Read by the talking clock: its start stamp, hour then minute of StartTime
    // without leading zeros, and the base of its interval alarms.
    QString StartStamp;
    QDateTime IntervalBase;
    // The one test announcement the clock settings window prepares.
    QString TestSentence, TestBellFile;
    // Where the tray icon was right-clicked; the quick menu opens there.
    QPoint MenuAnchor;
    // The main window's state (0 normal, 1 minimized, 2 maximized) just before the
    // user last minimized, maximized, restored or closed it; the tray's left click
    // restores it.
    std::int16_t LastWindowState = 0;

    // The speech export that runs, or ran last, as its finish notice shows it (the
    // export's progress and files are its own: exporting::SpeechRecording).
    QString RecVoice, RecRate, RecPitch; // voice list, rate and pitch labels at its start
    QDateTime RecStart;
    QString TargetFile; // the file the last save chose (text or sound)
    QString RecTarget;  // the export's own target; a text save never changes it
    // The speech save and a batch job: one at a time.
    SoundJobs soundJobs;
};

} // namespace sonorel::app
