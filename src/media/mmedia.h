#pragma once
// Plays one sound file at a time through media command strings: the object keeps
// the alias of the open file and builds every command the same way, whoever uses
// it (the talking clock's bell). No operation reports a failure: results of the
// commands are ignored, and a file that failed to open still counts as open until
// mmClose.

#include "platform/clock.h"
#include "platform/mediacontrol.h"

#include <QString>

namespace sonorel::media {

class Mmedia final {
public:
    Mmedia(platform::MediaControl& control, const platform::Clock& clock)
        : m_control(control), m_clock(clock) {}

    void mmOpen(const QString& sTheFile);
    void mmClose();
    void mmPause();
    void mmPlay();
    void mmStop();
    void mmSeek(float sPosition);

    QString Filename() const { return sFilename; }
    void setFilename(const QString& file) { mmOpen(file); }
    bool Wait() const { return bWait; }
    void setWait(bool wait) { bWait = wait; }
    float Length();
    float Position();
    void setPosition(float position) { mmSeek(position); }
    QString Status();

    // The device type a path's last three characters choose ("Waveaudio",
    // "AviVideo", "Sequencer"), empty for any other.
    static QString deviceType(const QString& path);
    // The number a reply starts with, as the numeric properties read it: blanks
    // are passed over, and text that starts with no number reads as 0.
    static double leadingNumber(const QString& reply);
    // A seek position as the command writes it: 1500, 2.5.
    static QString positionText(float position);

private:
    // The reply of a status query: at most 255 characters, cut at the first NUL.
    QString query(const QString& command);

    platform::MediaControl& m_control;
    const platform::Clock& m_clock;
    QString sAlias;
    QString sFilename;
    bool bWait = false;
};

} // namespace sonorel::media
