#pragma once
// How a speech save ends, told to whoever started it: the finish report the
// finish notice shows, or a failure with the sentence the user reads. An MP3 that
// could not be made keeps its finished WAV beside the target instead.

#include <QString>

namespace sonorel::exporting {

struct FinishReport {
    QString targetFile;
    QString elapsed; // hh:mm:ss
    QString voice, rate, pitch;
};

struct RecordingFailure {
    enum class Kind {
        NotRendered, // the voice wrote no WAV; nothing is kept
        KeptAsWav,   // no MP3 came out; the speech is kept as a WAV
        NotMoved,    // the MP3 was made but could not be put in place
    };
    Kind kind = Kind::NotRendered;
    QString message; // for the user, whole
};

RecordingFailure notRendered(const QString& target, const QString& why);

// Moves the finished `wav` beside the MP3 `target` (keptWavPath) and removes the
// encoder's `mp3`; the message says why there is no MP3 and where the speech is.
// When the WAV cannot be moved it stays where it is, and the message names it.
RecordingFailure keepWaveInstead(const QString& wav, const QString& mp3, const QString& target,
                                 const QString& why);

// The finished `mp3` could not replace `target` (`why`); it stays where it is.
RecordingFailure notMoved(const QString& target, const QString& why, const QString& mp3);

} // namespace sonorel::exporting
