#pragma once
// The media command interpreter: sound files opened, played, paused, stopped,
// sought, closed and asked about through command strings such as
// "Open /a/bell.wav ALIAS wav7 TYPE Waveaudio wait" or "Status wav7 mode".
// Keywords are matched without regard to case; a path with blanks is quoted.
//
//   open PATH [alias NAME] [type waveaudio|sequencer|avivideo] [wait] [shareable]
//   play NAME [wait]   pause NAME   resume NAME   stop NAME
//   seek NAME to MS|start|end      close NAME|all
//   status NAME length|position|mode      (milliseconds; "playing", "paused", "stopped")
//   set CDAudio door open|closed          (the CD drive's tray out or in)
//
// WAV and the other formats libsndfile reads play through the program's sound
// output; MIDI files are rendered by FluidSynth with a General MIDI sound font.
// Video opens nothing (an error). Every call comes from the UI thread; each open
// file plays on a thread of its own.

#include "platform/speech/audiosink.h"

#include <map>
#include <memory>
#include <QString>

namespace sonorel::platform {

enum class MediaError {
    None = 0,
    UnknownCommand,
    MissingArgument,
    BadArgument,
    NoSuchDevice,   // an alias that is not open
    DuplicateAlias, // an open under an alias in use
    UnknownType,    // a device type or extension nothing here plays
    CannotOpenFile, // missing, unreadable, or not a sound file
    NoSoundFont,    // MIDI without a General MIDI sound font
    DeviceRefused,  // the CD drive is missing or did not move its tray
};

struct MediaReply {
    MediaError error = MediaError::None;
    QString text; // the answer of a status query; empty otherwise
    bool ok() const { return error == MediaError::None; }
};

class MediaControl {
public:
    virtual ~MediaControl() = default;
    virtual MediaReply sendString(const QString& command) = 0;
};

class SystemMediaControl final : public MediaControl {
public:
    // `soundFont` empty: the first General MIDI font found in Debian's places.
    // `cdDrive`: the CD drive whose tray the door commands move.
    explicit SystemMediaControl(speech::SinkFactory sinks, QString soundFont = {},
                                QString cdDrive = QStringLiteral("/dev/cdrom"));
    ~SystemMediaControl() override; // stops and closes whatever is open
    SystemMediaControl(const SystemMediaControl&) = delete;
    SystemMediaControl& operator=(const SystemMediaControl&) = delete;

    MediaReply sendString(const QString& command) override;

    // The General MIDI sound font FluidSynth uses, empty when none is installed.
    static QString defaultSoundFont();

    class Device;

private:
    MediaReply open(const QStringList& words);
    MediaReply cdDoor(const QStringList& words);

    speech::SinkFactory m_sinks;
    QString m_soundFont;
    QString m_cdDrive;
    std::map<QString, std::unique_ptr<Device>> m_devices; // by lower-case alias
};

} // namespace sonorel::platform
