#pragma once
// What the other windows and the main form's helpers (clipboard watch, tray,
// talking clock) may ask of the reader. They get this, the program-wide values
// and the services, never the main window itself, and answer through signals of
// their own.

#include <QString>

namespace sonorel::platform::speech {
class TextToSpeech;
class Sapi4Voice;
class SpVoice;
class Wavelin;
} // namespace sonorel::platform::speech

namespace sonorel::app {

// What a batch job renders one file with, taken when that file starts: the
// reader's file writers of both generations, the reading voices whose voice,
// rate and pitch they copy, and the rate and pitch as the scales show them.
struct RecordingVoices {
    const platform::speech::Sapi4Voice* reading4 = nullptr;
    platform::speech::Wavelin* writer4 = nullptr;
    const platform::speech::SpVoice* reading5 = nullptr;
    platform::speech::SpVoice* writer5 = nullptr;
    QString rate, pitch;
};

class Reader {
public:
    // Stops any reading, puts `text` into the reading box and reads it aloud.
    virtual void readText(const QString& text) = 0;
    // Puts `text` into the reading box and nothing more (the clipboard watch
    // fills the box before it stops the old reading and starts the new one).
    virtual void putText(const QString& text) = 0;
    // The Speak/Pause and Stop buttons, whoever presses them.
    virtual void speakPause() = 0;
    virtual void stop() = 0;
    // The reading state: 1 speaking, 2 paused, 3 idle (the quick menu's Speak
    // item reads "Pause" while speaking).
    virtual int playStatus() const = 0;

    // The voice in use as the voice list shows it ("Mary (TTS4.0)"), and its
    // generation: 4, 5, or 0 before any voice was chosen.
    virtual QString voiceEntry() const = 0;
    virtual int generation() const = 0;

    // The voices the talking clock and the slide reader speak with, one per
    // generation. The reader owns them and keeps them on its current voice and
    // rate; borrowers speak, stop and listen to their events, nothing more.
    virtual platform::speech::TextToSpeech& clockVoice4() = 0;
    virtual platform::speech::SpVoice& clockVoice5() = 0;

    // Lent to a batch job for one file at a time; the speech save of the main
    // window uses the same writers, so both never run at once (Program::soundJobs).
    virtual RecordingVoices recordingVoices() = 0;
    // The clock settings window's test: starts the talking clock's one-shot
    // TimerSayTest, which announces Program::TestSentence after its bell.
    virtual void startTimerSayTest() = 0;

    // The one orderly end of the program.
    virtual void exitAll() = 0;

protected:
    ~Reader() = default;
};

} // namespace sonorel::app
